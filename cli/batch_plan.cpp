#include "cli/batch_plan.h"

#include "cli/picture_files.h"
#include "cli/system.h"
#include "cli/text.h"

#include <algorithm>

namespace {

struct Found {
    std::string path;
    std::string folder;  // below the input folder, "" or "a/b/"
};

bool IsDirectory(const std::string& path)
{
    return InspectPath(path).directory;
}

std::string WithSlash(std::string path)
{
    if (!path.empty() && !IsPathSeparator(path.back()))
        path += SeparatorFor(path);
    return path;
}

// Every picture below folder, in name order; folders that are symbolic
// links are not followed (no loops), nor is the output folder entered.
int Search(const std::string& folder, const std::string& below, const PathInfo* outputFolder,
           std::vector<Found>* found, std::string* problem)
{
    std::vector<std::string> names;
    std::string reason;
    if (ListFolder(folder, &names, &reason) != 0) {
        *problem = Format(_("cannot read the folder '%s': %s"), folder.c_str(), reason.c_str());
        return -1;
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string path = WithSlash(folder) + name;
        const PathInfo info = InspectPath(path);
        if (!info.exists)
            continue;
        if (info.directory) {
            if (info.link || (outputFolder && SameFile(info, *outputFolder)))
                continue;
            if (Search(path, below + name + SeparatorFor(folder), outputFolder, found, problem) != 0)
                return -1;
        } else if (info.regular && HasPictureExtension(name.c_str())) {
            found->push_back({path, below});
        }
    }
    return 0;
}

CliFormat FormatOfType(int type)
{
    switch (type) {
    case kTypeBmp: return CliFormat::Bmp;
    case kTypePng: return CliFormat::Png;
    case kTypeWebp: return CliFormat::Webp;
    default: return CliFormat::Jpeg;
    }
}

int MakeFolders(const std::string& path, std::string* problem)
{
    for (std::size_t i = std::max<std::size_t>(PathRootLength(path), 1); i < path.size(); ++i) {
        if (!IsPathSeparator(path[i]))
            continue;
        const std::string folder = path.substr(0, i);
        std::string reason;
        if (MakeFolder(folder, &reason) != 0) {
            *problem = Format(_("cannot make the folder '%s': %s"), folder.c_str(), reason.c_str());
            return -1;
        }
    }
    return 0;
}

// The pictures the inputs name, each folder searched (with -r only);
// *folderInput tells whether any input was a folder.
int FindInputs(const CliOptions& o, const PathInfo* outputFolder, std::vector<Found>* found, bool* folderInput,
               std::string* problem)
{
    for (const std::string& input : o.inputs) {
        if (!IsDirectory(input)) {
            found->push_back({input, ""});
            continue;
        }
        if (!o.recursive) {
            *problem = Format(_("'%s' is a folder: give -r to take the pictures below it"), input.c_str());
            return -1;
        }
        *folderInput = true;
        if (Search(input, "", outputFolder, found, problem) != 0)
            return -1;
    }
    return 0;
}

// -o names one file only for one input that is no folder; without -o the
// results keep their inputs' types.
int CheckOutputName(const CliOptions& o, bool toDirectory, bool severalFiles, std::string* problem)
{
    if (o.outputGiven && !toDirectory) {
        if (severalFiles) {
            *problem = Format(_("with several inputs or a folder, -o must name an existing directory ('%s' is none)"),
                              o.output.c_str());
            return -1;
        }
        if (IsPathSeparator(o.output.back())) {
            *problem = Format(_("the output directory '%s' does not exist"), o.output.c_str());
            return -1;
        }
    }
    if (!o.outputGiven && o.format != CliFormat::FromName) {
        *problem = _("--in-place without -o keeps each file's type: --format needs -o");
        return -1;
    }
    return 0;
}

// Where the result of f goes and in which type.
int JobOutput(const CliOptions& o, const Found& f, bool toDirectory, BatchJob* job, std::string* problem)
{
    const int type = SniffPictureType(f.path.c_str());
    if (!o.outputGiven) {
        job->output = f.path;
        job->format = FormatOfType(type);
    } else if (toDirectory) {
        job->format = FormatOfType(TypeForFormat(o.format, type));
        job->output = WithSlash(o.output) + f.folder + StemOf(f.path) + o.suffix +
                      TypeExtension(TypeForFormat(o.format, type));
    } else {
        job->output = o.output;
        job->format = o.format != CliFormat::FromName ? o.format : FormatFromExtension(o.output);
        if (job->format == CliFormat::FromName) {
            *problem = Format(_("cannot tell the output type from '%s': name it .bmp, .jpg, .jpeg, .png or "
                                ".webp, or give --format bmp|jpeg|png|webp"),
                              o.output.c_str());
            return -1;
        }
    }
    return 0;
}

// Adds f's job to the plan, or to its skipped files.
int PlanJob(const CliOptions& o, const Found& f, bool toDirectory, const std::vector<PathInfo>& inputs,
            BatchPlan* plan, std::string* problem)
{
    BatchJob job;
    job.input = f.path;
    if (JobOutput(o, f, toDirectory, &job, problem) != 0)
        return -1;
    const PathInfo out = InspectPath(job.output);
    const bool exists = out.exists;
    if (exists && !o.inPlace)
        for (const PathInfo& in : inputs)
            if (SameFile(in, out)) {
                *problem = Format(_("the result of '%s' would replace the input '%s': give --in-place to allow it"),
                                  f.path.c_str(), job.output.c_str());
                return -1;
            }
    if (exists && o.skipExisting && o.outputGiven) {
        plan->skipped.push_back(job);
        return 0;
    }
    if (!f.folder.empty() && MakeFolders(job.output, problem) != 0)
        return -1;
    plan->jobs.push_back(job);
    return 0;
}

}  // namespace

std::string StemOf(const std::string& path)
{
    std::size_t start = path.size();
    while (start > PathRootLength(path) && !IsPathSeparator(path[start - 1]))
        --start;
    std::string name = path.substr(start);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        name.resize(dot);
    return name;
}

int PlanBatch(const CliOptions& o, BatchPlan* plan, std::string* problem)
{
    *plan = BatchPlan();
    const PathInfo outputFolder = o.outputGiven ? InspectPath(o.output) : PathInfo();
    const bool outputFolderExists = outputFolder.directory;

    std::vector<Found> found;
    bool folderInput = false;
    if (FindInputs(o, outputFolderExists ? &outputFolder : nullptr, &found, &folderInput, problem) != 0)
        return -1;
    plan->isBatch = found.size() > 1 || folderInput;
    // A folder searched with -r is mirrored into -o, made when missing.
    const bool toDirectory = o.outputGiven && (outputFolderExists || folderInput);
    if (CheckOutputName(o, toDirectory, found.size() > 1 || folderInput, problem) != 0)
        return -1;
    if (toDirectory && !outputFolderExists && MakeFolders(WithSlash(o.output), problem) != 0)
        return -1;

    std::vector<PathInfo> inputs;
    for (const Found& f : found) {
        const PathInfo info = InspectPath(f.path);
        if (info.exists)
            inputs.push_back(info);
    }
    for (const Found& f : found)
        if (PlanJob(o, f, toDirectory, inputs, plan, problem) != 0)
            return -1;
    if (!plan->skipped.empty())
        plan->isBatch = true;
    return 0;
}
