#include "BenchFiles.h"

#include "ParamStore.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <map>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string &ScratchRoot()
{
    static std::string root;
    return root;
}

std::map<long, std::string> &Folders()
{
    static std::map<long, std::string> folders;
    return folders;
}

// One line of the generated file: a section header now and then, otherwise a setting whose
// length cycles through 30 to 60 bytes.
std::string SettingLine(long i)
{
    if (i % 25 == 0)
        return "[Section" + std::to_string(i / 25) + "]";
    std::string line = "Setting" + std::to_string(i) + "=";
    const std::size_t length = 30 + static_cast<std::size_t>((i * 37) % 31);
    for (std::size_t c = 0; line.size() < length; ++c)
        line.push_back(static_cast<char>('a' + (i + static_cast<long>(c)) % 26));
    return line;
}

bool WriteAll(int fd, const std::string &data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t put = ::write(fd, data.data() + done, data.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

bool WriteFile(const std::string &path, const std::string &content, bool sync)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool written = WriteAll(fd, content) && (!sync || ::fsync(fd) == 0);
    return ::close(fd) == 0 && written;
}

bool SyncFolder(const std::string &folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
    return ::close(fd) == 0 && synced;
}

} // namespace

TQuietWindow &QuietWindow()
{
    static TQuietWindow window;
    return window;
}

std::string ParamFileContent(long lines)
{
    std::string content;
    content.reserve(static_cast<std::size_t>(lines) * 48);
    const long middle = lines / 2;
    for (long i = 0; i < lines; ++i) {
        if (i == middle && i + 4 <= lines) {
            content.append("[DATABASE]\r\nDATABASENAME=").append(EncodeValue("ORCL", ScrambleKey));
            content.append("\r\nUSERNAME=").append(EncodeValue("scott", ScrambleKey));
            content.append("\r\nPASSWORD=").append(EncodeValue("tiger", ScrambleKey)).append("\r\n");
            i += 3;
            continue;
        }
        content.append(SettingLine(i)).append("\r\n");
    }
    return content;
}

std::string ParamFolder(long lines)
{
    auto found = Folders().find(lines);
    if (found != Folders().end())
        return found->second;
    std::string &root = ScratchRoot();
    if (root.empty()) {
        std::error_code error;
        std::string pattern = (std::filesystem::temp_directory_path(error) / "dbp-bench-XXXXXX").string();
        if (error || !::mkdtemp(pattern.data()))
            return {};
        root = pattern;
    }
    const std::string folder = root + "/" + std::to_string(lines);
    if (::mkdir(folder.c_str(), 0700) != 0 || !WriteFile(folder + "/VOBERA.INI", ParamFileContent(lines), false))
        return {};
    return Folders().emplace(lines, folder).first->second;
}

void RemoveParamFolders()
{
    if (ScratchRoot().empty())
        return;
    std::error_code ignored;
    std::filesystem::remove_all(ScratchRoot(), ignored);
    ScratchRoot().clear();
    Folders().clear();
}

bool ReadPlain(const std::string &path, std::string &content)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    content.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    bool ok = true;
    while (done < content.size()) {
        const ssize_t got = ::read(fd, content.data() + done, content.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    content.resize(done);
    return ::close(fd) == 0 && ok;
}

bool CopyDurably(const std::string &from, const std::string &to)
{
    std::string content;
    const std::string temp = to + ".copy";
    if (!ReadPlain(from, content) || !WriteFile(temp, content, true) || ::rename(temp.c_str(), to.c_str()) != 0)
        return false;
    const std::size_t slash = to.rfind('/');
    return SyncFolder(slash == std::string::npos ? "." : to.substr(0, slash));
}
