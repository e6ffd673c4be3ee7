// What the fuzz targets share: a scratch folder, whole-file reads and writes, a window that
// records what the store shows, and a way to stop on a broken property.
#pragma once

#include "ParamWindow.h"

#include <string>
#include <string_view>
#include <vector>

// A folder of this process's own, made on first use and removed when the process ends.
const std::string &ScratchFolder();

// Replaces the content of the file at path with bytes; false when that failed.
bool WriteWhole(const std::string &path, std::string_view bytes);

// The content of the file at path; false when it could not be read.
bool ReadWhole(const std::string &path, std::string &content);

// The bytes a stored form scrambles, by its definition: uppercase hex pairs, each byte XORed
// with the key's bytes in turn. False when stored is not such pairs.
bool Unscramble(std::string_view stored, std::string_view key, std::string &bytes);

// bytes with every byte outside printable ASCII, and the backslash, as \xNN.
std::string Escaped(std::string_view bytes);

// Reports what went wrong and aborts, so that libFuzzer keeps the input.
[[noreturn]] void Broken(const char *property, const std::string &detail = std::string());

// Stops with Broken(property) unless holds.
void Require(bool holds, const char *property, const std::string &detail = std::string());

// A message the store asked the window to show.
struct TRecordedMessage {
    std::string text;
    std::string path;
};

// Stands in for the window: keeps the messages and answers with the scratch folder.
class TRecordingWindow : public TParamWindow {
public:
    std::vector<TRecordedMessage> messages;

    void ShowMessage(const std::string &text, const std::string &path) override;
    void ProcessMessages() override {}
    void SetFileLabel(const std::string &) override {}
    std::string ExecutableFolder() override { return ScratchFolder(); }
};
