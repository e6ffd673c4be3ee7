# Cross-builds for 64-bit Windows with Debian's MinGW-w64 in its POSIX-threads flavour, which
# std::thread and std::mutex need. Everything is linked statically, so the programs run on a
# bare Windows (or Wine) without any MinGW DLL beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(DBP_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${DBP_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DBP_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${DBP_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${DBP_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
