// The few things the parameter store asks of the main window. The window implements them
// and installs itself; tests install a fake. With none installed the store shows nothing
// and finds the executable's folder by itself.
#pragma once

#include <string>

class TParamWindow {
public:
    virtual ~TParamWindow() = default;

    // Shows a modal message: text (ANSI code page) followed directly by path (file-system
    // encoding, may be empty). Returns when the user has answered it.
    virtual void ShowMessage(const std::string &text, const std::string &path) = 0;

    // Lets the window handle the events waiting for it, once, and returns.
    virtual void ProcessMessages() = 0;

    // Puts path (file-system encoding) into the window's file label.
    virtual void SetFileLabel(const std::string &path) = 0;

    // The folder holding the running executable.
    virtual std::string ExecutableFolder() = 0;
};

// Installs window as the one the store talks to; nullptr removes it.
void SetParamWindow(TParamWindow *window);

// The installed window, or nullptr.
TParamWindow *ParamWindow();

// Shows a message through the installed window, if any.
void ShowParamMessage(const std::string &text, const std::string &path);

// Processes the window's pending events through the installed window, if any.
void ProcessPendingMessages();

// Sets the window's file label through the installed window, if any.
void SetParamFileLabel(const std::string &path);

// The executable's folder: the installed window's answer, or the running process's own.
std::string ExecutableFolder();
