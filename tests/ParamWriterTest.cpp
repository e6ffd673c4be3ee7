#include "ParamStore.h"
#include "TestSupport.h"

#include <filesystem>
#include <sstream>

namespace {

using TSaveParamsTest = TParamStoreTest;

// The lines of content, split at CR LF; fails on a line end of any other kind.
std::vector<std::string> CrLfLines(const std::string &content)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        const std::size_t end = content.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "content does not end with CR LF";
            break;
        }
        lines.push_back(content.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// Checks that lines end with the fresh section holding the three values.
void ExpectNewSection(const std::vector<std::string> &lines, const LogonParams &values)
{
    ASSERT_GE(lines.size(), 4u);
    const auto tail = lines.end() - 4;
    EXPECT_EQ(tail[0], "[DATABASE]");
    const struct {
        const char *key;
        const std::string &value;
    } entries[] = {{"DATABASENAME=", values.database}, {"USERNAME=", values.user}, {"PASSWORD=", values.password}};
    for (std::size_t i = 0; i < 3; ++i) {
        const std::string &line = tail[static_cast<std::ptrdiff_t>(i) + 1];
        ASSERT_EQ(line.rfind(entries[i].key, 0), 0u) << line;
        const std::string stored = line.substr(std::string(entries[i].key).size());
        EXPECT_EQ(stored.size(), 2 * (20 + entries[i].value.size()));
        EXPECT_EQ(DecodeValue(stored, ScrambleKey), entries[i].value);
    }
}

TEST_F(TSaveParamsTest, RewritesTheFileAndReportsIt)
{
    const std::string old = SampleFile("old", "olduser", "oldpw");
    WriteFileBytes(PathOf("VOBERA.INI"), old);
    SaveParams("ORCL", "scott", "tiger");

    EXPECT_EQ(window.OnlyMessage(), "DB parametri so zapisani v " + PathOf("VOBERA.INI"));
    const std::vector<std::string> lines = CrLfLines(ReadFileBytes(PathOf("VOBERA.INI")));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "[GENERAL]");
    EXPECT_EQ(lines[1], "TITLE=Vobera");
    ExpectNewSection(lines, {"ORCL", "scott", "tiger"});
    EXPECT_EQ(ReadFileBytes(PathOf("VOBERA.OLD")), old);
    EXPECT_EQ(window.processCalls, 1);
    EXPECT_EQ(FolderEntries(folder), (std::vector<std::string>{"VOBERA.INI", "VOBERA.OLD"}));
}

TEST_F(TSaveParamsTest, MissingFileIsNeverCreated)
{
    SaveParams("a", "b", "c");
    EXPECT_EQ(window.OnlyMessage(), "Ni datoteke " + PathOf("VOBERA.INI"));
    EXPECT_TRUE(FolderEntries(folder).empty());
    EXPECT_EQ(window.processCalls, 0);
}

TEST_F(TSaveParamsTest, FolderInThePlaceOfTheFileIsNoFile)
{
    std::filesystem::create_directory(folder / "VOBERA.INI");
    SaveParams("a", "b", "c");
    EXPECT_EQ(window.OnlyMessage(), "Ni datoteke " + PathOf("VOBERA.INI"));
    EXPECT_TRUE(std::filesystem::is_empty(folder / "VOBERA.INI"));
}

TEST_F(TSaveParamsTest, SectionInTheMiddleMovesToTheEnd)
{
    WriteFileBytes(PathOf("VOBERA.INI"), ReadFileBytes(FixturePath("middle_section.ini")));
    SaveParams("ORCL", "scott", "tiger");
    const std::vector<std::string> lines = CrLfLines(ReadFileBytes(PathOf("VOBERA.INI")));
    const std::vector<std::string> kept(lines.begin(), lines.end() - 4);
    EXPECT_EQ(kept, (std::vector<std::string>{"; Vobera settings", "[GENERAL]", "TITLE=Vobera", "TIMEOUT=30",
                                              "[PRINTER]", "PORT=LPT1", "; end"}));
    ExpectNewSection(lines, {"ORCL", "scott", "tiger"});
}

TEST_F(TSaveParamsTest, DropsExactlyTheLinesTheReaderTakes)
{
    const std::string content = "[database]\n"
                                "[DATABASE] old\r\n"
                                "[DATA\r\n"
                                "DATABASENAME=1\r\n"
                                "databasename2=1\r\n"
                                "USERNAMES=x\r\n"
                                "PASSWORD_OLD=x\r\n"
                                "password\r\n"
                                " USERNAME=kept\r\n"
                                "\tPASSWORD=kept\r\n"
                                "USERNAM=kept\r\n"
                                "DATABASE=kept\r\n";
    WriteFileBytes(PathOf("VOBERA.INI"), content);
    SaveParams("d", "u", "p");
    const std::vector<std::string> lines = CrLfLines(ReadFileBytes(PathOf("VOBERA.INI")));
    const std::vector<std::string> kept(lines.begin(), lines.end() - 4);
    EXPECT_EQ(kept, (std::vector<std::string>{"[DATA", " USERNAME=kept", "\tPASSWORD=kept", "USERNAM=kept",
                                              "DATABASE=kept"}));
    // No carried-over line is read as an entry.
    const LogonParams loaded = LoadedParams();
    EXPECT_EQ(loaded.database, "d");
    EXPECT_EQ(loaded.user, "u");
    EXPECT_EQ(loaded.password, "p");
}

