# 64-bit Windows executables with MinGW-w64; tests run under 64-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TESSAREL_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# Debian keeps the 64-bit loader off PATH. /usr/bin/wine is not used: it
# prefers a 32-bit loader whenever one is installed.
find_program(TESSAREL_WINE64 NAMES wine64 PATHS /usr/lib/wine /usr/lib64/wine)
if(TESSAREL_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR env WINEDEBUG=-all ${TESSAREL_WINE64})
endif()
