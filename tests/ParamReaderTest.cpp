#include "ParamStore.h"
#include "TestSupport.h"

#include <filesystem>

namespace {

std::string Lowercase(std::string text)
{
    for (char &c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
    return text;
}

using TLoadParamsTest = TParamStoreTest;

// A stored-form line for key, the value starting at column.
std::string Entry(const std::string &key, const std::string &value)
{
    return key + "=" + EncodeValue(value, ScrambleKey);
}

LogonParams Load(LogonParams params = {})
{
    LoadParams(params.database, params.user, params.password);
    return params;
}

void ExpectParams(const LogonParams &actual, const LogonParams &expected)
{
    EXPECT_EQ(actual.database, expected.database);
    EXPECT_EQ(actual.user, expected.user);
    EXPECT_EQ(actual.password, expected.password);
}

TEST_F(TLoadParamsTest, ReadsTheDefaultFileBesideTheExecutable)
{
    WriteFileBytes(PathOf("VOBERA.INI"), SampleFile("ORCL", "scott", "tiger"));
    ExpectParams(Load(), {"ORCL", "scott", "tiger"});
    ASSERT_EQ(window.labels.size(), 1u);
    EXPECT_EQ(window.labels[0], Lowercase(PathOf("VOBERA.INI")));
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(TLoadParamsTest, MissingFileChangesNothing)
{
    ExpectParams(Load({"a", "b", "c"}), {"a", "b", "c"});
    EXPECT_TRUE(window.labels.empty());
    SelectedFileName = PathOf("nothing.ini");
    ExpectParams(Load({"a", "b", "c"}), {"a", "b", "c"});
    EXPECT_TRUE(window.labels.empty());
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(TLoadParamsTest, FolderCountsAsMissing)
{
    std::filesystem::create_directory(folder / "VOBERA.INI");
    ExpectParams(Load({"a", "b", "c"}), {"a", "b", "c"});
    EXPECT_TRUE(window.labels.empty());
}

TEST_F(TLoadParamsTest, ChosenFileAndItsLowercasedLabel)
{
    std::filesystem::create_directory(folder / "Apl");
    const std::string chosen = (folder / "Apl" / "Other.INI").string();
    WriteFileBytes(chosen, SampleFile("DB", "Ana", "Geslo"));
    WriteFileBytes(PathOf("VOBERA.INI"), SampleFile("no", "no", "no"));
    SelectedFileName = chosen;
    ExpectParams(Load(), {"DB", "Ana", "Geslo"});
    ASSERT_EQ(window.labels.size(), 1u);
    EXPECT_EQ(window.labels[0], Lowercase(chosen));
    const std::string tail = std::string(1, NativeSeparator) + "apl" + NativeSeparator + "other.ini";
    EXPECT_NE(window.labels[0].find(tail), std::string::npos);
}

TEST_F(TLoadParamsTest, FileWithoutKeysEmptiesAllThree)
{
    WriteFileBytes(PathOf("VOBERA.INI"), "[GENERAL]\r\nX=1\r\n");
    ExpectParams(Load({"a", "b", "c"}), {"", "", ""});
}

TEST_F(TLoadParamsTest, MatchesLinesTheWayTheRulesSay)
{
    const struct {
        const char *name;
        std::string content;
        LogonParams expected;
    } cases[] = {
        {"lowercase keys",
         "databasename=" + EncodeValue("d", ScrambleKey) + "\nusername=" + EncodeValue("u", ScrambleKey) +
             "\npassword=" + EncodeValue("p", ScrambleKey),
         {"d", "u", "p"}},
        {"key after a blank is no key", " USERNAME=" + EncodeValue("u", ScrambleKey) + "\n", {"", "", ""}},
        {"no section needed, last one wins",
         "[OTHER]\r\n" + Entry("USERNAME", "first") + "\r\n[MORE]\r\n" + Entry("USERNAME", "second") + "\r\n",
         {"", "second", ""}},
        {"column 9 is skipped whatever it is", "USERNAMEX" + EncodeValue("u", ScrambleKey), {"", "u", ""}},
        {"longer keys match too",
         "USERNAMES" + EncodeValue("u", ScrambleKey) + "\nPASSWORD_" + EncodeValue("p", ScrambleKey),
         {"", "u", "p"}},
        {"blank around value is trimmed", "PASSWORD= \t" + EncodeValue("p", ScrambleKey) + " \r\n", {"", "", "p"}},
        {"key alone", "DATABASENAME\r\nUSERNAME=\r\n", {"", "", ""}},
        {"LF, CR LF and no last line end",
         Entry("DATABASENAME", "d") + "\n" + Entry("USERNAME", "u") + "\r\n" + Entry("PASSWORD", "p"),
         {"d", "u", "p"}},
        {"Ctrl-Z ends the file", Entry("USERNAME", "u") + "\r\n\x1A" + Entry("PASSWORD", "p") + "\r\n", {"", "u", ""}},
        {"CR alone does not end a line", "X=1\r" + Entry("USERNAME", "u") + "\r\n", {"", "", ""}},
        {"NUL bytes are characters", std::string("A\0B\r\n", 5) + Entry("USERNAME", "u"), {"", "u", ""}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(PathOf("VOBERA.INI"), c.content);
        ExpectParams(Load({"x", "y", "z"}), c.expected);
    }
}

TEST_F(TLoadParamsTest, BlankBeforeEqualsShiftsTheValue)
{
    // The value is taken by column: "DATABASENAME =X" yields the text "=X".
    const std::string stored = "=" + EncodeValue("v", ScrambleKey);
    WriteFileBytes(PathOf("VOBERA.INI"), "DATABASENAME " + stored + "\r\n");
    EXPECT_EQ(Load().database, DecodeValue(stored.substr(0, 100), ScrambleKey));
}

TEST_F(TLoadParamsTest, LongValuesComeBackCutToThirty)
{
    const std::string value(45, 'k');
    WriteFileBytes(PathOf("VOBERA.INI"), Entry("PASSWORD", value) + "\r\n" + Entry("USERNAME", value.substr(0, 30)));
    const LogonParams loaded = Load();
    EXPECT_EQ(loaded.password, value.substr(0, 30));
    EXPECT_EQ(loaded.user, value.substr(0, 30));
}

TEST_F(TLoadParamsTest, DefaultFileIsFoundInAnyLetterCase)
{
    WriteFileBytes(PathOf("Vobera.Ini"), SampleFile("mixed", "", ""));
    EXPECT_EQ(Load().database, "mixed");
    EXPECT_EQ(window.labels.back(), Lowercase(PathOf("Vobera.Ini")));
}

TEST_F(TLoadParamsTest, TemporaryFilesAreNeverTakenForTheFile)
{
    WriteFileBytes(PathOf(".VOBERA.INI.99999-1.dbp-tmp"), SampleFile("stray", "", ""));
    EXPECT_EQ(Load({"kept", "", ""}).database, "kept");
}

TEST_F(TLoadParamsTest, HugeLineWithoutLineEndIsRead)
{
    std::string content = Entry("USERNAME", "u") + "\r\n" + std::string(std::size_t{100} * 1024 * 1024, 'x');
    WriteFileBytes(PathOf("VOBERA.INI"), content);
    content.clear();
    EXPECT_EQ(Load().user, "u");
}

TEST(ParamFilePath, AddsTheSeparatorAndSplitsTheChosenPath)
{
    // Forward slashes separate on every system; the one added to a folder is the system's own.
    const std::string separator(1, NativeSeparator);
    ExpectParamFilePaths({
        {"/nonexistent/apl", "", "/nonexistent/apl" + separator + "VOBERA.INI", "/nonexistent/apl" + separator},
        {"/nonexistent/apl/", "", "/nonexistent/apl/VOBERA.INI", "/nonexistent/apl/"},
        {"/x", "/data/cfg/other.ini", "/data/cfg/other.ini", "/data/cfg/"},
        {"/x", "/top.ini", "/top.ini", "/"},
        {"/x", "relative.ini", "relative.ini", ""},
    });
}

TEST(ParamFilePath, WithoutAWindowUsesTheRunningExecutable)
{
    SetParamWindow(nullptr);
    std::string file;
    std::string folder;
    ParamFilePath(file, folder);
    EXPECT_EQ(std::filesystem::path(folder), RunningExecutable().parent_path() / "");
    EXPECT_EQ(file.substr(folder.size()), "VOBERA.INI");
}

TEST(BackupFilePath, NamesTheBackupAfterTheFile)
{
    const struct {
        const char *file;
        const char *backup;
    } cases[] = {
        {"/d/VOBERA.INI", "/d/VOBERA.OLD"}, {"/d/vobera.ini", "/d/VOBERA.OLD"}, {"/d/Vobera.Ini", "/d/VOBERA.OLD"},
        {"/d/other.ini", "/d/other.OLD"},   {"/d/a.b.cfg", "/d/a.b.OLD"},       {"/d/noext", "/d/noext.OLD"},
        {"/d/x.OLD", "/d/x.OLD.OLD"},       {"/d/x.old", "/d/x.old.OLD"},       {"/d/.ini", "/d/.ini.OLD"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(BackupFilePath(c.file, "/d/"), c.backup) << c.file;
}

} // namespace
