// windows.h as this project includes it: no min and max macros, and without the ReplaceFile
// macro, which would otherwise rename ParamFs::ReplaceFile to ReplaceFileA in some files only.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#undef ReplaceFile
