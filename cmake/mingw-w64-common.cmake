# Shared by the MinGW-w64 toolchain files, which set TESSAREL_MINGW_TRIPLET and
# CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Windows)

# The -posix compilers: GoogleTest needs std::mutex, which the win32 thread
# model lacks.
set(CMAKE_C_COMPILER ${TESSAREL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESSAREL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TESSAREL_MINGW_TRIPLET}-windres)

# Libraries, headers and CMake packages come from the target's tree only, so
# that the host's Linux GoogleTest is never taken for a Windows one.
set(CMAKE_FIND_ROOT_PATH /usr/${TESSAREL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A static runtime: the executable then runs on a bare Windows, needing no
# MinGW DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# -O2 as the Linux presets build: at -O3 MinGW's GCC 12 reports false
# -Wrestrict warnings inside std::string concatenation (GCC bug 105651), which
# -Werror turns into failures.
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags for Release builds")
