#include "FileSystem.h"

#include "WindowsApi.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace ParamFs {

namespace {

constexpr DWORD ChunkSize = DWORD{1} << 20;
// Small enough to stay in the processor's cache while the reader looks at it.
constexpr DWORD PieceSize = DWORD{256} << 10;
constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD KeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
constexpr int MoveAttempts = 5;
constexpr DWORD MoveRetryMilliseconds = 40;

// Closes its handle when it goes out of scope unless it was closed on purpose.
class THandle {
public:
    explicit THandle(HANDLE handle) : handle_(handle) {}
    THandle(const THandle &) = delete;
    THandle &operator=(const THandle &) = delete;
    ~THandle()
    {
        if (valid())
            ::CloseHandle(handle_);
    }
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE release()
    {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return handle;
    }
    bool close()
    {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return ::CloseHandle(handle) != 0;
    }

private:
    HANDLE handle_;
};

bool Refused(Op op)
{
    if (!Faulted(op))
        return false;
    ::SetLastError(ERROR_IO_DEVICE);
    return true;
}

std::size_t NameStart(const std::string &path)
{
    std::size_t start = path.size();
    while (start > 0 && !IsPathSeparator(path[start - 1]))
        --start;
    return start;
}

// The folder part of path. "C:\" and "\" keep their separator, without which they would name
// the drive's current folder; "C:" stays the current folder of drive C.
std::string FolderOf(const std::string &path)
{
    const std::size_t start = NameStart(path);
    if (start == 0)
        return ".";
    const std::size_t separator = start - 1;
    if (path[separator] == ':' || separator == 0 || (separator == 2 && path[1] == ':'))
        return path.substr(0, start);
    return path.substr(0, separator);
}

std::string NameOf(const std::string &path)
{
    return path.substr(NameStart(path));
}

std::string Join(const std::string &folder, const std::string &name)
{
    return IsPathSeparator(folder.back()) ? folder + name : folder + '\\' + name;
}

// path without the "\\?\" prefix that final paths come with, which the rest of the program
// does not expect.
std::string WithoutVerbatimPrefix(const std::string &path)
{
    constexpr std::string_view Unc = "\\\\?\\UNC\\";
    constexpr std::string_view Verbatim = "\\\\?\\";
    if (path.compare(0, Unc.size(), Unc) == 0)
        return "\\\\" + path.substr(Unc.size());
    if (path.compare(0, Verbatim.size(), Verbatim) == 0)
        return path.substr(Verbatim.size());
    return path;
}

// The file a path finally names, through any symbolic links and in the spelling the file
// system keeps; the path itself when that cannot be found out.
std::string ResolveLinks(const std::string &path)
{
    THandle file(::CreateFileA(path.c_str(), 0, ShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.valid())
        return path;
    std::string final(MAX_PATH, '\0');
    const DWORD flags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
    DWORD length = ::GetFinalPathNameByHandleA(file.get(), final.data(), static_cast<DWORD>(final.size()), flags);
    if (length >= final.size()) {
        // Too small: length is the size needed, terminating NUL included.
        final.resize(length);
        length = ::GetFinalPathNameByHandleA(file.get(), final.data(), static_cast<DWORD>(final.size()), flags);
    }
    if (length == 0 || length >= final.size())
        return path;
    final.resize(length);
    return WithoutVerbatimPrefix(final);
}

// Reads to the end of file. The string is sized once from the file's size, and grows only
// when the file turns out longer than it said.
bool ReadAll(HANDLE file, std::string &content)
{
    LARGE_INTEGER size{};
    const std::size_t expected =
        ::GetFileSizeEx(file, &size) && size.QuadPart > 0 ? static_cast<std::size_t>(size.QuadPart) : 0;
    content.resize(expected + 1);
    std::size_t used = 0;
    for (;;) {
        if (Refused(Op::Read))
            return false;
        if (used == content.size())
            content.resize(content.size() + std::max<std::size_t>(content.size(), ChunkSize));
        const auto wanted = static_cast<DWORD>(std::min<std::size_t>(ChunkSize, content.size() - used));
        DWORD got = 0;
        if (!::ReadFile(file, content.data() + used, wanted, &got, nullptr))
            return false;
        if (got == 0) {
            content.resize(used);
            return true;
        }
        used += got;
    }
}

bool WriteAll(HANDLE file, const std::string &data, Op op)
{
    std::size_t done = 0;
    while (done < data.size()) {
        if (Refused(op))
            return false;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(ChunkSize, data.size() - done));
        DWORD put = 0;
        if (!::WriteFile(file, data.data() + done, chunk, &put, nullptr) || put == 0)
            return false;
        done += put;
    }
    return true;
}

bool Sync(HANDLE file, Op op)
{
    return !Refused(op) && ::FlushFileBuffers(file) != 0;
}

// False only when the system is sure that no process has the id; one that this process may
// not look at is alive.
bool ProcessIsAlive(DWORD id)
{
    THandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    if (!process.valid())
        return ::GetLastError() != ERROR_INVALID_PARAMETER;
    DWORD exitCode = 0;
    return !::GetExitCodeProcess(process.get(), &exitCode) || exitCode == STILL_ACTIVE;
}

// Removes the temporary files that saves of name in folder left when their process died.
void RemoveStaleTemps(const std::string &folder, const std::string &name)
{
    for (const std::string &entry : ListFolder(folder)) {
        const unsigned long long id = TempOwner(entry, name);
        if (id == 0 || id > MAXDWORD || id == ::GetCurrentProcessId())
            continue;
        if (!ProcessIsAlive(static_cast<DWORD>(id)))
            ::DeleteFileA(Join(folder, entry).c_str());
    }
}

// A name beside target that no other file has, which a save by this process may use.
std::string NextTempPath(const std::string &target)
{
    return Join(FolderOf(target), TempName(NameOf(target), ::GetCurrentProcessId()));
}

// Creates a new file that no other program can open until it is closed.
HANDLE CreateTemp(const std::string &target, std::string &tempPath, Op op)
{
    RemoveStaleTemps(FolderOf(target), NameOf(target));
    if (Refused(op))
        return INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = NextTempPath(target);
        const HANDLE file =
            ::CreateFileA(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    return INVALID_HANDLE_VALUE;
}

// Gives the new file the hidden, system and indexing attributes of the old one, and marks it
// for the next backup as Windows marks every file written.
bool KeepAttributes(HANDLE file, DWORD old)
{
    FILE_BASIC_INFO info{}; // times of zero stay as they are
    info.FileAttributes = (old & KeptAttributes) | FILE_ATTRIBUTE_ARCHIVE;
    return ::SetFileInformationByHandle(file, FileBasicInfo, &info, sizeof info) != 0;
}

// Writes content to a new file beside target with target's attributes, flushed to disk.
bool WriteTemp(const std::string &target, DWORD old, const std::string &content, Op create, Op write, Op flush,
               std::string &tempPath)
{
    THandle file(CreateTemp(target, tempPath, create));
    if (!file.valid())
        return false;
    const bool written =
        WriteAll(file.get(), content, write) && KeepAttributes(file.get(), old) && Sync(file.get(), flush);
    const bool closed = file.close();
    if (written && closed)
        return true;
    ::DeleteFileA(tempPath.c_str());
    return false;
}

// Moves from over to, durably once it returns. A scanner or indexer may hold a file open for
// a moment after it was written, so a refusal is tried again a few times. from is removed
// either way.
bool MoveOver(const std::string &from, const std::string &to, Op op)
{
    bool moved = false;
    if (!Refused(op)) {
        for (int attempt = 1; attempt <= MoveAttempts; ++attempt) {
            moved = ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
            const DWORD error = ::GetLastError();
            if (moved || attempt == MoveAttempts || (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED))
                break;
            ::Sleep(MoveRetryMilliseconds);
        }
    }
    ::DeleteFileA(from.c_str());
    return moved;
}

bool LinkTemp(const std::string &source, const std::string &backup, std::string &tempPath)
{
    RemoveStaleTemps(FolderOf(backup), NameOf(backup));
    if (Refused(Op::Backup))
        return false;
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = NextTempPath(backup);
        if (::CreateHardLinkA(tempPath.c_str(), source.c_str(), nullptr))
            return true;
        const DWORD error = ::GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS)
            return false;
    }
    return false;
}

