# Installs the build folder BUILD_DIR into the empty prefix PREFIX and checks
# that the tree holds what an installed program needs: both programs (the
# command-line one runs and tells its version), the desktop entry, the icon
# at every size, the guide with every picture it shows, and the examples.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${status})")
endif()

set(expected
    bin/tarvik
    bin/tarvik-cli
    share/applications/tarvik.desktop
    share/icons/hicolor/scalable/apps/tarvik.svg
    share/tarvik/guide/README.md
    share/tarvik/examples/yellowfin_epo_1934_1955.txt
    share/tarvik/examples/schaefer_simulated_1990_2019.txt)
foreach(size 16 32 48 64 128 256)
  list(APPEND expected share/icons/hicolor/${size}x${size}/apps/tarvik.png)
endforeach()
file(READ "${PREFIX}/share/tarvik/guide/README.md" guide)
string(REGEX MATCHALL "\\(images/[^)]+\\)" pictures "${guide}")
foreach(picture IN LISTS pictures)
  string(REGEX REPLACE "^\\((.*)\\)$" "share/tarvik/guide/\\1" path "${picture}")
  list(APPEND expected "${path}")
endforeach()
foreach(path IN LISTS expected)
  if(NOT EXISTS "${PREFIX}/${path}")
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()

file(STRINGS "${PREFIX}/share/applications/tarvik.desktop" names REGEX "^Name=" ENCODING UTF-8)
if(NOT names STREQUAL "Name=Тарвик — оценка запаса и ОДУ")
  message(FATAL_ERROR "the desktop entry's name is «${names}»")
endif()
execute_process(COMMAND "${PREFIX}/bin/tarvik-cli" --version OUTPUT_VARIABLE version
                RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT version STREQUAL "tarvik-cli ${VERSION}\n")
  message(FATAL_ERROR "installed tarvik-cli --version: ${status}, «${version}»")
endif()
list(LENGTH expected count)
message(STATUS "${count} files installed as expected")
