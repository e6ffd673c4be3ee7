// Drives the parameter store against real files for scripts/real-conditions.sh and prints
// what the store showed, one line each, so that a shell script can check it.
//
//   save_driver [-e FOLDER] save FILE DATABASE USER PASSWORD
//   save_driver [-e FOLDER] load FILE
//   save_driver [-e FOLDER] loop FILE COUNT DATABASE USER PASSWORD
//
// FOLDER is what the window answers as the executable's folder; an empty FILE leaves the
// store to find VOBERA.INI there. loop saves COUNT times, each value followed by "." and the
// save's number, and reports how many saves succeeded, the descriptors open before and after,
// and the resident memory after the first save, the middle one and the last. It exits with 3
// when what it printed did not all get out.
#include "ParamStore.h"
#include "ParamWindow.h"
#include "ProcessUsage.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>

namespace {

constexpr std::string_view SavedText = "DB parametri so zapisani v ";

// Prints each message as it comes; while counting, tallies the saves instead and keeps only
// the first message that is not a success.
class TPrintingWindow : public TParamWindow {
public:
    explicit TPrintingWindow(std::string folder) : folder_(std::move(folder)) {}

    void ShowMessage(const std::string &text, const std::string &path) override
    {
        if (!counting_) {
            std::printf("message: %s%s\n", text.c_str(), path.c_str());
            return;
        }
        if (text == SavedText) {
            ++saved_;
            return;
        }
        if (others_++ == 0)
            firstOther_ = text + path;
    }
    void ProcessMessages() override {}
    void SetFileLabel(const std::string &path) override { std::printf("label: %s\n", path.c_str()); }
    std::string ExecutableFolder() override { return folder_; }

    void StartCounting() { counting_ = true; }
    long Saved() const { return saved_; }
    long Others() const { return others_; }
    const std::string &FirstOther() const { return firstOther_; }

private:
    std::string folder_;
    bool counting_ = false;
    long saved_ = 0;
    long others_ = 0;
    std::string firstOther_;
};

int Usage()
{
    // A usage message that cannot be written leaves nowhere else to tell of it.
    (void)std::fprintf(stderr, "usage: save_driver [-e FOLDER] save FILE DATABASE USER PASSWORD\n"
                               "       save_driver [-e FOLDER] load FILE\n"
                               "       save_driver [-e FOLDER] loop FILE COUNT DATABASE USER PASSWORD\n");
    return 2;
}

int Load()
{
    std::string database = "?";
    std::string user = "?";
    std::string password = "?";
    LoadParams(database, user, password);
    std::printf("database: %s\nuser: %s\npassword: %s\n", database.c_str(), user.c_str(), password.c_str());
    return 0;
}

int Loop(TPrintingWindow &window, const char *countText, const char *const values[])
{
    char *end = nullptr;
    const long count = std::strtol(countText, &end, 10);
    if (*end != '\0' || count < 2)
        return Usage();
    window.StartCounting();
    const int descriptorsBefore = OpenDescriptorCount();
    // The first saves settle what the process keeps for good, so memory is compared between
    // the middle and the end, where a leak would have grown it.
    long residentFirst = -1;
    long residentHalf = -1;
    for (long i = 1; i <= count; ++i) {
        const std::string suffix = "." + std::to_string(i);
        SaveParams(values[0] + suffix, values[1] + suffix, values[2] + suffix);
        if (i == 1)
            residentFirst = ResidentKib();
        if (i == count / 2)
            residentHalf = ResidentKib();
    }
    std::printf("saved: %ld of %ld\n", window.Saved(), count);
    if (window.Others() > 0)
        std::printf("other messages: %ld, first: %s\n", window.Others(), window.FirstOther().c_str());
    std::printf("descriptors: %d %d\n", descriptorsBefore, OpenDescriptorCount());
    std::printf("resident KiB: %ld %ld %ld\n", residentFirst, residentHalf, ResidentKib());
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    std::string folder;
    int next = 1;
    if (argc > 2 && std::string_view(argv[1]) == "-e") {
        folder = argv[2];
        next = 3;
    }
    if (argc - next < 2)
        return Usage();
    const std::string_view command = argv[next];
    SelectedFileName = argv[next + 1];
    TPrintingWindow window(folder);
    SetParamWindow(&window);
    const int remaining = argc - next - 2;
    int result = 0;
    if (command == "save" && remaining == 3)
        SaveParams(argv[next + 2], argv[next + 3], argv[next + 4]);
    else if (command == "load" && remaining == 0)
        result = Load();
    else if (command == "loop" && remaining == 4)
        result = Loop(window, argv[next + 2], argv + next + 3);
    else
        result = Usage();
    SetParamWindow(nullptr);
    // The script reads what was printed; output that did not all get out must not pass as whole.
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return 3;
    return result;
}