// Opens path for access with every kind of sharing; fails when this user may not have that
// access or another program holds the file open without sharing it that way.
HANDLE OpenFor(const std::string &path, DWORD access)
{
    return ::CreateFileA(path.c_str(), access, ShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

} // namespace

bool IsRegularFile(const std::string &path)
{
    // Opening for no access at all follows links and is allowed even while another program
    // holds the file open without sharing it.
    THandle file(::CreateFileA(path.c_str(), 0, ShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    return file.valid() && ::GetFileType(file.get()) == FILE_TYPE_DISK &&
           ::GetFileInformationByHandle(file.get(), &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Exists(const std::string &path)
{
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> ListFolder(const std::string &folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry{};
    const HANDLE search = ::FindFirstFileA((folder.empty() ? std::string("*") : Join(folder, "*")).c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::string_view name(entry.cFileName);
        if (name != "." && name != "..")
            names.emplace_back(name);
    } while (::FindNextFileA(search, &entry));
    ::FindClose(search);
    return names;
}

namespace {

// Opens path for reading if it is a file on disk: a device or a pipe in the file's place is
// no parameter file.
HANDLE OpenDiskFile(const std::string &path)
{
    if (Refused(Op::Open))
        return INVALID_HANDLE_VALUE;
    THandle file(::CreateFileA(path.c_str(), GENERIC_READ, ShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                               nullptr));
    if (!file.valid() || ::GetFileType(file.get()) != FILE_TYPE_DISK)
        return INVALID_HANDLE_VALUE;
    return file.release();
}

} // namespace

bool ReadWholeFile(const std::string &path, std::string &content)
{
    THandle file(OpenDiskFile(path));
    if (!file.valid())
        return false;
    content.clear();
    return ReadAll(file.get(), content);
}

bool ReadInPieces(const std::string &path, const std::function<bool(std::string_view)> &take)
{
    THandle file(OpenDiskFile(path));
    if (!file.valid())
        return false;
    std::string piece(PieceSize, '\0');
    for (;;) {
        if (Refused(Op::Read))
            return false;
        DWORD got = 0;
        if (!::ReadFile(file.get(), piece.data(), static_cast<DWORD>(piece.size()), &got, nullptr))
            return false;
        if (got == 0 || !take(std::string_view(piece.data(), got)))
            return true;
    }
}

bool MakeBackup(const std::string &path, const std::string &oldContent, const std::string &backup)
{
    const std::string source = ResolveLinks(path);
    const DWORD old = ::GetFileAttributesA(source.c_str());
    if (old == INVALID_FILE_ATTRIBUTES)
        return false;
    // A hard link is the old file itself, content, attributes and times; a copy serves where
    // links are not possible (another volume, or a file system without them). A link cannot
    // be moved or removed while a program holds the file open without letting others delete
    // it, so such a file is copied; holding it open for deleting keeps such programs out
    // until the link is in place.
    const THandle deletable(OpenFor(source, DELETE));
    std::string tempPath;
    if (!(deletable.valid() && LinkTemp(source, backup, tempPath)) &&
        !WriteTemp(backup, old, oldContent, Op::Backup, Op::Backup, Op::Backup, tempPath))
        return false;
    return MoveOver(tempPath, backup, Op::Backup);
}

TReplacement::~TReplacement()
{
    if (!tempPath_.empty())
        ::DeleteFileA(tempPath_.c_str());
}

bool TReplacement::Prepare(const std::string &path, const std::string &content)
{
    target_ = ResolveLinks(path);
    const DWORD old = ::GetFileAttributesA(target_.c_str());
    if (old == INVALID_FILE_ATTRIBUTES || (old & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0)
        return false;
    // A read-only file must stop the save as it would stop a rewrite in place, and so must a
    // program that holds the file open against writers or against the replacing move, before
    // any new file is made.
    if ((old & FILE_ATTRIBUTE_READONLY) != 0 || !THandle(OpenFor(target_, GENERIC_WRITE | DELETE)).valid())
        return false;
    std::string tempPath;
    if (!WriteTemp(target_, old, content, Op::Create, Op::Write, Op::Flush, tempPath))
        return false;
    tempPath_ = tempPath;
    return true;
}

bool TReplacement::Commit()
{
    if (tempPath_.empty())
        return false;
    const bool moved = MoveOver(tempPath_, target_, Op::Rename);
    tempPath_.clear();
    return moved;
}

std::string OwnExecutableFolder()
{
    // Paths can be longer than MAX_PATH; a result that fills the buffer may have been cut.
    for (std::string buffer(MAX_PATH, '\0'); buffer.size() <= 2 * 32768; buffer.resize(2 * buffer.size())) {
        const DWORD length = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return ".";
        if (length < buffer.size()) {
            buffer.resize(length);
            return FolderOf(buffer);
        }
    }
    return ".";
}

char PathSeparator()
{
    return '\\';
}

bool IsPathSeparator(char c)
{
    return c == '\\' || c == '/' || c == ':';
}

} // namespace ParamFs
