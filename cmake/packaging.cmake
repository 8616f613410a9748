# Installation and packages: a .deb on Linux; on Windows a .zip holding the
# 64-bit and 32-bit executables side by side (make package builds both).
# What the packages say about the tool is set here once, for the .deb, the
# manual page and the zip's README.txt: the version comes from project(), the
# copyright line from LICENSE.
set(TESSAREL_SUMMARY "convert 16-bit RAW sprites to BMP and from BMP or GIF")
set(TESSAREL_DESCRIPTION
"Tessarel is a console tool for a headerless 16-bit RAW picture format used
for sprites: a 5-6-5 colour plane plus a 1-bit transparency plane, with the
size carried in the file name, as in 1(23x23).raw.

It converts RAW files to BMP pairs (the picture and a black-and-white mask),
converts BMP pictures with their masks and GIF pictures (whose transparent
colour becomes the mask) to RAW, and shows a RAW picture beside its mask in
a small preview window. A wildcard pattern converts many files in one run,
each reported on a result line; no partial file ever stands under a final
name.")
# The address the project's commits carry: it has no other.
set(TESSAREL_MAINTAINER
    "The Tessarel authors <maintainers@users.noreply.c-seed-6e05527c.example>")

file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE TESSAREL_COPYRIGHT REGEX "^Copyright \\(c\\) ")
string(REGEX REPLACE "^Copyright \\(c\\) " "" TESSAREL_COPYRIGHT "${TESSAREL_COPYRIGHT}")
# Windows wants four numbers; project() may give fewer.
set(numbers ${PROJECT_VERSION_MAJOR})
foreach(part MINOR PATCH TWEAK)
  if(NOT "${PROJECT_VERSION_${part}}" STREQUAL "")
    list(APPEND numbers ${PROJECT_VERSION_${part}})
  else()
    list(APPEND numbers 0)
  endif()
endforeach()
list(JOIN numbers "," TESSAREL_VERSION_COMMAS)
list(JOIN numbers "." TESSAREL_VERSION_QUAD)
set(generated ${CMAKE_BINARY_DIR}/packaging)
# Files read here rather than through configure_file would otherwise go stale.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
# Package contents must not depend on the builder's umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Fills in @NAME@ for the names listed here and no others: configure_file
# would take the size mask's "@wx@" in "(@wx@h)" for a variable too, and drop
# it. CRLF gives Windows' line ends, which Notepad wants on older systems.
function(tessarel_fill source destination)
  cmake_parse_arguments(PARSE_ARGV 2 fill CRLF "" "")
  file(READ ${source} text)
  foreach(name PROJECT_VERSION TESSAREL_SUMMARY TESSAREL_DESCRIPTION TESSAREL_COPYRIGHT
               TESSAREL_DOC_DIR)
    string(REPLACE "@${name}@" "${${name}}" text "${text}")
  endforeach()
  if(text MATCHES "@[A-Z_]+@")
    message(FATAL_ERROR "${source}: ${CMAKE_MATCH_0} is not a name tessarel_fill knows")
  endif()
  if(fill_CRLF)
    string(REPLACE "\n" "\r\n" text "${text}")
  endif()
  file(WRITE ${destination} "${text}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
endfunction()

if(WIN32)
  enable_language(RC)
  # windres finds the manifest beside the .rc file.
  configure_file(src/app/tessarel.manifest.in ${generated}/tessarel.manifest @ONLY)
  configure_file(src/app/tessarel.rc.in ${generated}/tessarel.rc @ONLY)
  target_sources(Tessarel PRIVATE ${generated}/tessarel.rc)
  set_source_files_properties(${generated}/tessarel.rc PROPERTIES
    OBJECT_DEPENDS ${generated}/tessarel.manifest)
  # The same sources then link to the same bytes: no link time in the header.
  target_link_options(Tessarel PRIVATE LINKER:--no-insert-timestamp)

  # The executables carry the MinGW-w64 runtime, winpthreads and GCC's
  # runtime libraries, statically: their licence notes travel with them.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(TESSAREL_EXE_DIR 64-bit)
  else()
    set(TESSAREL_EXE_DIR 32-bit)
  endif()
  tessarel_fill(${PROJECT_SOURCE_DIR}/cmake/windows-readme.txt ${generated}/README.txt CRLF)
  tessarel_fill(${PROJECT_SOURCE_DIR}/LICENSE ${generated}/LICENSE.txt CRLF)
  install(TARGETS Tessarel RUNTIME DESTINATION ${TESSAREL_EXE_DIR})
  install(FILES ${generated}/README.txt DESTINATION .)
  install(FILES ${generated}/LICENSE.txt DESTINATION licences)
  install(FILES /usr/share/doc/mingw-w64-common/copyright
          DESTINATION licences RENAME mingw-w64-runtime-and-winpthreads.txt)
  install(FILES /usr/share/doc/gcc-mingw-w64-base/copyright
          DESTINATION licences RENAME gcc-runtime-libraries.txt)
else()
  include(GNUInstallDirs)
  set(TESSAREL_DOC_DIR ${CMAKE_INSTALL_FULL_DATAROOTDIR}/doc/tessarel)
  tessarel_fill(${PROJECT_SOURCE_DIR}/docs/Tessarel.1.in ${generated}/Tessarel.1)
  configure_file(cmake/debian-changelog.in ${generated}/changelog @ONLY)
  # Debian's machine-readable copyright file, around the text of LICENSE.
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
  string(REGEX REPLACE "^.*\n(Permission )" "\\1" licence "${licence}")
  string(STRIP "${licence}" licence)
  string(REPLACE "\n\n" "\n.\n" licence "${licence}")
  string(REPLACE "\n" "\n " licence " ${licence}")
  file(CONFIGURE OUTPUT ${generated}/copyright @ONLY CONTENT
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Tessarel
Upstream-Contact: @TESSAREL_MAINTAINER@

Files: *
Copyright: @TESSAREL_COPYRIGHT@
License: Expat
@licence@
")
  # Compressed as Debian wants them: best compression, no name or time inside.
  execute_process(COMMAND gzip -9nkf Tessarel.1 changelog
                  WORKING_DIRECTORY ${generated} COMMAND_ERROR_IS_FATAL ANY)
  # Linux commands are typed in lower case: the command and its page under
  # that name too, as links that install as links.
  file(CREATE_LINK Tessarel ${generated}/tessarel SYMBOLIC)
  file(CREATE_LINK Tessarel.1.gz ${generated}/tessarel.1.gz SYMBOLIC)
  install(TARGETS Tessarel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${generated}/tessarel DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${generated}/Tessarel.1.gz ${generated}/tessarel.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES README.md ${generated}/copyright ${generated}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tessarel)
  # The README's links into docs/ hold in the installed copy too.
  file(GLOB doc_pages CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/*.md)
  install(FILES ${doc_pages} docs/preview.png
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tessarel/docs)
endif()

set(CPACK_PACKAGE_NAME tessarel)
set(CPACK_PACKAGE_VENDOR "The Tessarel authors")
set(CPACK_PACKAGE_CONTACT "${TESSAREL_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${TESSAREL_SUMMARY}")
set(CPACK_PACKAGE_DESCRIPTION "${TESSAREL_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
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
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # libgif and the C++ runtime, as dpkg finds them
  # The preview opens SDL when it is shown, where dpkg cannot see it.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libsdl2-2.0-0 (>= 2.0.12)")
endif()
include(CPack)
