#include "FileSystem.h"
#include "ParamStore.h"
#include "TestSupport.h"

#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using TSafeSaveTest = TParamStoreTest;

struct stat StatOf(const std::string &path)
{
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info;
}

mode_t ModeOf(const std::string &path)
{
    return StatOf(path).st_mode & 07777;
}

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

TEST_F(TSafeSaveTest, AnySpellingOfVoberaIniIsBackedUpAsVoberaOld)
{
    WriteFileBytes(PathOf("Vobera.Ini"), "X=1\r\n");
    SaveParams("d", "u", "p");
    EXPECT_EQ(window.OnlyMessage(), Saved(PathOf("Vobera.Ini")));
    EXPECT_EQ(ReadFileBytes(PathOf("VOBERA.OLD")), "X=1\r\n");
    EXPECT_EQ(FolderEntries(folder), (std::vector<std::string>{"VOBERA.OLD", "Vobera.Ini"}));
}

TEST_F(TSafeSaveTest, BackupKeepsTheOldFileAndItsMode)
{
    WriteFileBytes(PathOf("VOBERA.INI"), "X=1\r\n");
    ::chmod(PathOf("VOBERA.INI").c_str(), 0640);
    SaveParams("d", "u", "p");
    EXPECT_EQ(ReadFileBytes(PathOf("VOBERA.OLD")), "X=1\r\n");
    EXPECT_EQ(ModeOf(PathOf("VOBERA.OLD")), 0640u);
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

TEST_F(TSafeSaveTest, BackupLinkIsReplacedNotFollowed)
{
    WriteFileBytes(PathOf("precious"), "keep me");
    fs::create_symlink(folder / "precious", folder / "VOBERA.OLD");
    WriteFileBytes(PathOf("VOBERA.INI"), "X=1\r\n");
    SaveParams("d", "u", "p");
    EXPECT_EQ(ReadFileBytes(PathOf("precious")), "keep me");
    EXPECT_FALSE(fs::is_symlink(folder / "VOBERA.OLD"));
    EXPECT_EQ(ReadFileBytes(PathOf("VOBERA.OLD")), "X=1\r\n");
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

TEST_F(TSafeSaveTest, KeepsTheModeAndNeverWidensIt)
{
    for (const mode_t mode : {0600u, 0640u, 0755u, 0644u}) {
        SCOPED_TRACE(mode);
        WriteFileBytes(PathOf("VOBERA.INI"), "X=1\r\n");
        ::chmod(PathOf("VOBERA.INI").c_str(), mode);
        // Look at the new file while it is being written.
        std::vector<mode_t> seen;
        ParamFs::SetFaultHook([&](ParamFs::Op op) {
            if (op == ParamFs::Op::Write)
                for (const std::string &name : FolderEntries(folder))
                    if (name.find(".dbp-tmp") != std::string::npos)
                        seen.push_back(ModeOf(PathOf(name)));
            return false;
        });
        SaveParams("d", "u", "p");
        ParamFs::SetFaultHook({});
        EXPECT_EQ(ModeOf(PathOf("VOBERA.INI")), mode);
        ASSERT_FALSE(seen.empty());
        for (const mode_t during : seen)
            EXPECT_EQ(during & ~mode, 0u) << std::oct << during;
    }
}

TEST_F(TSafeSaveTest, KeepsOwnerAndGroupWherePermitted)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a file to another owner";
    WriteFileBytes(PathOf("VOBERA.INI"), "X=1\r\n");
    ASSERT_EQ(::chown(PathOf("VOBERA.INI").c_str(), 65534, 65534), 0);
    ::chmod(PathOf("VOBERA.INI").c_str(), 0640);
    SaveParams("d", "u", "p");
    const struct stat info = StatOf(PathOf("VOBERA.INI"));
    EXPECT_EQ(info.st_uid, 65534u);
    EXPECT_EQ(info.st_gid, 65534u);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST_F(TSafeSaveTest, ReadOnlyFileIsNotOverwritten)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write any file";
    WriteFileBytes(PathOf("VOBERA.INI"), "X=1\r\n");
    ::chmod(PathOf("VOBERA.INI").c_str(), 0444);
    SaveParams("d", "u", "p");
    EXPECT_EQ(window.OnlyMessage(), "Ne morem odpreti datoteke " + PathOf("VOBERA.INI"));
    EXPECT_EQ(ReadFileBytes(PathOf("VOBERA.INI")), "X=1\r\n");
}

TEST_F(TSafeSaveTest, SymbolicLinkStaysALinkAndItsTargetIsRewritten)
{
    fs::create_directory(folder / "real");
    WriteFileBytes(PathOf("real/target.ini"), "X=1\r\n");
    fs::create_symlink("real/target.ini", folder / "VOBERA.INI");
    fs::create_symlink("VOBERA.INI", folder / "chain.ini");
    std::vector<std::string> tempsIn;
    ParamFs::SetFaultHook([&](ParamFs::Op op) {
        if (op == ParamFs::Op::Write)
            for (const std::string &name : FolderEntries(folder / "real"))
                tempsIn.push_back(name);
        return false;
    });
    SelectedFileName = PathOf("chain.ini");
    SaveParams("d", "u", "p");
    EXPECT_EQ(window.OnlyMessage(), Saved(PathOf("chain.ini")));
    EXPECT_TRUE(fs::is_symlink(folder / "VOBERA.INI"));
    EXPECT_TRUE(fs::is_symlink(folder / "chain.ini"));
    EXPECT_EQ(LoadedParams().database, "d");
    EXPECT_EQ(ReadFileBytes(PathOf("chain.OLD")), "X=1\r\n");
    EXPECT_EQ(FolderEntries(folder / "real"), std::vector<std::string>{"target.ini"});
    EXPECT_NE(std::find_if(tempsIn.begin(), tempsIn.end(),
                           [](const std::string &n) { return n.find(".dbp-tmp") != std::string::npos; }),
              tempsIn.end())
        << "the new file is written beside the target";
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
        EXPECT_EQ(window.OnlyMessage(), std::string("Vrednost je dalj\x9a" "a od 30 znakov: ") + c.entry);
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
    // A process id above the largest the kernel hands out belongs to no process.
    const std::string dead = ".VOBERA.INI.2147483646-1.dbp-tmp";
    const std::string live = ".VOBERA.INI." + std::to_string(::getppid()) + "-1.dbp-tmp";
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
    const std::string huge(100 * 1024 * 1024, 'h');
    WriteFileBytes(PathOf("VOBERA.INI"), garbage + "\r\n" + huge);
    SaveParams("d", "u", "p");
    EXPECT_EQ(window.OnlyMessage(), Saved(PathOf("VOBERA.INI")));
    const std::string rewritten = ReadFileBytes(PathOf("VOBERA.INI"));
    ASSERT_GT(rewritten.size(), garbage.size() + huge.size());
    EXPECT_EQ(rewritten.compare(0, garbage.size() + 2, garbage + "\r\n"), 0);
    EXPECT_EQ(rewritten.compare(garbage.size() + 2, huge.size() + 2, huge + "\r\n"), 0);
}

} // namespace
