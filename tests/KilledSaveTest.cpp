// Saves run in child processes that a full disk stops or a kill ends at any instant.
#include "FileSystem.h"
#include "ParamStore.h"
#include "TestSupport.h"

#include <algorithm>
#include <chrono>
#include <iostream>
#include <optional>
#include <string_view>

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using TKilledSaveTest = TParamStoreTest;
using ParamFs::Op;
using Clock = std::chrono::steady_clock;

constexpr std::string_view TempSuffix = ".dbp-tmp";

// count distinct lines no save drops, each ended by CR LF.
std::string KeptContent(int count)
{
    std::string content;
    content.reserve(static_cast<std::size_t>(count) * 48);
    for (int i = 0; i < count; ++i) {
        if (i % 100 == 0)
            content += "[SECTION" + std::to_string(i / 100) + "]\r\n";
        content += "Entry" + std::to_string(i) + "=value of line " + std::to_string(i * 7919) + " kept as is\r\n";
    }
    return content;
}

// The section a save writes for the three values.
std::string Section(const LogonParams &values)
{
    return "[DATABASE]\r\nDATABASENAME=" + EncodeValue(values.database, ScrambleKey) +
           "\r\nUSERNAME=" + EncodeValue(values.user, ScrambleKey) +
           "\r\nPASSWORD=" + EncodeValue(values.password, ScrambleKey) + "\r\n";
}

// The values of content when it is kept followed by a whole section of three entries.
std::optional<LogonParams> SavedValues(const std::string &content, const std::string &kept)
{
    if (content.compare(0, kept.size(), kept) != 0)
        return std::nullopt;
    std::string_view rest(content);
    rest.remove_prefix(kept.size());
    const std::string_view keys[] = {"[DATABASE]", "DATABASENAME=", "USERNAME=", "PASSWORD="};
    std::string stored[3];
    for (std::size_t i = 0; i < 4; ++i) {
        const std::size_t end = rest.find("\r\n");
        if (end == std::string_view::npos || rest.compare(0, keys[i].size(), keys[i]) != 0)
            return std::nullopt;
        if (i == 0 && end != keys[i].size())
            return std::nullopt;
        if (i > 0)
            stored[i - 1] = std::string(rest.substr(keys[i].size(), end - keys[i].size()));
        rest.remove_prefix(end + 2);
    }
    if (!rest.empty())
        return std::nullopt;
    return LogonParams{DecodeValue(stored[0], ScrambleKey), DecodeValue(stored[1], ScrambleKey),
                       DecodeValue(stored[2], ScrambleKey)};
}

bool SameValues(const LogonParams &a, const LogonParams &b)
{
    return a.database == b.database && a.user == b.user && a.password == b.password;
}

std::vector<std::string> TempFiles(const std::filesystem::path &folder)
{
    std::vector<std::string> temps = FolderEntries(folder);
    std::erase_if(temps, [](const std::string &name) { return !name.ends_with(TempSuffix); });
    return temps;
}

// The messages the fake window showed, one a line.
std::string MessageLines(const TFakeWindow &window)
{
    std::string lines;
    for (const TShownMessage &message : window.messages)
        lines += message.full() + "\n";
    return lines;
}

