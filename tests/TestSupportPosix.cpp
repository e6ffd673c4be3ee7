#include "TestSupport.h"

#include <cerrno>
#include <charconv>
#include <string_view>
#include <system_error>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// nobody and nogroup: a user and a group that own nothing the test runner made.
constexpr uid_t OrdinaryUser = 65534;
constexpr gid_t OrdinaryGroup = 65534;

bool WriteToPipe(int fd, const std::string &data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t put = ::write(fd, data.data() + done, data.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

std::string LastError()
{
    return std::error_code(errno, std::generic_category()).message();
}

// Reads all of text as a decimal number into value; false when it is not one.
template <typename T> bool ParseNumber(std::string_view text, T &value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

// Appends field to out so that Fields gives it back whole, whatever bytes it holds.
void PutField(std::string &out, const std::string &field)
{
    out += std::to_string(field.size()) + ':' + field;
}

// The fields PutField appended to data, in order; nullopt when data is not made of them.
std::optional<std::vector<std::string>> Fields(std::string_view data)
{
    std::vector<std::string> fields;
    while (!data.empty()) {
        const std::size_t colon = data.find(':');
        std::size_t size = 0;
        if (colon == std::string_view::npos || !ParseNumber(data.substr(0, colon), size) ||
            size > data.size() - colon - 1)
            return std::nullopt;
        const std::size_t head = colon + 1;
        fields.emplace_back(data.substr(head, size));
        data.remove_prefix(head + size);
    }
    return fields;
}

// Gives folder and everything in it, links themselves rather than their targets, to the
// ordinary user; empty when that worked, else what failed.
std::string HandOver(const fs::path &folder)
{
    if (::lchown(folder.c_str(), OrdinaryUser, OrdinaryGroup) != 0)
        return "cannot give " + folder.string() + " to user 65534: " + LastError();
    std::error_code error;
    for (fs::recursive_directory_iterator entry(folder, error); !error && entry != fs::recursive_directory_iterator();
         entry.increment(error))
        if (::lchown(entry->path().c_str(), OrdinaryUser, OrdinaryGroup) != 0)
            return "cannot give " + entry->path().string() + " to user 65534: " + LastError();
    return error ? "cannot list " + folder.string() + ": " + error.message() : std::string();
}

// The child's side: becomes the ordinary user, runs body and answers with the fields
// "skip" and the reason, or "ran", body's output, whether body failed an assertion, the number of
// ProcessMessages calls, the number of messages, each message's text and path, and the labels.
std::string AsOrdinaryUser(const fs::path &folder, const TFakeWindow &window, const std::function<std::string()> &body)
{
    std::string answer;
    std::string reason = HandOver(folder);
    if (reason.empty() && (::setgroups(0, nullptr) != 0 || ::setgid(OrdinaryGroup) != 0 || ::setuid(OrdinaryUser) != 0))
        reason = "cannot become user 65534 (nobody): " + LastError();
    if (reason.empty() && ::access(folder.c_str(), R_OK | W_OK | X_OK) != 0)
        reason = "user 65534 cannot work in " + folder.string() + ": " + LastError();
    if (!reason.empty()) {
        PutField(answer, "skip");
        PutField(answer, reason);
        return answer;
    }
    const bool failedBefore = ::testing::Test::HasFailure();
    const std::string output = body();
    PutField(answer, "ran");
    PutField(answer, output);
    PutField(answer, ::testing::Test::HasFailure() && !failedBefore ? "failed" : "");
    PutField(answer, std::to_string(window.processCalls));
    PutField(answer, std::to_string(window.messages.size()));
    for (const TShownMessage &message : window.messages) {
        PutField(answer, message.text);
        PutField(answer, message.path);
    }
    for (const std::string &label : window.labels)
        PutField(answer, label);
    return answer;
}

// Takes the child's answer into run and window; false when it is not one AsOrdinaryUser gives.
bool TakeAnswer(const std::vector<std::string> &fields, TOrdinaryRun &run, TFakeWindow &window)
{
    if (fields.size() == 2 && fields[0] == "skip") {
        run.skipReason = fields[1];
        return true;
    }
    std::size_t messages = 0;
    int processCalls = 0;
    if (fields.size() < 5 || fields[0] != "ran" || !ParseNumber(fields[3], processCalls) ||
        !ParseNumber(fields[4], messages) || messages > (fields.size() - 5) / 2)
        return false;
    run.output = fields[1];
    if (!fields[2].empty())
        ADD_FAILURE() << "an assertion failed while running as user 65534; see above";
    window.processCalls = processCalls;
    window.messages.clear();
    for (std::size_t i = 0; i < messages; ++i)
        window.messages.push_back({fields[5 + 2 * i], fields[6 + 2 * i]});
    window.labels.assign(fields.begin() + static_cast<std::ptrdiff_t>(5 + 2 * messages), fields.end());
    return true;
}

} // namespace

// The test runner that started this program outlives every test.
TOtherLiveProcess::TOtherLiveProcess() : id_(static_cast<unsigned long>(::getppid())) {}

TOtherLiveProcess::~TOtherLiveProcess() = default;

std::filesystem::path RunningExecutable()
{
    return std::filesystem::canonical("/proc/self/exe");
}

std::optional<std::string> RunInChild(const std::function<std::string()> &body)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return std::nullopt;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        _exit(WriteToPipe(fds[1], body()) ? 0 : 3);
    }
    ::close(fds[1]);
    std::string output;
    char buffer[4096];
    for (ssize_t got; (got = ::read(fds[0], buffer, sizeof buffer)) != 0;) {
        if (got > 0)
            output.append(buffer, static_cast<std::size_t>(got));
        else if (errno != EINTR)
            break;
    }
    ::close(fds[0]);
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return output;
}

TOrdinaryRun RunAsOrdinaryUser(const std::filesystem::path &folder, TFakeWindow &window,
                               const std::function<std::string()> &body)
{
    TOrdinaryRun run;
    if (::geteuid() != 0) {
        run.output = body();
        return run;
    }
    const std::optional<std::string> answer = RunInChild([&] { return AsOrdinaryUser(folder, window, body); });
    if (!answer) {
        ADD_FAILURE() << "the child meant to run as user 65534 did not end normally";
        return run;
    }
    const std::optional<std::vector<std::string>> fields = Fields(*answer);
    if (!fields || !TakeAnswer(*fields, run, window))
        ADD_FAILURE() << "the child running as user 65534 gave an answer of another form: " << *answer;
    return run;
}
