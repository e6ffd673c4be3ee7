#include "FileSystem.h"

#include <cstdlib>
#include <string_view>
#include <utility>

namespace ParamFs {

namespace {

constexpr std::string_view TempSuffix = ".dbp-tmp";

std::string TempPrefix(const std::string &name)
{
    return "." + name + ".";
}

std::function<bool(Op)> &FaultHook()
{
    static std::function<bool(Op)> hook;
    return hook;
}

} // namespace

void SetFaultHook(std::function<bool(Op)> hook)
{
    FaultHook() = std::move(hook);
}

bool Faulted(Op op)
{
    const auto &hook = FaultHook();
    return hook && hook(op);
}

std::string TempName(const std::string &name, unsigned long long processId)
{
    static unsigned long counter = 0;
    return TempPrefix(name) + std::to_string(processId) + "-" + std::to_string(++counter) + std::string(TempSuffix);
}

unsigned long long TempOwner(const std::string &entry, const std::string &name)
{
    const std::string prefix = TempPrefix(name);
    if (entry.size() <= prefix.size() + TempSuffix.size() || entry.compare(0, prefix.size(), prefix) != 0 ||
        entry.compare(entry.size() - TempSuffix.size(), TempSuffix.size(), TempSuffix) != 0)
        return 0;
    return std::strtoull(entry.c_str() + prefix.size(), nullptr, 10);
}

} // namespace ParamFs
