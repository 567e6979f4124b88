#include "cli/batch_plan.h"

#include "cli/picture_files.h"
#include "cli/text.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

struct Found {
    std::string path;
    std::string folder;  // below the input folder, "" or "a/b/"
};

bool IsDirectory(const std::string& path)
{
    struct stat info = {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string WithSlash(std::string path)
{
    if (!path.empty() && path.back() != '/')
        path += '/';
    return path;
}

// Every picture below folder, in name order; folders that are symbolic
// links are not followed (no loops), nor is the output folder entered.
int Search(const std::string& folder, const std::string& below, const struct stat* outputFolder,
           std::vector<Found>* found, std::string* problem)
{
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
        *problem = Format(_("cannot read the folder '%s': %s"), folder.c_str(), std::strerror(errno));
        return -1;
    }
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string path = WithSlash(folder) + name;
        struct stat link = {};
        struct stat info = {};
        if (lstat(path.c_str(), &link) != 0 || stat(path.c_str(), &info) != 0)
            continue;
        if (S_ISDIR(info.st_mode)) {
            if (S_ISLNK(link.st_mode) || (outputFolder && SameFile(info, *outputFolder)))
                continue;
            if (Search(path, below + name + "/", outputFolder, found, problem) != 0)
                return -1;
        } else if (S_ISREG(info.st_mode) && HasPictureExtension(name)) {
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
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
            *problem = Format(_("cannot make the folder '%s': %s"), folder.c_str(), std::strerror(errno));
            return -1;
        }
    }
    return 0;
}

// The pictures the inputs name, each folder searched (with -r only);
// *folderInput tells whether any input was a folder.
int FindInputs(const CliOptions& o, const struct stat* outputFolder, std::vector<Found>* found, bool* folderInput,
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
        if (o.output.back() == '/') {
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
    const int type = SniffPictureType(f.path);
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
int PlanJob(const CliOptions& o, const Found& f, bool toDirectory, const std::vector<struct stat>& inputs,
            BatchPlan* plan, std::string* problem)
{
    BatchJob job;
    job.input = f.path;
    if (JobOutput(o, f, toDirectory, &job, problem) != 0)
        return -1;
    struct stat out = {};
    const bool exists = stat(job.output.c_str(), &out) == 0;
    if (exists && !o.inPlace)
        for (const struct stat& in : inputs)
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
    const std::size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        name.resize(dot);
    return name;
}

int PlanBatch(const CliOptions& o, BatchPlan* plan, std::string* problem)
{
    *plan = BatchPlan();
    struct stat outputFolder = {};
    const bool outputFolderExists = o.outputGiven && IsDirectory(o.output) && stat(o.output.c_str(), &outputFolder) == 0;

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

    std::vector<struct stat> inputs;
    for (const Found& f : found) {
        struct stat info = {};
        if (stat(f.path.c_str(), &info) == 0)
            inputs.push_back(info);
    }
    for (const Found& f : found)
        if (PlanJob(o, f, toDirectory, inputs, plan, problem) != 0)
            return -1;
    if (!plan->skipped.empty())
        plan->isBatch = true;
    return 0;
}
