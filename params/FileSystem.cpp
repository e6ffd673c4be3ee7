#include "FileSystem.h"

#include <utility>

namespace ParamFs {

namespace {

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

} // namespace ParamFs
