# 32-bit Windows executables with MinGW-w64. Built only: no emulator is set,
# since a 64-bit-only Wine cannot run them.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TESSAREL_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# 4 GiB of address space on 64-bit Windows instead of 2: GDI+ holds a picture
# whole, so this sets the largest picture the 32-bit executable converts.
set(CMAKE_EXE_LINKER_FLAGS_INIT "${CMAKE_EXE_LINKER_FLAGS_INIT} -Wl,--large-address-aware")
