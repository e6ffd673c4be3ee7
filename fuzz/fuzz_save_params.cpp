// Saving into any parameter file: the lines a save keeps come over byte for byte and in
// order, the new section ends the file and reads back as the trimmed values, and a value too
// long to read back is refused with the file untouched.
//
// The input is three values, each ended by a backslash and any other byte (a doubled
// backslash stands for one), followed by the file's content.
#include "FuzzSupport.h"
#include "ParamStore.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::size_t LongestValue = 30;
constexpr std::size_t PrefixBytes = 20;
constexpr std::size_t ValueInputLimit = 48;
constexpr std::string_view SavedText = "DB parametri so zapisani v ";
constexpr std::string_view TooLongText = "Vrednost je dalj\x9a"
                                         "a od 30 znakov: ";
constexpr std::string_view Crlf = "\r\n";
constexpr std::array<std::string_view, 3> EntryNames = {"DATABASENAME", "USERNAME", "PASSWORD"};
constexpr std::array<std::string_view, 4> DroppedStarts = {"[DATABASE]", "DATABASENAME", "USERNAME", "PASSWORD"};

const std::string &ParamFile()
{
    static const std::string file = ScratchFolder() + "/VOBERA.INI";
    return file;
}

const std::string &BackupFile()
{
    static const std::string file = ScratchFolder() + "/VOBERA.OLD";
    return file;
}

std::string Trimmed(std::string_view value)
{
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!value.empty() && blank(value.front()))
        value.remove_prefix(1);
    while (!value.empty() && blank(value.back()))
        value.remove_suffix(1);
    return std::string(value);
}

// Lines end at LF, with a CR before the LF taken off; a Ctrl-Z ends the content.
std::vector<std::string_view> FileLines(std::string_view content)
{
    content = content.substr(0, content.find('\x1A'));
    std::vector<std::string_view> lines;
    while (!content.empty()) {
        const std::size_t lf = content.find('\n');
        if (lf == std::string_view::npos) {
            lines.push_back(content);
            break;
        }
        std::string_view line = content.substr(0, lf);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        content.remove_prefix(lf + 1);
    }
    return lines;
}

bool BeginsWithIgnoringAsciiCase(std::string_view line, std::string_view upperStart)
{
    if (line.size() < upperStart.size())
        return false;
    for (std::size_t i = 0; i < upperStart.size(); ++i) {
        const char c = line[i];
        const char upper = 'a' <= c && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c;
        if (upper != upperStart[i])
            return false;
    }
    return true;
}

bool Dropped(std::string_view line)
{
    return std::any_of(DroppedStarts.begin(), DroppedStarts.end(),
                       [line](std::string_view start) { return BeginsWithIgnoringAsciiCase(line, start); });
}

std::string FileNow()
{
    std::string content;
    Require(ReadWhole(ParamFile(), content), "the parameter file can still be read");
    return content;
}

// Takes "NAME=<stored>\r\n" off the front of rest and checks that stored unscrambles to value.
void TakeEntry(std::string_view &rest, std::string_view name, const std::string &value)
{
    const std::string start = std::string(name) + "=";
    Require(rest.substr(0, start.size()) == start, "the new section holds the entries in order", Escaped(rest));
    rest.remove_prefix(start.size());
    const std::size_t end = rest.find(Crlf);
    Require(end != std::string_view::npos, "each new entry ends with CR LF", Escaped(rest));
    std::string scrambled;
    Require(Unscramble(rest.substr(0, end), ScrambleKey, scrambled) && scrambled.size() >= PrefixBytes &&
                scrambled.substr(PrefixBytes) == value,
            "each new entry stores its trimmed value", std::string(name) + ": " + Escaped(rest.substr(0, end)));
    rest.remove_prefix(end + Crlf.size());
}

void CheckSaved(const std::string &oldContent, const std::array<std::string, 3> &values)
{
    std::string expectedStart;
    for (const std::string_view line : FileLines(oldContent))
        if (!Dropped(line))
            expectedStart.append(line).append(Crlf);
    expectedStart.append("[DATABASE]").append(Crlf);

    const std::string saved = FileNow();
    std::string_view rest = saved;
    Require(rest.substr(0, expectedStart.size()) == expectedStart,
            "the kept lines come over in order, then the section header", Escaped(saved));
    rest.remove_prefix(expectedStart.size());
    for (std::size_t i = 0; i < EntryNames.size(); ++i)
        TakeEntry(rest, EntryNames[i], values[i]);
    Require(rest.empty(), "the new section ends the file", Escaped(saved));

    std::string backup;
    Require(ReadWhole(BackupFile(), backup) && backup == oldContent, "the backup holds the old file");

    std::array<std::string, 3> loaded;
    LoadParams(loaded[0], loaded[1], loaded[2]);
    Require(loaded == values, "the saved file reads back as the trimmed values",
            Escaped(loaded[0]) + " / " + Escaped(loaded[1]) + " / " + Escaped(loaded[2]));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    std::array<std::string, 3> values;
    for (std::string &value : values)
        value = input.ConsumeRandomLengthString(ValueInputLimit);
    const std::string oldContent = input.ConsumeRemainingBytesAsString();

    Require(WriteWhole(ParamFile(), oldContent), "the scratch file can be written");
    SelectedFileName = ParamFile();
    TRecordingWindow window;
    SetParamWindow(&window);
    SaveParams(values[0], values[1], values[2]);
    SetParamWindow(nullptr);

    Require(window.messages.size() == 1, "a save shows exactly one message", std::to_string(window.messages.size()));
    const TRecordedMessage &message = window.messages.front();

    std::array<std::string, 3> trimmed;
    for (std::size_t i = 0; i < values.size(); ++i)
        trimmed[i] = Trimmed(values[i]);
    for (std::size_t i = 0; i < trimmed.size(); ++i) {
        if (trimmed[i].size() > LongestValue) {
            Require(message.text == std::string(TooLongText).append(EntryNames[i]) && message.path.empty(),
                    "the first value over 30 bytes is refused by its entry's name", Escaped(message.text));
            Require(FileNow() == oldContent, "a refused save leaves the file alone");
            return 0;
        }
    }

    // The scratch file is always there, readable and writable: nothing else may stop the save.
    Require(message.text == SavedText && message.path == ParamFile(), "values of at most 30 bytes are saved",
            Escaped(message.text + message.path));
    CheckSaved(oldContent, trimmed);
    return 0;
}