// A file limit stops the new file's writing at its first byte, midway or at its very last byte;
// a limit of exactly its size lets the save through, which shows the limit is what stops it.
TEST_F(TKilledSaveTest, FileSizeLimitLeavesTheOldFileWhole)
{
    const std::string path = PathOf("VOBERA.INI");
    const std::string kept = KeptContent(8000);
    const std::string old = kept + Section({"old-db", "old-us", "old-pw"});
    const LogonParams fresh{"new-db", "new-us", "new-pw"};
    const std::size_t newSize = kept.size() + Section(fresh).size();
    ASSERT_GT(old.size(), 300u * 1024);

    const struct {
        const char *name;
        rlim_t limit;
        bool saved;
    } cases[] = {
        {"nothing fits", 0, false},
        {"one byte fits", 1, false},
        {"half fits", newSize / 2, false},
        {"all but the last byte fit", newSize - 1, false},
        {"exactly the new file fits", newSize, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(folder);
        std::filesystem::create_directory(folder);
        WriteFileBytes(path, old);

        const std::optional<std::string> shown = RunInChild([&] {
            const rlimit limit{c.limit, c.limit};
            if (::signal(SIGXFSZ, SIG_IGN) == SIG_ERR || ::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                return std::string("cannot set the limit\n");
            SaveParams(fresh.database, fresh.user, fresh.password);
            return MessageLines(window);
        });

        ASSERT_TRUE(shown.has_value()) << "the child did not end normally";
        const std::string content = ReadFileBytes(path);
        if (c.saved) {
            EXPECT_EQ(*shown, "DB parametri so zapisani v " + path + "\n");
            const std::optional<LogonParams> values = SavedValues(content, kept);
            EXPECT_TRUE(values && SameValues(*values, fresh)) << "the new file is not the one saved";
        } else {
            EXPECT_EQ(*shown, "Ne morem odpreti datoteke " + path + "\n");
            EXPECT_TRUE(content == old) << "the file changed; it now has " << content.size() << " bytes";
        }
        const std::string backup = ReadFileBytes(PathOf("VOBERA.OLD"));
        EXPECT_TRUE(backup == "<missing>" || backup == old) << "the backup has " << backup.size() << " bytes";
        EXPECT_EQ(TempFiles(folder), std::vector<std::string>{});
    }
}

// Kills a save at each of its steps: the file stays the old one until the new one has taken
// its place, and the next save removes whatever the killed one left behind.
TEST_F(TKilledSaveTest, SaveKilledAtEachStepLeavesOldOrNewFileAndNextSaveCleansUp)
{
    const std::string path = PathOf("VOBERA.INI");
    const std::string kept = KeptContent(50);
    const LogonParams old{"old-db", "old-us", "old-pw"};
    const LogonParams fresh{"new-db", "new-us", "new-pw"};

    const struct {
        const char *name;
        Op op;
        int nth;
        bool fileIsNew;
        std::vector<std::string> tempsLeftOf;
    } cases[] = {
        {"before the file is opened", Op::Open, 1, false, {}},
        {"before the new file is created", Op::Create, 1, false, {}},
        {"before the new file is written", Op::Write, 1, false, {"VOBERA.INI"}},
        {"before the new file is synced", Op::Flush, 1, false, {"VOBERA.INI"}},
        {"before the backup's link takes its name", Op::Backup, 2, false, {"VOBERA.INI", "VOBERA.OLD"}},
        {"before the new file takes the name", Op::Rename, 1, false, {"VOBERA.INI"}},
        {"before the folder is synced", Op::Flush, 2, true, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(folder);
        std::filesystem::create_directory(folder);
        WriteFileBytes(path, kept + Section(old));
        window.messages.clear();

        const std::optional<std::string> survived = RunInChild([&] {
            int seen = 0;
            ParamFs::SetFaultHook([&](Op op) {
                if (op == c.op && ++seen == c.nth)
                    ::kill(::getpid(), SIGKILL);
                return false;
            });
            SaveParams(fresh.database, fresh.user, fresh.password);
            return std::string("not killed");
        });
        ASSERT_FALSE(survived.has_value()) << "the save ran past the step";

        const std::optional<LogonParams> values = SavedValues(ReadFileBytes(path), kept);
        ASSERT_TRUE(values.has_value()) << "the file is not a whole one";
        EXPECT_TRUE(SameValues(*values, c.fileIsNew ? fresh : old)) << "the file holds " << values->database;
        const std::vector<std::string> temps = TempFiles(folder);
        ASSERT_EQ(temps.size(), c.tempsLeftOf.size());
        for (std::size_t i = 0; i < temps.size(); ++i)
            EXPECT_TRUE(temps[i].starts_with("." + c.tempsLeftOf[i] + ".")) << temps[i];

        SaveParams("after", "after", "after");
        EXPECT_EQ(window.OnlyMessage(), "DB parametri so zapisani v " + path);
        EXPECT_EQ(FolderEntries(folder), (std::vector<std::string>{"VOBERA.INI", "VOBERA.OLD"}));
        EXPECT_EQ(LoadedParams().database, "after");
    }
}

// The values the child saves in its count-th save of round.
LogonParams RoundValues(int round, int count)
{
    const std::string suffix = std::to_string(round) + "." + std::to_string(count);
    return {"db" + suffix, "us" + suffix, "pw" + suffix};
}

// True when values are ones a child saved in round.
bool IsFromRound(const LogonParams &values, int round)
{
    const std::string prefix = "db" + std::to_string(round) + ".";
    if (!values.database.starts_with(prefix))
        return false;
    const std::string count = values.database.substr(prefix.size());
    return !count.empty() && std::all_of(count.begin(), count.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
           SameValues(values, RoundValues(round, std::stoi(count)));
}

// True once the child has written to its end of the pipe, or has closed it by dying.
bool Signalled(int fd)
{
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, 0) > 0;
}

// A child saves over and over into a file of several megabytes until it is killed, after a
// different delay each round; every other round the delay starts only once a save of the
// child's has taken effect, so that kills land in later saves too. Meanwhile and afterwards the
// file must be whole: every kept line in order, then one section holding the values of the
// last save that took effect.
TEST_F(TKilledSaveTest, SavesKilledAtVaryingInstantsNeverBreakTheFile)
{
    const std::string path = PathOf("VOBERA.INI");
    const std::string kept = KeptContent(100000);
    LogonParams current{"db-initial", "us-initial", "pw-initial"};
    WriteFileBytes(path, kept + Section(current));
    ASSERT_GT(kept.size(), 4u * 1024 * 1024);

    constexpr int MaxRounds = 150;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(3);
    int rounds = 0;
    int changed = 0;
    int tempsLeft = 0;
    for (int round = 1; round <= MaxRounds && Clock::now() < deadline; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        int saved[2];
        ASSERT_EQ(::pipe(saved), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(saved[0]);
            for (int count = 1; count < 1000; ++count) {
                const LogonParams values = RoundValues(round, count);
                SaveParams(values.database, values.user, values.password);
                if (::write(saved[1], "s", 1) != 1)
                    _exit(3);
            }
            _exit(0);
        }
        ::close(saved[1]);
        ++rounds;

        // Watches the file while the child saves; a rename that is not atomic shows here.
        const auto delay = std::chrono::milliseconds((round * 7) % 31);
        const bool afterASave = round % 2 == 0;
        const Clock::time_point giveUp = Clock::now() + std::chrono::seconds(10);
        Clock::time_point killAt = afterASave ? Clock::time_point::max() : Clock::now() + delay;
        bool wholeMeanwhile = true;
        do {
            wholeMeanwhile = SavedValues(ReadFileBytes(path), kept).has_value();
            if (killAt == Clock::time_point::max() && (Signalled(saved[0]) || Clock::now() > giveUp))
                killAt = Clock::now() + delay;
        } while (wholeMeanwhile && Clock::now() < killAt);
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        // The child is gone, so this read cannot block: a byte means a save of its took effect.
        char byte = 0;
        const bool childSaved = ::read(saved[0], &byte, 1) == 1;
        ::close(saved[0]);
        EXPECT_TRUE(wholeMeanwhile) << "the file was missing, empty or partial while the child saved";
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the child ended by itself";

        const std::vector<std::string> temps = TempFiles(folder);
        if (std::any_of(temps.begin(), temps.end(), [&](const std::string &name) {
                return name.find("." + std::to_string(child) + "-") != std::string::npos;
            }))
            ++tempsLeft;

        const std::optional<LogonParams> values = SavedValues(ReadFileBytes(path), kept);
        ASSERT_TRUE(values.has_value()) << "the file is not its kept lines and one whole section";
        const LogonParams loaded = LoadedParams();
        EXPECT_TRUE(SameValues(loaded, *values)) << "loaded " << loaded.database << ", file holds " << values->database;
        if (childSaved || !SameValues(*values, current)) {
            ASSERT_TRUE(IsFromRound(*values, round)) << "the file holds " << values->database;
            current = *values;
            ++changed;
        }
        const std::string backup = ReadFileBytes(PathOf("VOBERA.OLD"));
        EXPECT_TRUE(backup == "<missing>" || SavedValues(backup, kept).has_value()) << "the backup is not whole";
    }
    std::cout << "[          ] " << rounds << " saving children killed, " << changed << " after a save took effect, "
              << tempsLeft << " while a temporary file existed\n";
    RecordProperty("KilledChildren", rounds);
    RecordProperty("KilledWithTemporaryFile", tempsLeft);

    // The last child's pid is dead now, so this save removes what it left.
    SaveParams("last", "last", "last");
    EXPECT_EQ(window.messages.back().full(), "DB parametri so zapisani v " + path);
    EXPECT_EQ(TempFiles(folder), std::vector<std::string>{});
    EXPECT_EQ(LoadedParams().database, "last");
    const std::optional<LogonParams> last = SavedValues(ReadFileBytes(path), kept);
    EXPECT_TRUE(last && last->password == "last");
}

} // namespace
