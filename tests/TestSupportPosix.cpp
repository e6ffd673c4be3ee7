#include "TestSupport.h"

#include <unistd.h>

// The test runner that started this program outlives every test.
TOtherLiveProcess::TOtherLiveProcess() : id_(static_cast<unsigned long>(::getppid())) {}

TOtherLiveProcess::~TOtherLiveProcess() = default;

std::filesystem::path RunningExecutable()
{
    return std::filesystem::canonical("/proc/self/exe");
}
