#include "FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <string_view>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace ParamFs {

namespace {

constexpr std::size_t ChunkSize = std::size_t{1} << 20;
// Small enough to stay in the processor's cache while the reader looks at it.
constexpr std::size_t PieceSize = std::size_t{256} << 10;

// Closes its descriptor when it goes out of scope unless it was closed on purpose.
class TDescriptor {
public:
    explicit TDescriptor(int fd) : fd_(fd) {}
    TDescriptor(const TDescriptor &) = delete;
    TDescriptor &operator=(const TDescriptor &) = delete;
    ~TDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    bool close()
    {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool Refused(Op op)
{
    if (!Faulted(op))
        return false;
    errno = EIO;
    return true;
}

std::string FolderOf(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Join(const std::string &folder, const std::string &name)
{
    return folder.back() == '/' ? folder + name : folder + '/' + name;
}

// The file a path finally names, through any symbolic links; the path itself when that
// cannot be found out.
std::string ResolveLinks(const std::string &path)
{
    char *resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return path;
    std::string target(resolved);
    std::free(resolved);
    return target;
}

// Reads to the end of fd. The string is sized once from the file's size, and grows only
// when the file turns out longer than it said.
bool ReadAll(int fd, std::string &content)
{
    struct stat info {};
    const std::size_t expected =
        ::fstat(fd, &info) == 0 && info.st_size > 0 ? static_cast<std::size_t>(info.st_size) : 0;
    content.resize(expected + 1);
    std::size_t used = 0;
    for (;;) {
        if (Refused(Op::Read))
            return false;
        if (used == content.size())
            content.resize(content.size() + std::max(content.size(), ChunkSize));
        const std::size_t wanted = std::min(ChunkSize, content.size() - used);
        const ssize_t got = ::read(fd, content.data() + used, wanted);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0) {
            content.resize(used);
            return true;
        }
        used += static_cast<std::size_t>(got);
    }
}

bool WriteAll(int fd, const std::string &data, Op op)
{
    std::size_t done = 0;
    while (done < data.size()) {
        if (Refused(op))
            return false;
        const std::size_t chunk = std::min(ChunkSize, data.size() - done);
        const ssize_t put = ::write(fd, data.data() + done, chunk);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

bool Sync(int fd, Op op)
{
    return !Refused(op) && ::fsync(fd) == 0;
}

// Makes a rename in folder durable. File systems that cannot sync a folder say so with EINVAL.
bool SyncFolder(const std::string &folder, Op op)
{
    if (Refused(op))
        return false;
    TDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid())
        return false;
    return ::fsync(fd.get()) == 0 || errno == EINVAL;
}

// Removes the temporary files that saves of name in folder left when their process died.
void RemoveStaleTemps(const std::string &folder, const std::string &name)
{
    for (const std::string &entry : ListFolder(folder)) {
        const unsigned long long pid = TempOwner(entry, name);
        if (pid == 0 || pid > INT_MAX || pid == static_cast<unsigned long long>(::getpid()))
            continue;
        if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            ::unlink(Join(folder, entry).c_str());
    }
}

// A name beside target that no other file has, which a save by this process may use.
std::string NextTempPath(const std::string &target)
{
    return Join(FolderOf(target), TempName(NameOf(target), static_cast<unsigned long long>(::getpid())));
}

// Creates a new file, readable by its owner only, that no other process has opened.
int CreateTemp(const std::string &target, std::string &tempPath, Op op)
{
    RemoveStaleTemps(FolderOf(target), NameOf(target));
    if (Refused(op))
        return -1;
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = NextTempPath(target);
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// Gives the new file the old one's access list, or none when it had none: a new file takes
// its folder's default list, which the mode set afterwards would open up. A list that
// cannot be copied leaves only the mode, which grants less; a default list that cannot be
// removed fails.
bool KeepAccessList(int fd, const std::string &source)
{
    constexpr const char *AccessList = "system.posix_acl_access";
    std::string list(256, '\0');
    ssize_t size = ::getxattr(source.c_str(), AccessList, list.data(), list.size());
    if (size < 0 && errno == ERANGE) {
        size = ::getxattr(source.c_str(), AccessList, nullptr, 0);
        list.resize(size > 0 ? static_cast<std::size_t>(size) : 0);
        size = size > 0 ? ::getxattr(source.c_str(), AccessList, list.data(), list.size()) : -1;
    }
    if (size > 0 && ::fsetxattr(fd, AccessList, list.data(), static_cast<std::size_t>(size), 0) == 0)
        return true;
    return ::fremovexattr(fd, AccessList) == 0 || errno == ENODATA || errno == ENOTSUP;
}

// Gives the new file the owner, group, access list and mode of the old one at source. Where
// the group cannot be kept the new group gets no more than others had, so no one gains access.
bool KeepAccess(int fd, const struct stat &old, const std::string &source)
{
    struct stat now {};
    if (::fstat(fd, &now) != 0)
        return false;
    if (now.st_uid != old.st_uid && ::fchown(fd, old.st_uid, static_cast<gid_t>(-1)) == 0)
        now.st_uid = old.st_uid;
    if (now.st_gid != old.st_gid && ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) == 0)
        now.st_gid = old.st_gid;
    mode_t mode = old.st_mode & 07777;
    if (now.st_uid != old.st_uid)
        mode &= ~static_cast<mode_t>(S_ISUID);
    if (now.st_gid != old.st_gid)
        mode &= ~static_cast<mode_t>(S_ISGID | (S_IRWXG & ~((mode & S_IRWXO) << 3)));
    return KeepAccessList(fd, source) && ::fchmod(fd, mode) == 0;
}

// Writes content to a new file beside target with the access of the file at source, synced.
bool WriteTemp(const std::string &target, const std::string &source, const struct stat &old, const std::string &content,
               Op create, Op write, Op flush, std::string &tempPath)
{
    TDescriptor fd(CreateTemp(target, tempPath, create));
    if (!fd.valid())
        return false;
    const bool written =
        WriteAll(fd.get(), content, write) && KeepAccess(fd.get(), old, source) && Sync(fd.get(), flush);
    const bool closed = fd.close();
    if (written && closed)
        return true;
    ::unlink(tempPath.c_str());
    return false;
}

// Renames from over to. When both already name one file rename leaves from in place, so
// from is removed either way.
bool RenameOver(const std::string &from, const std::string &to, Op op)
{
    const bool renamed = !Refused(op) && ::rename(from.c_str(), to.c_str()) == 0;
    ::unlink(from.c_str());
    return renamed;
}

// True when target, with the given status, lies in a sticky folder that lets only its owner,
// the folder's owner or root put another file in its place.
bool StickyFolderKeepsOut(const std::string &target, const struct stat &old)
{
    struct stat folder {};
    const uid_t self = ::geteuid();
    return ::stat(FolderOf(target).c_str(), &folder) == 0 && (folder.st_mode & S_ISVTX) != 0 && self != 0 &&
           old.st_uid != self && folder.st_uid != self;
}

bool LinkTemp(const std::string &source, const std::string &backup, std::string &tempPath)
{
    RemoveStaleTemps(FolderOf(backup), NameOf(backup));
    if (Refused(Op::Backup))
        return false;
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = NextTempPath(backup);
        if (::link(source.c_str(), tempPath.c_str()) == 0)
            return true;
        if (errno != EEXIST)
            return false;
    }
    return false;
}

} // namespace

bool IsRegularFile(const std::string &path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool Exists(const std::string &path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

std::vector<std::string> ListFolder(const std::string &folder)
{
    std::vector<std::string> names;
    const std::unique_ptr<DIR, int (*)(DIR *)> dir(::opendir(folder.empty() ? "." : folder.c_str()), ::closedir);
    if (!dir)
        return names;
    while (const dirent *entry = ::readdir(dir.get())) {
        const std::string_view name(entry->d_name);
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    return names;
}

namespace {

// Opens path for reading if it is a regular file. Non-blocking, so that a pipe put in the
// file's place cannot hang the program.
int OpenRegularFile(const std::string &path)
{
    if (Refused(Op::Open))
        return -1;
    TDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat info {};
    if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return -1;
    return fd.release();
}

} // namespace

bool ReadWholeFile(const std::string &path, std::string &content)
{
    TDescriptor fd(OpenRegularFile(path));
    if (!fd.valid())
        return false;
    content.clear();
    return ReadAll(fd.get(), content);
}

bool ReadInPieces(const std::string &path, const std::function<bool(std::string_view)> &take)
{
    TDescriptor fd(OpenRegularFile(path));
    if (!fd.valid())
        return false;
    std::string piece(PieceSize, '\0');
    for (;;) {
        if (Refused(Op::Read))
            return false;
        const ssize_t got = ::read(fd.get(), piece.data(), piece.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got == 0;
        if (!take(std::string_view(piece.data(), static_cast<std::size_t>(got))))
            return true;
    }
}

bool MakeBackup(const std::string &path, const std::string &oldContent, const std::string &backup)
{
    const std::string source = ResolveLinks(path);
    struct stat old {};
    if (::stat(source.c_str(), &old) != 0)
        return false;
    // A hard link is the old file itself, content, mode and times; a copy serves where links
    // are not possible (another file system, or a file system without them). A link to
    // another user's file could not be removed again from a sticky folder, so such a file
    // is copied.
    const bool mayLink = old.st_uid == ::geteuid() || ::geteuid() == 0;
    std::string tempPath;
    if (!(mayLink && LinkTemp(source, backup, tempPath)) &&
        !WriteTemp(backup, source, old, oldContent, Op::Backup, Op::Backup, Op::Backup, tempPath))
        return false;
    return RenameOver(tempPath, backup, Op::Backup) && SyncFolder(FolderOf(backup), Op::Backup);
}

TReplacement::~TReplacement()
{
    if (!tempPath_.empty())
        ::unlink(tempPath_.c_str());
}

bool TReplacement::Prepare(const std::string &path, const std::string &content)
{
    target_ = ResolveLinks(path);
    struct stat old {};
    if (::stat(target_.c_str(), &old) != 0 || !S_ISREG(old.st_mode))
        return false;
    // The rename would get past a file's read-only mode; it must stop the save as it would
    // stop a rewrite in place. A sticky folder refuses the rename outright.
    if (::access(target_.c_str(), W_OK) != 0 || StickyFolderKeepsOut(target_, old))
        return false;
    std::string tempPath;
    if (!WriteTemp(target_, target_, old, content, Op::Create, Op::Write, Op::Flush, tempPath))
        return false;
    tempPath_ = tempPath;
    return true;
}

bool TReplacement::Commit()
{
    if (tempPath_.empty())
        return false;
    const bool renamed = RenameOver(tempPath_, target_, Op::Rename);
    tempPath_.clear();
    return renamed && SyncFolder(FolderOf(target_), Op::Flush);
}

std::string OwnExecutableFolder()
{
    std::string buffer(PATH_MAX, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0)
        return ".";
    buffer.resize(static_cast<std::size_t>(length));
    return FolderOf(buffer);
}

char PathSeparator()
{
    return '/';
}

bool IsPathSeparator(char c)
{
    return c == '/';
}

} // namespace ParamFs
