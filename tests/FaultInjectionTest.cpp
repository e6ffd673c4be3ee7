#include "FileSystem.h"
#include "ParamStore.h"
#include "TestSupport.h"

#include <filesystem>
#include <map>

namespace {

namespace fs = std::filesystem;
using ParamFs::Op;

const char *OpName(Op op)
{
    switch (op) {
    case Op::Open:
        return "open";
    case Op::Read:
        return "read";
    case Op::Create:
        return "create";
    case Op::Write:
        return "write";
    case Op::Flush:
        return "flush";
    case Op::Rename:
        return "rename";
    case Op::Backup:
        return "backup";
    }
    return "?";
}

// The message a save must end with when op fails.
std::string ExpectedText(Op op)
{
    switch (op) {
    case Op::Open:
    case Op::Read:
        return "Napaka pri odpiranju datoteke: ";
    case Op::Backup:
        return "DB parametri so zapisani v ";
    default:
        return "Ne morem odpreti datoteke ";
    }
}

// True when content is kept followed by the fresh section holding ORCL, scott and tiger.
bool IsNewFile(const std::string &content, const std::string &kept)
{
    if (content.compare(0, kept.size(), kept) != 0)
        return false;
    std::vector<std::string> lines;
    for (std::size_t start = kept.size(); start < content.size();) {
        const std::size_t end = content.find("\r\n", start);
        if (end == std::string::npos)
            return false;
        lines.push_back(content.substr(start, end - start));
        start = end + 2;
    }
    const struct {
        const char *key;
        const char *value;
    } entries[] = {{"DATABASENAME=", "ORCL"}, {"USERNAME=", "scott"}, {"PASSWORD=", "tiger"}};
    if (lines.size() != 4 || lines[0] != "[DATABASE]")
        return false;
    for (std::size_t i = 0; i < 3; ++i) {
        const std::string key = entries[i].key;
        if (lines[i + 1].compare(0, key.size(), key) != 0 ||
            DecodeValue(lines[i + 1].substr(key.size()), ScrambleKey) != entries[i].value)
            return false;
    }
    return true;
}

class TFaultInjectionTest : public TParamStoreTest, public ::testing::WithParamInterface<bool> {
protected:
    const std::string kept = "; settings\r\n[GENERAL]\r\nTITLE=Vobera\r\n";
    const std::string old = kept + "[DATABASE]\r\nDATABASENAME=" + EncodeValue("old", ScrambleKey) + "\r\n";
    const std::string olderBackup = "older backup\r\n";

    void Reset()
    {
        for (const auto &entry : fs::directory_iterator(folder))
            fs::remove_all(entry.path());
        WriteFileBytes(PathOf("VOBERA.INI"), old);
        WriteFileBytes(PathOf("VOBERA.OLD"), olderBackup);
        window.messages.clear();
    }
};

// Fails the nth file operation of a save, alone (once) or with every later one
// (persistently), for every n until a save runs to its end untouched.
TEST_P(TFaultInjectionTest, EveryFailingOperationLeavesOldOrNewFile)
{
    const bool persistent = GetParam();
    std::map<Op, int> failuresSeen;
    for (int n = 1;; ++n) {
        ASSERT_LT(n, 200) << "the save never ran to its end";
        Reset();
        int count = 0;
        bool failed = false;
        Op failedOp = Op::Open;
        ParamFs::SetFaultHook([&](Op op) {
            ++count;
            const bool fail = persistent ? count >= n : count == n;
            if (fail && !failed) {
                failed = true;
                failedOp = op;
            }
            return fail;
        });
        SaveParams("ORCL", "scott", "tiger");
        ParamFs::SetFaultHook({});
        SCOPED_TRACE(std::string("operation ") + std::to_string(n) +
                     (failed ? std::string(" ") + OpName(failedOp) : ""));

        const std::string content = ReadFileBytes(PathOf("VOBERA.INI"));
        const bool isNew = IsNewFile(content, kept);
        EXPECT_TRUE(content == old || isNew) << content;
        const std::string backup = ReadFileBytes(PathOf("VOBERA.OLD"));
        EXPECT_TRUE(backup == old || backup == olderBackup) << backup;
        EXPECT_EQ(FolderEntries(folder), (std::vector<std::string>{"VOBERA.INI", "VOBERA.OLD"}));

        const std::string message = window.OnlyMessage();
        if (!failed) {
            EXPECT_EQ(message, "DB parametri so zapisani v " + PathOf("VOBERA.INI"));
            EXPECT_TRUE(isNew);
            EXPECT_EQ(backup, old);
            break;
        }
        ++failuresSeen[failedOp];
        if (failedOp == Op::Backup && persistent) {
            // Later operations fail as well; only a message of failure is right.
            EXPECT_NE(message.rfind("DB parametri", 0), 0u) << message;
        } else {
            EXPECT_EQ(message, ExpectedText(failedOp) + PathOf("VOBERA.INI"));
        }
        if (message.rfind("DB parametri", 0) == 0) {
            EXPECT_TRUE(isNew);
        } else if (isNew) {
            EXPECT_EQ(failedOp, Op::Flush) << "only an unsynced folder may leave the new file behind a failure";
        }
        // New content that could not be written never costs the older backup.
        if (failedOp == Op::Create || failedOp == Op::Write || (failedOp == Op::Flush && !isNew)) {
            EXPECT_EQ(backup, olderBackup);
        }
    }
    for (const Op op : {Op::Open, Op::Read, Op::Create, Op::Write, Op::Flush, Op::Rename, Op::Backup})
        EXPECT_GT(failuresSeen[op], 0) << OpName(op) << " was never made to fail";
}

INSTANTIATE_TEST_SUITE_P(OnceAndPersistently, TFaultInjectionTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &param) {
                             return param.param ? "Persistently" : "Once";
                         });

} // namespace
