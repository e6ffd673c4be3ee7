// What a save does with what Windows keeps beside a file's content: its attributes, other
// programs that hold it open, and line ends that text-mode writing would change.
#include "ParamStore.h"
#include "TestSupport.h"

#include "WindowsApi.h"

#include <filesystem>

namespace {

using TWindowsFileTest = TParamStoreTest;

constexpr DWORD Watched =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

DWORD AttributesOf(const std::string &path)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES) << path;
    return attributes & Watched;
}

// The number by which the volume knows the file at path, the same for all of its names.
ULONGLONG FileIdOf(const std::string &path)
{
    const HANDLE file = ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = file != INVALID_HANDLE_VALUE && ::GetFileInformationByHandle(file, &info);
    if (file != INVALID_HANDLE_VALUE)
        ::CloseHandle(file);
    EXPECT_TRUE(known) << path;
    return (ULONGLONG{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
}

// Empties folder, also of files that are read-only, hidden or system.
void Empty(const std::filesystem::path &folder)
{
    for (const std::string &name : FolderEntries(folder)) {
        const std::string path = (folder / name).string();
        ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        std::filesystem::remove(path);
    }
}

TEST_F(TWindowsFileTest, ReadOnlyFileIsRefusedAndLeftAlone)
{
    const std::string old = SampleFile("o", "o", "o");
    WriteFileBytes(PathOf("VOBERA.INI"), old);
    ASSERT_TRUE(::SetFileAttributesA(PathOf("VOBERA.INI").c_str(), FILE_ATTRIBUTE_READONLY));
    SaveParams("d", "u", "p");
    EXPECT_EQ(window.OnlyMessage(), "Ne morem odpreti datoteke " + PathOf("VOBERA.INI"));
    EXPECT_EQ(ReadFileBytes(PathOf("VOBERA.INI")), old);
    EXPECT_NE(AttributesOf(PathOf("VOBERA.INI")) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"VOBERA.INI"}) << "a refused save makes no backup";
}

TEST_F(TWindowsFileTest, SaveKeepsHiddenAndSystemAndMarksTheFileForBackup)
{
    const struct {
        const char *name;
        DWORD before;
        DWORD after;
    } cases[] = {
        {"hidden", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE},
        {"system", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE, FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE},
        {"hidden system", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM,
         FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE},
        {"backed up since it last changed", FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_ARCHIVE},
    };
    const std::string old = SampleFile("o", "o", "o");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Empty(folder);
        window.messages.clear();
        WriteFileBytes(PathOf("VOBERA.INI"), old);
        ASSERT_TRUE(::SetFileAttributesA(PathOf("VOBERA.INI").c_str(), c.before));
        const DWORD oldAttributes = AttributesOf(PathOf("VOBERA.INI"));
        const ULONGLONG oldId = FileIdOf(PathOf("VOBERA.INI"));
        SaveParams("d", "u", "p");
        EXPECT_EQ(window.OnlyMessage(), "DB parametri so zapisani v " + PathOf("VOBERA.INI"));
        EXPECT_EQ(LoadedParams().database, "d");
        EXPECT_EQ(AttributesOf(PathOf("VOBERA.INI")), c.after);
        EXPECT_EQ(ReadFileBytes(PathOf("VOBERA.OLD")), old);
        EXPECT_EQ(FileIdOf(PathOf("VOBERA.OLD")), oldId) << "the backup is the old file itself";
        EXPECT_EQ(AttributesOf(PathOf("VOBERA.OLD")), oldAttributes);
        EXPECT_EQ(FolderEntries(folder), (std::vector<std::string>{"VOBERA.INI", "VOBERA.OLD"}));
    }
}

TEST_F(TWindowsFileTest, FileHeldOpenByAnotherProgramIsLeftWhole)
{
    const struct {
        const char *name;
        DWORD share;
        bool readable;
        const char *message;
    } cases[] = {
        {"shared with no one", 0, false, "Napaka pri odpiranju datoteke: "},
        {"shared with readers", FILE_SHARE_READ, true, "Ne morem odpreti datoteke "},
        {"shared with readers and writers", FILE_SHARE_READ | FILE_SHARE_WRITE, true, "Ne morem odpreti datoteke "},
    };
    const std::string old = SampleFile("o", "o", "o");
    const std::string olderBackup = "older backup\r\n";
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Empty(folder);
        window.messages.clear();
        window.labels.clear();
        WriteFileBytes(PathOf("VOBERA.INI"), old);
        WriteFileBytes(PathOf("VOBERA.OLD"), olderBackup);
        const HANDLE held = ::CreateFileA(PathOf("VOBERA.INI").c_str(), GENERIC_READ | GENERIC_WRITE, c.share, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);

        LogonParams loaded{"x", "y", "z"};
        LoadParams(loaded.database, loaded.user, loaded.password);
        EXPECT_EQ(loaded.database, c.readable ? "o" : "x");
        EXPECT_EQ(window.labels.size(), 1u) << "the file is there, readable or not";
        SaveParams("d", "u", "p");
        ::CloseHandle(held);

        EXPECT_EQ(window.OnlyMessage(), c.message + PathOf("VOBERA.INI"));
        EXPECT_EQ(ReadFileBytes(PathOf("VOBERA.INI")), old);
        EXPECT_EQ(ReadFileBytes(PathOf("VOBERA.OLD")), olderBackup) << "a refused save keeps the older backup";
        EXPECT_EQ(FolderEntries(folder), (std::vector<std::string>{"VOBERA.INI", "VOBERA.OLD"}));
    }
}

TEST_F(TWindowsFileTest, EveryLineEndsInExactlyOneCrLf)
{
    // Mixed line ends in, CR LF only out; writing in text mode would make each CR LF a CR CR LF.
    WriteFileBytes(PathOf("VOBERA.INI"), "; kept\nA=1\r\n[GENERAL]\nB=2");
    SaveParams("ORCL", "scott", "tiger");
    const std::string content = ReadFileBytes(PathOf("VOBERA.INI"));
    const std::string start = "; kept\r\nA=1\r\n[GENERAL]\r\nB=2\r\n[DATABASE]\r\nDATABASENAME=";
    ASSERT_EQ(content.compare(0, start.size(), start), 0) << content;
    std::size_t lineEnds = 0;
    for (std::size_t i = 0; i < content.size(); ++i) {
        if (content[i] == '\r') {
            EXPECT_TRUE(i + 1 < content.size() && content[i + 1] == '\n') << "CR alone at " << i;
        } else if (content[i] == '\n') {
            EXPECT_TRUE(i > 0 && content[i - 1] == '\r') << "LF alone at " << i;
            ++lineEnds;
        }
    }
    EXPECT_EQ(lineEnds, 8u);
    EXPECT_EQ(content.back(), '\n');
    EXPECT_EQ(LoadedParams().password, "tiger");
}

} // namespace
