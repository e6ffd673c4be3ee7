// Shared fixtures of the core's tests: a fresh folder per test and a fake window.
#pragma once

#include "ParamStore.h"
#include "ParamWindow.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// A message the fake window was asked to show.
struct TShownMessage {
    std::string text;
    std::string path;
    std::string full() const { return text + path; }
};

// Stands in for the main window: records what the store asks of it.
class TFakeWindow : public TParamWindow {
public:
    std::vector<TShownMessage> messages;
    std::vector<std::string> labels;
    int processCalls = 0;
    std::string executableFolder;
    std::function<void()> onProcessMessages;

    void ShowMessage(const std::string &text, const std::string &path) override;
    void ProcessMessages() override;
    void SetFileLabel(const std::string &path) override;
    std::string ExecutableFolder() override;

    // The one message shown, or a failure when there was not exactly one.
    std::string OnlyMessage() const;
};

// Each test gets an empty folder of its own, set up as the executable's folder, with the
// fake window installed and no file chosen.
class TParamStoreTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // folder/name, as a string.
    std::string PathOf(const std::string &name) const;

    std::filesystem::path folder;
    TFakeWindow window;
};

// The separator std::filesystem puts between a folder and a name on this system.
inline const char NativeSeparator = static_cast<char>(std::filesystem::path::preferred_separator);

// A process other than this one that stays alive as long as the object.
class TOtherLiveProcess {
public:
    TOtherLiveProcess();
    // NOLINTNEXTLINE(performance-trivially-destructible): on Windows it ends the process it started.
    ~TOtherLiveProcess();
    TOtherLiveProcess(const TOtherLiveProcess &) = delete;
    TOtherLiveProcess &operator=(const TOtherLiveProcess &) = delete;

    // The process's id; 0 when none could be started.
    unsigned long id() const { return id_; }

private:
    unsigned long id_ = 0;
    void *handle_ = nullptr;
};

// The path of the running test program, as the system gives it to the C runtime.
std::filesystem::path RunningExecutable();

// The whole content of a file, or "<missing>" when it cannot be read.
std::string ReadFileBytes(const std::string &path);

// Writes content to path, replacing it.
void WriteFileBytes(const std::string &path, const std::string &content);

// The names in a folder, sorted.
std::vector<std::string> FolderEntries(const std::filesystem::path &folder);

// The path of a fixture in tests/data.
std::string FixturePath(const std::string &name);

// A case of the path rule: the executable's folder and the chosen file, and the file and
// folder that ParamFilePath must give for them.
struct TPathCase {
    std::string executable;
    std::string selected;
    std::string file;
    std::string folder;
};

// Runs each case through ParamFilePath, a fake window answering the executable's folder.
void ExpectParamFilePaths(const std::vector<TPathCase> &cases);

// What LoadParams gives from the current parameter file, starting from empty values.
LogonParams LoadedParams();

// A parameter file with one unrelated section and the three entries of the given values.
std::string SampleFile(const std::string &database, const std::string &user, const std::string &password);

#ifndef _WIN32
// Runs body in a child process and returns what it gave back, or nullopt when the child did
// not end normally. The child leaves through _exit, so nothing of the test runner's runs twice.
std::optional<std::string> RunInChild(const std::function<std::string()> &body);

// What RunAsOrdinaryUser brings back: what body returned, or why no ordinary user could run it.
struct TOrdinaryRun {
    std::string output;
    std::string skipReason;
};

// Runs body with the rights of an ordinary user, for whom modes bind as they do for the
// program's users. As root, that is a child turned into nobody (uid and gid 65534), with folder
// and what is in it handed to that user first; what window recorded there is copied back
// into it. Otherwise body runs here. body's own assertions are not reported
// when it runs in a child, only that one failed, so the checks belong to the caller.
TOrdinaryRun RunAsOrdinaryUser(const std::filesystem::path &folder, TFakeWindow &window,
                               const std::function<std::string()> &body);
#endif
