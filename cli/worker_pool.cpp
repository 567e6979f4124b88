#include "cli/worker_pool.h"

#include "cli/progress.h"
#include "cli/system.h"

void FinishWork(WorkItemBase* item)
{
    item->state = WorkState::Finished;
    if (item->ok)
        item->claimsOutput = true;
    ProgressCounted(item->ok);
}

void ShowWorkResult(std::size_t index, const WorkItemBase& item)
{
    if (!item.ok)
        ProgressNoteFailure(item.messages);
    if (ProgressOnTerminal() && item.messages.empty())
        return;
    ProgressAnnounce(index, item.input);
    WriteError(item.messages);
    ProgressRedraw();
}

bool MayStartWork(WorkItemBase* item, const WorkItemBase& earlier)
{
    if (earlier.state != WorkState::Finished)
        return false;
    if (!earlier.claimsOutput)
        return true;
    item->messages = "quillvane-cli: " + item->input + ": " + ClashText(item->output) + "\n";
    FinishWork(item);
    item->claimsOutput = true;
    return false;
}
