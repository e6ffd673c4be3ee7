// What the benchmarks share: generated parameter files in a scratch folder, a window that
// shows nothing, and the plain file operations the store's own are measured against.
#pragma once

#include "ParamWindow.h"

#include <string>

// Answers the store without showing anything; its folder stands for the executable's.
class TQuietWindow : public TParamWindow {
public:
    std::string folder;

    void ShowMessage(const std::string &, const std::string &) override {}
    void ProcessMessages() override {}
    void SetFileLabel(const std::string &) override {}
    std::string ExecutableFolder() override { return folder; }
};

// The window the benchmarks install.
TQuietWindow &QuietWindow();

// Content of a parameter file of lines lines, each 30 to 60 bytes, ended by CR LF, with
// the [DATABASE] section in the middle.
std::string ParamFileContent(long lines);

// A folder holding a VOBERA.INI of lines lines, made on first use; empty when it cannot be made.
std::string ParamFolder(long lines);

// Removes every folder ParamFolder made.
void RemoveParamFolders();

// Reads the whole file at path into content, the plain way.
bool ReadPlain(const std::string &path, std::string &content);

// Replaces to with a copy of from the way a careful program would: a new file beside to,
// synced, renamed over to, and the folder synced.
bool CopyDurably(const std::string &from, const std::string &to);
