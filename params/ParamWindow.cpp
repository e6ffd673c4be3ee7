#include "ParamWindow.h"

#include "FileSystem.h"

namespace {

TParamWindow *installedWindow = nullptr;

} // namespace

void SetParamWindow(TParamWindow *window)
{
    installedWindow = window;
}

TParamWindow *ParamWindow()
{
    return installedWindow;
}

void ShowParamMessage(const std::string &text, const std::string &path)
{
    if (installedWindow)
        installedWindow->ShowMessage(text, path);
}

void ProcessPendingMessages()
{
    if (installedWindow)
        installedWindow->ProcessMessages();
}

void SetParamFileLabel(const std::string &path)
{
    if (installedWindow)
        installedWindow->SetFileLabel(path);
}

std::string ExecutableFolder()
{
    return installedWindow ? installedWindow->ExecutableFolder() : ParamFs::OwnExecutableFolder();
}
