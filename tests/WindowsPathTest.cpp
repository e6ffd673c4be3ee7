// Paths as Windows writes them: backslashes, drive letters, drive-relative and UNC names, and a
// file system that does not tell letter case apart.
#include "ParamStore.h"
#include "TestSupport.h"

#include "WindowsApi.h"

#include <filesystem>

namespace {

using TWindowsPathTest = TParamStoreTest;

std::string Lowercase(std::string text)
{
    for (char &c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
    return text;
}

// Makes a folder the current one for as long as the object lives.
class TCurrentFolder {
public:
    explicit TCurrentFolder(const std::string &folder)
    {
        const DWORD length = ::GetCurrentDirectoryA(0, nullptr);
        previous_.resize(length);
        previous_.resize(::GetCurrentDirectoryA(length, previous_.data()));
        EXPECT_TRUE(::SetCurrentDirectoryA(folder.c_str())) << folder;
    }
    TCurrentFolder(const TCurrentFolder &) = delete;
    TCurrentFolder &operator=(const TCurrentFolder &) = delete;
    ~TCurrentFolder() { ::SetCurrentDirectoryA(previous_.c_str()); }

private:
    std::string previous_;
};

TEST(WindowsParamFilePath, SplitsDriveUncAndMixedPaths)
{
    ExpectParamFilePaths({
        {"C:\\NoSuchFolder\\Apl", "", "C:\\NoSuchFolder\\Apl\\VOBERA.INI", "C:\\NoSuchFolder\\Apl\\"},
        {"C:\\NoSuchFolder\\Apl\\", "", "C:\\NoSuchFolder\\Apl\\VOBERA.INI", "C:\\NoSuchFolder\\Apl\\"},
        {"C:/NoSuchFolder/Apl/", "", "C:/NoSuchFolder/Apl/VOBERA.INI", "C:/NoSuchFolder/Apl/"},
        {"C:\\", "", "C:\\VOBERA.INI", "C:\\"},
        {"C:\\x", "D:\\Data\\Cfg\\other.ini", "D:\\Data\\Cfg\\other.ini", "D:\\Data\\Cfg\\"},
        {"C:\\x", "D:\\top.ini", "D:\\top.ini", "D:\\"},
        {"C:\\x", "D:other.ini", "D:other.ini", "D:"},
        {"C:\\x", "\\top.ini", "\\top.ini", "\\"},
        {"C:\\x", "\\\\server\\share\\cfg\\other.ini", "\\\\server\\share\\cfg\\other.ini", "\\\\server\\share\\cfg\\"},
        {"C:\\x", "\\\\server\\share\\other.ini", "\\\\server\\share\\other.ini", "\\\\server\\share\\"},
        {"C:\\x", "cfg/sub\\other.ini", "cfg/sub\\other.ini", "cfg/sub\\"},
    });
}

TEST(WindowsBackupFilePath, LooksForTheExtensionInTheNameOnly)
{
    const struct {
        const char *file;
        const char *folder;
        const char *backup;
    } cases[] = {
        {"C:\\Apl\\Vobera.ini", "C:\\Apl\\", "C:\\Apl\\VOBERA.OLD"},
        {"C:\\Apl.d\\noext", "C:\\Apl.d\\", "C:\\Apl.d\\noext.OLD"},
        {"C:/Apl.d/noext", "C:/Apl.d/", "C:/Apl.d/noext.OLD"},
        {"D:other.ini", "D:", "D:other.OLD"},
        {"D:vobera.INI", "D:", "D:VOBERA.OLD"},
        {"\\\\srv\\share\\a.b.cfg", "\\\\srv\\share\\", "\\\\srv\\share\\a.b.OLD"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(BackupFilePath(c.file, c.folder), c.backup) << c.file;
}

TEST_F(TWindowsPathTest, LabelIsThePathAsGivenInLowercase)
{
    std::filesystem::create_directory(folder / "Apl");
    WriteFileBytes(PathOf("Apl\\VOBERA.INI"), SampleFile("DB", "Ana", "Geslo"));
    const TCurrentFolder current(folder.string());
    const std::string drive = folder.string().substr(0, 2);
    ASSERT_EQ(drive[1], ':') << folder;
    const struct {
        std::string path;
        std::string label;
    } cases[] = {
        {PathOf("Apl\\VOBERA.INI"), Lowercase(PathOf("Apl\\VOBERA.INI"))},
        {folder.generic_string() + "/Apl/VOBERA.INI", Lowercase(folder.generic_string()) + "/apl/vobera.ini"},
        {drive + "Apl\\VOBERA.INI", Lowercase(drive) + "apl\\vobera.ini"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        window.labels.clear();
        SelectedFileName = c.path;
        EXPECT_EQ(LoadedParams().user, "Ana");
        ASSERT_EQ(window.labels.size(), 1u);
        EXPECT_EQ(window.labels[0], c.label);
    }
}

TEST_F(TWindowsPathTest, DriveRelativeFileIsSavedAndBackedUpInTheDrivesCurrentFolder)
{
    const std::string old = SampleFile("old", "old", "old");
    WriteFileBytes(PathOf("Other.ini"), old);
    const TCurrentFolder current(folder.string());
    SelectedFileName = folder.string().substr(0, 2) + "Other.ini";
    EXPECT_EQ(LoadedParams().database, "old");
    SaveParams("d", "u", "p");
    EXPECT_EQ(window.OnlyMessage(), "DB parametri so zapisani v " + SelectedFileName);
    EXPECT_EQ(LoadedParams().database, "d");
    EXPECT_EQ(ReadFileBytes(PathOf("Other.OLD")), old);
    EXPECT_EQ(FolderEntries(folder), (std::vector<std::string>{"Other.OLD", "Other.ini"}));
}

TEST_F(TWindowsPathTest, FileSystemIgnoresLetterCaseAndTheSaveKeepsTheSpellingOnDisk)
{
    WriteFileBytes(PathOf("Vobera.Ini"), SampleFile("mixed", "", ""));
    std::string file;
    std::string found;
    ParamFilePath(file, found);
    EXPECT_EQ(file, PathOf("VOBERA.INI")) << "the file system finds the name as asked for";
    EXPECT_EQ(LoadedParams().database, "mixed");

    const std::string lower = SampleFile("lower", "", "");
    WriteFileBytes(PathOf("vobera.ini"), lower);
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"Vobera.Ini"}) << "one file, whatever the spelling";
    EXPECT_EQ(LoadedParams().database, "lower");

    SaveParams("d", "u", "p");
    EXPECT_EQ(window.OnlyMessage(), "DB parametri so zapisani v " + PathOf("VOBERA.INI"));
    EXPECT_EQ(FolderEntries(folder), (std::vector<std::string>{"VOBERA.OLD", "Vobera.Ini"}));
    EXPECT_EQ(ReadFileBytes(PathOf("VOBERA.OLD")), lower);
    EXPECT_EQ(LoadedParams().database, "d");
}

} // namespace
