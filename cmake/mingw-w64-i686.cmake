# 32-bit Windows executables with MinGW-w64; tests run under 32-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TESSAREL_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# 4 GiB of address space on 64-bit Windows instead of 2: GDI+ holds a picture
# whole, so this sets the largest picture the 32-bit executable converts.
set(CMAKE_EXE_LINKER_FLAGS_INIT "${CMAKE_EXE_LINKER_FLAGS_INIT} -Wl,--large-address-aware")

# The 32-bit loader, which wine32 installs; /usr/bin/wine is not used, as it
# picks a loader by what is installed rather than by the executable.
find_program(TESSAREL_WINE32 NAMES wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(TESSAREL_WINE32)
  set(CMAKE_CROSSCOMPILING_EMULATOR env WINEDEBUG=-all ${TESSAREL_WINE32})
endif()
