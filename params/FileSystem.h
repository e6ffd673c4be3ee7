// The file operations the parameter store makes, in one layer so that each can be made to
// fail on purpose. All of them report failure by their result and never throw.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ParamFs {

// The kinds of operation a fault can be injected into.
enum class Op { Open, Read, Create, Write, Flush, Rename, Backup };

// Installs hook, asked before every operation; when it answers true the operation fails as
// if the system had refused it. An empty hook removes it.
void SetFaultHook(std::function<bool(Op)> hook);

// True when the hook wants op to fail now.
bool Faulted(Op op);

// A fresh name for a temporary file of a save of name by process processId:
// "." + name + "." + processId + "-" + a count + ".dbp-tmp". No other file is taken for one.
std::string TempName(const std::string &name, unsigned long long processId);

// The process whose save of name left the temporary file entry, or 0 when entry is none.
unsigned long long TempOwner(const std::string &entry, const std::string &name);

// True when path names a regular file, following symbolic links.
bool IsRegularFile(const std::string &path);

// True when path names anything at all, a dangling symbolic link included.
bool Exists(const std::string &path);

// The names of the entries in folder ("" is the current folder); empty on failure.
std::vector<std::string> ListFolder(const std::string &folder);

// Reads the whole regular file at path into content.
bool ReadWholeFile(const std::string &path, std::string &content);

// Reads the regular file at path from its start, handing each piece read to take, until the
// end or until take answers false. Holds no more than one piece at a time.
bool ReadInPieces(const std::string &path, const std::function<bool(std::string_view)> &take);

// Copies the file at path, as it is now, to backup, replacing backup atomically. oldContent
// is what was read from path, used where the file cannot simply be linked.
bool MakeBackup(const std::string &path, const std::string &oldContent, const std::string &backup);

// New content for an existing file, written beside it first and then put in its place, so
// that at every instant the file holds the old or the new content in full. A symbolic link
// stays a link and its target is rewritten; the old file's access (mode, owner, group, access
// list, or attributes on Windows) is kept where permitted.
class TReplacement {
public:
    TReplacement() = default;
    TReplacement(const TReplacement &) = delete;
    TReplacement &operator=(const TReplacement &) = delete;
    // Removes the new content when it was not put in place.
    ~TReplacement();

    // Writes content beside the file at path and syncs it. Fails, leaving nothing behind,
    // also where the file may not be replaced: read-only, or held against it.
    bool Prepare(const std::string &path, const std::string &content);

    // Puts the prepared content in the file's place and makes that durable.
    bool Commit();

private:
    std::string target_;
    std::string tempPath_;
};

// The folder of the running executable, with no trailing separator.
std::string OwnExecutableFolder();

// The separator between a folder and a name.
char PathSeparator();

// True when c separates folders in a path on this system.
bool IsPathSeparator(char c);

} // namespace ParamFs
