#include "FileSystem.h"
#include "ParamStore.h"
#include "TestSupport.h"

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using TSafeSaveTest = TParamStoreTest;

std::string Saved(const std::string &path)
{
    return "DB parametri so zapisani v " + path;
}

TEST_F(TSafeSaveTest, ChosenFileGetsABackupOfItsOwnAndVoberaIniIsLeftAlone)
{
    WriteFileBytes(PathOf("vobera.ini"), "application's own\r\n");
    const std::string old = SampleFile("o", "o", "o");
    WriteFileBytes(PathOf("other.ini"), old);
    SelectedFileName = PathOf("other.ini");
    SaveParams("d", "u", "p");
    EXPECT_EQ(window.OnlyMessage(), Saved(PathOf("other.ini")));
    EXPECT_EQ(ReadFileBytes(PathOf("other.OLD")), old);
    EXPECT_EQ(ReadFileBytes(PathOf("vobera.ini")), "application's own\r\n");
    EXPECT_EQ(FolderEntries(folder), (std::vector<std::string>{"other.OLD", "other.ini", "vobera.ini"}));
}

TEST_F(TSafeSaveTest, BackupThatCannotBeMadeDoesNotStopTheSave)
{
    fs::create_directory(folder / "VOBERA.OLD");
    WriteFileBytes(PathOf("VOBERA.OLD/inside"), "untouched");
    WriteFileBytes(PathOf("VOBERA.INI"), "X=1\r\n");
    SaveParams("d", "u", "p");
    EXPECT_EQ(window.OnlyMessage(), Saved(PathOf("VOBERA.INI")));
    EXPECT_EQ(LoadedParams().database, "d");
    EXPECT_EQ(ReadFileBytes(PathOf("VOBERA.OLD/inside")), "untouched");
    EXPECT_EQ(FolderEntries(folder), (std::vector<std::string>{"VOBERA.INI", "VOBERA.OLD"}));
}

TEST_F(TSafeSaveTest, EveryLineIsCarriedOverHoweverMany)
{
    std::string content;
    for (int i = 0; i < 5000; ++i)
        content += "LINE" + std::to_string(i) + "\r\n";
    WriteFileBytes(PathOf("VOBERA.INI"), content);
    SaveParams("d", "u", "p");
    const std::string rewritten = ReadFileBytes(PathOf("VOBERA.INI"));
    EXPECT_EQ(rewritten.substr(0, content.size()), content);
    EXPECT_EQ(rewritten.compare(content.size(), 12, "[DATABASE]\r\n"), 0);
}

TEST_F(TSafeSaveTest, LongValuesAreRefusedBeforeAnyFileIsTouched)
{
    const std::string thirty(30, 'x');
    const std::string old = SampleFile("o", "o", "o");
    const struct {
        std::string database, user, password;
        const char *entry;
    } refused[] = {
        {thirty + "y", "u", "p", "DATABASENAME"},
        {"d", " " + thirty + "y ", "p", "USERNAME"},
        {"d", "u", thirty + "yy", "PASSWORD"},
        {thirty + "1", thirty + "2", "p", "DATABASENAME"},
    };
    for (const auto &c : refused) {
        SCOPED_TRACE(c.entry);
        WriteFileBytes(PathOf("VOBERA.INI"), old);
        window.messages.clear();
        SaveParams(c.database, c.user, c.password);
        EXPECT_EQ(window.OnlyMessage(), std::string("Vrednost je dalj\x9a"
                                                    "a od 30 znakov: ") +
                                            c.entry);
        EXPECT_EQ(ReadFileBytes(PathOf("VOBERA.INI")), old);
        EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"VOBERA.INI"});
        EXPECT_EQ(window.processCalls, 0);
    }
    window.messages.clear();
    SaveParams("  " + thirty + "  ", thirty, thirty);
    EXPECT_EQ(window.OnlyMessage(), Saved(PathOf("VOBERA.INI")));
    EXPECT_EQ(LoadedParams().database, thirty);
}

TEST_F(TSafeSaveTest, FileThatVanishesBeforeItIsOpenedIsReported)
{
    WriteFileBytes(PathOf("VOBERA.INI"), "X=1\r\n");
    ParamFs::SetFaultHook([&](ParamFs::Op op) {
        if (op == ParamFs::Op::Open)
            fs::remove(folder / "VOBERA.INI");
        return false;
    });
    SaveParams("d", "u", "p");
    EXPECT_EQ(window.OnlyMessage(), "Napaka pri odpiranju datoteke: " + PathOf("VOBERA.INI"));
    EXPECT_TRUE(FolderEntries(folder).empty());
}

TEST_F(TSafeSaveTest, StrayTemporaryFilesOfDeadSavesAreRemoved)
{
    WriteFileBytes(PathOf("VOBERA.INI"), "X=1\r\n");
    // A process id above the largest the system hands out belongs to no process.
    const std::string dead = ".VOBERA.INI.2147483646-1.dbp-tmp";
    const TOtherLiveProcess other;
    ASSERT_NE(other.id(), 0u);
    const std::string live = ".VOBERA.INI." + std::to_string(other.id()) + "-1.dbp-tmp";
    const std::string unrelated = ".VOBERA.INI.notes";
    for (const std::string &name : {dead, live, unrelated})
        WriteFileBytes(PathOf(name), "half a file");
    SaveParams("d", "u", "p");
    EXPECT_EQ(window.OnlyMessage(), Saved(PathOf("VOBERA.INI")));
    EXPECT_EQ(FolderEntries(folder), (std::vector<std::string>{live, unrelated, "VOBERA.INI", "VOBERA.OLD"}));
}

TEST_F(TSafeSaveTest, HugeLineAndBinaryGarbageAreCarriedOver)
{
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage.push_back(static_cast<char>((i * 7919) % 256 == 10 || (i * 7919) % 256 == 26 ? 0 : (i * 7919) % 256));
    const std::string huge(std::size_t{100} * 1024 * 1024, 'h');
    WriteFileBytes(PathOf("VOBERA.INI"), garbage + "\r\n" + huge);
    SaveParams("d", "u", "p");
    EXPECT_EQ(window.OnlyMessage(), Saved(PathOf("VOBERA.INI")));
    const std::string rewritten = ReadFileBytes(PathOf("VOBERA.INI"));
    ASSERT_GT(rewritten.size(), garbage.size() + huge.size());
    EXPECT_EQ(rewritten.compare(0, garbage.size() + 2, garbage + "\r\n"), 0);
    EXPECT_EQ(rewritten.compare(garbage.size() + 2, huge.size() + 2, huge + "\r\n"), 0);
}

} // namespace
