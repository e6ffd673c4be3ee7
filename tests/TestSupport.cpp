#include "TestSupport.h"

#include "FileSystem.h"
#include "ParamStore.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <random>
#include <sstream>

namespace {

namespace fs = std::filesystem;

// A new, empty folder that only its owner may enter; empty when none could be made. Tests
// that run at the same time draw different names, and create_directory refuses a taken one.
fs::path NewTempFolder()
{
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    static std::mt19937_64 generator(std::random_device{}() ^ static_cast<std::uint64_t>(ticks));
    std::error_code error;
    const fs::path temp = fs::temp_directory_path(error);
    for (int attempt = 0; !error && attempt < 100; ++attempt) {
        std::ostringstream name;
        name << "dbp-test-" << std::hex << generator();
        fs::path candidate = temp / name.str();
        if (fs::create_directory(candidate, error)) {
            fs::permissions(candidate, fs::perms::owner_all, fs::perm_options::replace, error);
            return candidate;
        }
        error.clear();
    }
    return {};
}

// Lets the owner write every file under folder again: a read-only file would stop its removal
// on Windows.
void MakeWritable(const fs::path &folder)
{
    std::error_code error;
    fs::recursive_directory_iterator entry(folder, fs::directory_options::skip_permission_denied, error);
    for (; !error && entry != fs::recursive_directory_iterator(); entry.increment(error)) {
        std::error_code ignored;
        if (entry->symlink_status(ignored).type() == fs::file_type::regular)
            fs::permissions(entry->path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    }
}

} // namespace

void TFakeWindow::ShowMessage(const std::string &text, const std::string &path)
{
    messages.push_back({text, path});
}

void TFakeWindow::ProcessMessages()
{
    ++processCalls;
    if (onProcessMessages)
        onProcessMessages();
}

void TFakeWindow::SetFileLabel(const std::string &path)
{
    labels.push_back(path);
}

std::string TFakeWindow::ExecutableFolder()
{
    return executableFolder;
}

std::string TFakeWindow::OnlyMessage() const
{
    if (messages.size() != 1) {
        ADD_FAILURE() << "expected one message, got " << messages.size();
        return messages.empty() ? std::string() : messages.back().full();
    }
    return messages.front().full();
}

void TParamStoreTest::SetUp()
{
    folder = NewTempFolder();
    ASSERT_FALSE(folder.empty()) << "no temporary folder could be made";
    window.executableFolder = folder.string();
    SetParamWindow(&window);
    SelectedFileName.clear();
}

void TParamStoreTest::TearDown()
{
    SetParamWindow(nullptr);
    ParamFs::SetFaultHook({});
    SelectedFileName.clear();
    std::error_code ignored;
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
    MakeWritable(folder);
    std::filesystem::remove_all(folder, ignored);
}

std::string TParamStoreTest::PathOf(const std::string &name) const
{
    return (folder / name).string();
}

std::string ReadFileBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "<missing>";
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteFileBytes(const std::string &path, const std::string &content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    ASSERT_TRUE(out.good()) << path;
}

std::vector<std::string> FolderEntries(const std::filesystem::path &folder)
{
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string FixturePath(const std::string &name)
{
    return std::string(DBP_TEST_DATA_DIR) + "/" + name;
}

std::string SampleFile(const std::string &database, const std::string &user, const std::string &password)
{
    return "[GENERAL]\r\nTITLE=Vobera\r\n[DATABASE]\r\nDATABASENAME=" + EncodeValue(database, ScrambleKey) +
           "\r\nUSERNAME=" + EncodeValue(user, ScrambleKey) + "\r\nPASSWORD=" + EncodeValue(password, ScrambleKey) +
           "\r\n";
}

LogonParams LoadedParams()
{
    LogonParams params;
    LoadParams(params.database, params.user, params.password);
    return params;
}

void ExpectParamFilePaths(const std::vector<TPathCase> &cases)
{
    TFakeWindow window;
    SetParamWindow(&window);
    for (const TPathCase &c : cases) {
        SCOPED_TRACE(c.executable + " | " + c.selected);
        // cppcheck-suppress unreadVariable ; ParamFilePath asks the installed window for it.
        window.executableFolder = c.executable;
        SelectedFileName = c.selected;
        std::string file;
        std::string folder;
        ParamFilePath(file, folder);
        EXPECT_EQ(file, c.file);
        EXPECT_EQ(folder, c.folder);
    }
    SelectedFileName.clear();
    SetParamWindow(nullptr);
}