TEST_F(TSaveParamsTest, TrimsTheValues)
{
    WriteFileBytes(PathOf("VOBERA.INI"), SampleFile("", "", ""));
    SaveParams("  ORCL\t", "\x01scott ", " a b ");
    const LogonParams loaded = LoadedParams();
    EXPECT_EQ(loaded.database, "ORCL");
    EXPECT_EQ(loaded.user, "scott");
    EXPECT_EQ(loaded.password, "a b");
}

TEST_F(TSaveParamsTest, TwoSavesDifferButReadTheSame)
{
    WriteFileBytes(PathOf("VOBERA.INI"), SampleFile("", "", ""));
    SaveParams("ORCL", "scott", "tiger");
    const std::string first = ReadFileBytes(PathOf("VOBERA.INI"));
    SaveParams("ORCL", "scott", "tiger");
    const std::string second = ReadFileBytes(PathOf("VOBERA.INI"));
    EXPECT_NE(first, second);
    EXPECT_EQ(ReadFileBytes(PathOf("VOBERA.OLD")), first);
    const LogonParams loaded = LoadedParams();
    EXPECT_EQ(loaded.user, "scott");
    EXPECT_EQ(loaded.password, "tiger");
}

TEST_F(TSaveParamsTest, FileWithoutSectionGainsOneAtItsEnd)
{
    const struct {
        const char *name;
        std::string content;
        std::vector<std::string> kept;
    } cases[] = {
        {"empty file", "", {}},
        {"LF line ends become CR LF", "A=1\nB=2\n", {"A=1", "B=2"}},
        {"last line without line end", "A=1\r\nB=2", {"A=1", "B=2"}},
        {"empty lines are kept", "\r\n\r\nA\r\n", {"", "", "A"}},
        {"CR alone stays inside its line", "A\rB\r\n", {"A\rB"}},
        {"CR CR LF keeps one CR", "A\r\r\n", {"A\r"}},
        {"NUL and high bytes", std::string("A\0\xE8\x9A\r\n", 6), {std::string("A\0\xE8\x9A", 4)}},
        {"Ctrl-Z ends what is carried over",
         "A\r\nB\x1A"
         "C\r\nD\r\n",
         {"A", "B"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(PathOf("VOBERA.INI"), c.content);
        window.messages.clear();
        SaveParams("d", "u", "p");
        EXPECT_EQ(window.OnlyMessage(), "DB parametri so zapisani v " + PathOf("VOBERA.INI"));
        const std::vector<std::string> lines = CrLfLines(ReadFileBytes(PathOf("VOBERA.INI")));
        ASSERT_EQ(lines.size(), c.kept.size() + 4);
        EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.end() - 4), c.kept);
        ExpectNewSection(lines, {"d", "u", "p"});
        EXPECT_EQ(ReadFileBytes(PathOf("VOBERA.OLD")), c.content) << "the backup holds the old file whole";
    }
}

TEST_F(TSaveParamsTest, ExistingBackupIsReplaced)
{
    WriteFileBytes(PathOf("VOBERA.OLD"), "older\r\n");
    const std::string old = SampleFile("o", "o", "o");
    WriteFileBytes(PathOf("VOBERA.INI"), old);
    SaveParams("n", "n", "n");
    EXPECT_EQ(ReadFileBytes(PathOf("VOBERA.OLD")), old);
}

TEST_F(TSaveParamsTest, SaveDoesNotChangeWhatWasLoaded)
{
    WriteFileBytes(PathOf("VOBERA.INI"), SampleFile("d", "u", "p"));
    LogonParams loaded = LoadedParams();
    SaveParams("x", "y", "z");
    EXPECT_EQ(loaded.database, "d");
    EXPECT_EQ(LoadedParams().database, "x");
}

TEST_F(TSaveParamsTest, KeptLinesHoldsNothingAfterASave)
{
    WriteFileBytes(PathOf("VOBERA.INI"), "A\r\nB\r\n");
    KeptLines = {"stale"};
    SaveParams("d", "u", "p");
    EXPECT_TRUE(KeptLines.empty());
    EXPECT_EQ(CrLfLines(ReadFileBytes(PathOf("VOBERA.INI")))[0], "A");
}

TEST_F(TSaveParamsTest, WorksWithoutAWindow)
{
    SetParamWindow(nullptr);
    const std::string chosen = PathOf("VOBERA.INI");
    WriteFileBytes(chosen, "A\r\n");
    SelectedFileName = chosen;
    SaveParams("d", "u", "p");
    SetParamWindow(&window);
    EXPECT_EQ(LoadedParams().database, "d");
    EXPECT_TRUE(window.messages.empty());
}

} // namespace
