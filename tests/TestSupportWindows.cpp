#include "TestSupport.h"

#include "WindowsApi.h"

#include <cstdlib>

TOtherLiveProcess::TOtherLiveProcess()
{
    // A suspended copy of this program is alive, and does nothing, until it is ended.
    std::string command = "\"" + RunningExecutable().string() + "\" --gtest_list_tests";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED | CREATE_NO_WINDOW,
                          nullptr, nullptr, &startup, &process)) {
        ADD_FAILURE() << "cannot start " << command << ": error " << ::GetLastError();
        return;
    }
    ::CloseHandle(process.hThread);
    handle_ = process.hProcess;
    id_ = process.dwProcessId;
}

TOtherLiveProcess::~TOtherLiveProcess()
{
    if (!handle_)
        return;
    ::TerminateProcess(handle_, 0);
    ::WaitForSingleObject(handle_, INFINITE);
    ::CloseHandle(handle_);
}

std::filesystem::path RunningExecutable()
{
    return _pgmptr;
}
