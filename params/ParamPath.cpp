#include "ParamStore.h"

#include "FileSystem.h"
#include "ParamLines.h"
#include "ParamWindow.h"

#include <algorithm>

std::string SelectedFileName;

namespace {

constexpr const char *DefaultFileName = "VOBERA.INI";
constexpr const char *DefaultBackupName = "VOBERA.OLD";
constexpr const char *BackupExtension = ".OLD";

bool SameIgnoringCase(const std::string &a, const std::string &b)
{
    return ParamLines::AsciiLower(a) == ParamLines::AsciiLower(b);
}

std::size_t NameStart(const std::string &path)
{
    std::size_t start = path.size();
    while (start > 0 && !ParamFs::IsPathSeparator(path[start - 1]))
        --start;
    return start;
}

std::string WithSeparator(std::string folder)
{
    if (!folder.empty() && !ParamFs::IsPathSeparator(folder.back()))
        folder += ParamFs::PathSeparator();
    return folder;
}

// Finds name in folder the way a case-blind file system would: the exact spelling first,
// then the first other spelling in byte order; the exact spelling when there is none.
std::string FindIgnoringCase(const std::string &folder, const std::string &name)
{
    if (ParamFs::Exists(folder + name))
        return name;
    std::vector<std::string> entries = ParamFs::ListFolder(folder);
    std::sort(entries.begin(), entries.end());
    const auto match = std::find_if(entries.begin(), entries.end(),
                                    [&name](const std::string &entry) { return SameIgnoringCase(entry, name); });
    return match == entries.end() ? name : *match;
}

} // namespace

void ParamFilePath(std::string &file, std::string &folder)
{
    if (!SelectedFileName.empty()) {
        file = SelectedFileName;
        folder = WithSeparator(file.substr(0, NameStart(file)));
        return;
    }
    folder = WithSeparator(ExecutableFolder());
    file = folder + FindIgnoringCase(folder, DefaultFileName);
}

std::string BackupFilePath(const std::string &file, const std::string &folder)
{
    const std::string name = file.substr(NameStart(file));
    if (SameIgnoringCase(name, DefaultFileName))
        return folder + DefaultBackupName;
    const std::size_t dot = name.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > 0;
    if (!hasExtension || SameIgnoringCase(name.substr(dot), BackupExtension))
        return folder + name + BackupExtension;
    return folder + name.substr(0, dot) + BackupExtension;
}
