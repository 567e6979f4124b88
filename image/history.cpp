#include "image/history.h"

#include "image/blocks.h"
#include "platform/parallel.h"

#include <algorithm>
#include <new>
#include <utility>

namespace {

std::uint64_t StepBytes(const HistoryStep& step)
{
    return WorkDibBytes(step.width, step.height) + step.alpha.size();
}

void FreeStep(HistoryStep* step)
{
    if (step->block)
        FreeBlock(step->block);
    *step = HistoryStep{};
}

// The oldest step goes: the state before it can no longer be reached.
void DropOldest(EditHistory* h)
{
    h->bytes -= StepBytes(h->steps.front());
    FreeStep(&h->steps.front());
    h->steps.erase(h->steps.begin());
    h->done -= h->done > 0 ? 1 : 0;
    h->saved = h->saved > 0 ? h->saved - 1 : -1;
}

// The newest step goes: the state after it can no longer be reached.
void DropNewest(EditHistory* h)
{
    h->bytes -= StepBytes(h->steps.back());
    FreeStep(&h->steps.back());
    h->steps.pop_back();
    if (h->saved > static_cast<std::ptrdiff_t>(h->steps.size()))
        h->saved = -1;
    h->done = std::min(h->done, h->steps.size());
}

void DropRedoSteps(EditHistory* h)
{
    while (h->steps.size() > h->done)
        DropNewest(h);
}

void DropAllSteps(EditHistory* h)
{
    while (!h->steps.empty())
        DropNewest(h);
}

// A step of bytes is about to be added after the undoable ones: the
// redoable ones go, then the oldest while the cap needs room.  False when
// the step cannot be kept at all (larger than the cap, or no room in the
// list of steps).
bool MakeRoom(EditHistory* h, std::uint64_t bytes)
{
    DropRedoSteps(h);
    if (bytes > h->capBytes)
        return false;
    while (!h->steps.empty() && h->bytes + bytes > h->capBytes)
        DropOldest(h);
    try {
        h->steps.reserve(h->steps.size() + 1);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// After an undo or redo swapped step moved, which now holds a different
// size: while over the cap, the oldest steps go, then the newest, moved
// last of all.
void Trim(EditHistory* h, std::size_t moved)
{
    while (h->bytes > h->capBytes && h->done > 0 && moved > 0) {
        DropOldest(h);
        --moved;
    }
    while (h->bytes > h->capBytes && h->steps.size() > h->done)
        DropNewest(h);
    while (h->bytes > h->capBytes && !h->steps.empty())
        DropOldest(h);
}

// A change that could not be kept: nothing before it can be undone.
void LoseSteps(EditHistory* h)
{
    DropAllSteps(h);
    h->done = 0;
    h->saved = -1;
    h->lost = true;
}

// Swaps the pixels of a pixel step with the picture's pixels at its rectangle.
void SwapPixels(HistoryStep* step, ImageDocument* doc)
{
    auto* stepDib = static_cast<BYTE*>(GlobalLock(step->block));
    BYTE* stored = WorkDibPixels(stepDib);
    const PictureRect& r = step->rect;
    BYTE* shown = WorkDibPixels(doc->dib) +
                  (static_cast<std::size_t>(doc->height - 1 - r.bottom) * doc->width + r.left) * kBytesPerPixel;
    const std::size_t stride = static_cast<std::size_t>(doc->width) * kBytesPerPixel;
    const std::size_t rowBytes = static_cast<std::size_t>(step->width) * kBytesPerPixel;
    for (LONG row = 0; row < step->height; ++row, stored += rowBytes, shown += stride)
        std::swap_ranges(stored, stored + rowBytes, shown);
    GlobalUnlock(step->block);
}

// Swaps the whole picture (block, size, alpha plane) with a picture step's.
void SwapPicture(HistoryStep* step, ImageDocument* doc, std::vector<std::uint8_t>* alpha)
{
    GlobalUnlock(doc->hDib);
    std::swap(doc->hDib, step->block);
    std::swap(doc->width, step->width);
    std::swap(doc->height, step->height);
    doc->dib = static_cast<BYTE*>(GlobalLock(doc->hDib));
    doc->bmi = reinterpret_cast<BITMAPINFO*>(doc->dib);
    doc->bitsOffset = kWorkDibHeaderBytes;
    alpha->swap(step->alpha);
}

HistoryMove Swap(EditHistory* h, std::size_t index, ImageDocument* doc, std::vector<std::uint8_t>* alpha)
{
    HistoryStep& step = h->steps[index];
    if (!step.picture) {
        SwapPixels(&step, doc);
        return HistoryMove::Pixels;
    }
    h->bytes -= StepBytes(step);
    SwapPicture(&step, doc, alpha);
    h->bytes += StepBytes(step);
    return HistoryMove::Picture;
}

void FollowSaved(const EditHistory& h, ImageDocument* doc)
{
    doc->isModified = h.saved == static_cast<std::ptrdiff_t>(h.done) ? 0 : 1;
}

}  // namespace

void HistoryRelease(EditHistory* history)
{
    DropAllSteps(history);
    FreeStep(&history->pending);
    history->pendingKept = false;
    history->done = 0;
    history->saved = 0;
    history->bytes = 0;
    history->lost = false;
}

void HistoryMarkSaved(EditHistory* history)
{
    history->saved = static_cast<std::ptrdiff_t>(history->done);
}

bool HistoryCanUndo(const EditHistory& history)
{
    return history.done > 0;
}

bool HistoryCanRedo(const EditHistory& history)
{
    return history.done < history.steps.size();
}

bool HistoryUndoLost(const EditHistory& history)
{
    return history.done == 0 && history.lost;
}

void HistoryBeginChange(EditHistory* history, const ImageDocument& doc, const PictureRect& where)
{
    FreeStep(&history->pending);
    history->pendingKept = false;
    const std::size_t bytes = WorkDibBytes(doc.width, doc.height);
    if (!doc.dib || !MakeRoom(history, bytes))
        return;
    HGLOBAL block = AllocateBlockToFill(bytes);
    if (!block) {
        // The steps' memory is what the change needs most.
        DropAllSteps(history);
        block = AllocateBlockToFill(bytes);
        if (!block)
            return;
    }
    CopyOnCores(GlobalLock(block), doc.dib, bytes);
    GlobalUnlock(block);
    history->pending.rect = where;
    history->pending.block = block;
    history->pending.width = doc.width;
    history->pending.height = doc.height;
    history->pendingKept = true;
}

void HistoryCommitChange(EditHistory* history, ImageDocument* doc)
{
    if (history->pendingKept) {
        DropRedoSteps(history);
        history->bytes += StepBytes(history->pending);
        history->steps.push_back(std::exchange(history->pending, HistoryStep{}));
        history->done = history->steps.size();
    } else {
        LoseSteps(history);
    }
    history->pendingKept = false;
    doc->isModified = 1;
}

void HistoryDropChange(EditHistory* history)
{
    FreeStep(&history->pending);
    history->pendingKept = false;
}

void HistoryReplacePicture(EditHistory* history, ImageDocument* doc, std::vector<std::uint8_t>* alpha,
                           PictureBlock made, Outcome* warnings)
{
    HistoryStep old;
    old.picture = true;
    old.width = doc->width;
    old.height = doc->height;
    if (doc->hDib && MakeRoom(history, WorkDibBytes(old.width, old.height) + alpha->size())) {
        GlobalUnlock(doc->hDib);
        old.block = std::exchange(doc->hDib, nullptr);
        old.alpha = std::move(*alpha);
        history->bytes += StepBytes(old);
        history->steps.push_back(std::move(old));
        history->done = history->steps.size();
    } else {
        LoseSteps(history);
    }
    AdoptWorkDib(doc, made.block, made.width, made.height, warnings);
    *alpha = std::move(made.alpha);
    doc->isModified = 1;
}

HistoryMove HistoryUndo(EditHistory* history, ImageDocument* doc, std::vector<std::uint8_t>* alpha)
{
    if (!HistoryCanUndo(*history) || !doc->dib)
        return HistoryMove::None;
    --history->done;
    const HistoryMove move = Swap(history, history->done, doc, alpha);
    Trim(history, history->done);
    FollowSaved(*history, doc);
    return move;
}

HistoryMove HistoryRedo(EditHistory* history, ImageDocument* doc, std::vector<std::uint8_t>* alpha)
{
    if (!HistoryCanRedo(*history) || !doc->dib)
        return HistoryMove::None;
    const HistoryMove move = Swap(history, history->done, doc, alpha);
    ++history->done;
    Trim(history, history->done - 1);
    FollowSaved(*history, doc);
    return move;
}
