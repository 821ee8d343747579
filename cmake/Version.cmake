# The program's version (project(VERSION …)) as a generated header
# "tarvik_version.h" for every target that links tarvik_version.
# TARVIK_LICENCE is the licence line shown by «О программе» and written into
# the package's copyright file.
set(TARVIK_LICENCE
    "GNU General Public License версии 3 или более поздней (GPL-3.0-or-later); текст лицензии — файл COPYING"
    CACHE STRING "Licence line of «О программе» and of the package")
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in
               ${CMAKE_BINARY_DIR}/generated/tarvik_version.h @ONLY)
add_library(tarvik_version INTERFACE)
target_include_directories(tarvik_version INTERFACE ${CMAKE_BINARY_DIR}/generated)
