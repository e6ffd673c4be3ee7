// What the store does with the things POSIX file systems have and Windows ones lack or treat
// otherwise: modes, owners, symbolic links and names that differ only in letter case.
#include "FileSystem.h"
#include "ParamStore.h"
#include "TestSupport.h"

#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using TSafeSaveTest = TParamStoreTest;
using TLoadParamsTest = TParamStoreTest;
using TSaveParamsTest = TParamStoreTest;

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

// Loads over the values a, b and c and gives what is left of them, one a line.
std::string LoadOverABC()
{
    LogonParams params{"a", "b", "c"};
    LoadParams(params.database, params.user, params.password);
    return params.database + "\n" + params.user + "\n" + params.password + "\n";
}

constexpr const char *KeptABC = "a\nb\nc\n";

TEST_F(TLoadParamsTest, DanglingLinkCountsAsMissing)
{
    std::filesystem::create_symlink(folder / "gone.ini", folder / "link.ini");
    SelectedFileName = PathOf("link.ini");
    EXPECT_EQ(LoadOverABC(), KeptABC);
    EXPECT_TRUE(window.labels.empty());
}

// Only where letter case tells names apart can several spellings stand side by side.
TEST_F(TLoadParamsTest, ExactSpellingWinsThenTheFirstInByteOrder)
{
    WriteFileBytes(PathOf("Vobera.Ini"), SampleFile("mixed", "", ""));
    WriteFileBytes(PathOf("vobera.ini"), SampleFile("lower", "", ""));
    EXPECT_EQ(LoadedParams().database, "mixed") << "the first spelling in byte order is taken";

    WriteFileBytes(PathOf("VOBERA.INI"), SampleFile("exact", "", ""));
    EXPECT_EQ(LoadedParams().database, "exact");
}

TEST_F(TLoadParamsTest, UnreadableFileSetsTheLabelOnly)
{
    WriteFileBytes(PathOf("VOBERA.INI"), SampleFile("ORCL", "scott", "tiger"));
    std::filesystem::permissions(folder / "VOBERA.INI", std::filesystem::perms::none);
    const TOrdinaryRun run = RunAsOrdinaryUser(folder, window, LoadOverABC);
    if (!run.skipReason.empty())
        GTEST_SKIP() << run.skipReason;
    EXPECT_EQ(run.output, KeptABC);
    EXPECT_EQ(window.labels.size(), 1u);
}

TEST_F(TSaveParamsTest, UnreadableFileIsReportedAndLeftAlone)
{
    WriteFileBytes(PathOf("VOBERA.INI"), "secret\r\n");
    std::filesystem::permissions(folder / "VOBERA.INI", std::filesystem::perms::owner_write);
    const TOrdinaryRun run = RunAsOrdinaryUser(folder, window, [] {
        SaveParams("a", "b", "c");
        return std::string();
    });
    if (!run.skipReason.empty())
        GTEST_SKIP() << run.skipReason;
    EXPECT_EQ(window.OnlyMessage(), "Napaka pri odpiranju datoteke: " + PathOf("VOBERA.INI"));
    std::filesystem::permissions(folder / "VOBERA.INI", std::filesystem::perms::owner_all);
    EXPECT_EQ(ReadFileBytes(PathOf("VOBERA.INI")), "secret\r\n");
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"VOBERA.INI"});
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
    WriteFileBytes(PathOf("VOBERA.INI"), "X=1\r\n");
    ::chmod(PathOf("VOBERA.INI").c_str(), 0444);
    const TOrdinaryRun run = RunAsOrdinaryUser(folder, window, [] {
        SaveParams("d", "u", "p");
        return std::string();
    });
    if (!run.skipReason.empty())
        GTEST_SKIP() << run.skipReason;
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

} // namespace
