# Installation and packages: a .deb on Linux; on Windows a .zip holding the
# 64-bit and 32-bit executables side by side (make package builds both).
if(WIN32)
  # The executables carry the MinGW-w64 runtime, winpthreads and GCC's
  # runtime libraries, statically: their licence notes travel with them.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(TESSAREL_EXE_DIR 64-bit)
  else()
    set(TESSAREL_EXE_DIR 32-bit)
  endif()
  install(TARGETS Tessarel RUNTIME DESTINATION ${TESSAREL_EXE_DIR})
  install(FILES README.md DESTINATION .)
  install(FILES /usr/share/doc/mingw-w64-common/copyright
          DESTINATION licences RENAME mingw-w64-runtime-and-winpthreads.txt)
  install(FILES /usr/share/doc/gcc-mingw-w64-base/copyright
          DESTINATION licences RENAME gcc-runtime-libraries.txt)
else()
  include(GNUInstallDirs)
  install(TARGETS Tessarel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES README.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tessarel)
endif()

set(CPACK_PACKAGE_NAME tessarel)
set(CPACK_PACKAGE_VENDOR "Tessarel")
set(CPACK_PACKAGE_CONTACT "Tessarel developers <tessarel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Converts 16-bit RAW sprites (RGB 5-6-5 plus a 1-bit mask) to and from BMP and GIF")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_SOURCE_DIR}/dist)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME windows)
  # The 32-bit build tree, whose executable joins this one's in the archive.
  set(TESSAREL_PACKAGE_ALSO "" CACHE PATH "Another build tree to install into the package")
  if(TESSAREL_PACKAGE_ALSO)
    set(CPACK_INSTALL_CMAKE_PROJECTS
        "${CMAKE_BINARY_DIR};Tessarel;ALL;/" "${TESSAREL_PACKAGE_ALSO};Tessarel;ALL;/")
  endif()
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # libgif, SDL2, the C++ runtime, as dpkg finds them
endif()
include(CPack)
