#include "TestSupport.h"

#include "FileSystem.h"
#include "ParamStore.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

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
    std::string pattern = (std::filesystem::temp_directory_path() / "dbp-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder = pattern;
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
