# Fails when a header outside the assessment layer (SOURCE_DIR: the src
# folder) names the assessment's state: the window and the command line hold
# the session handle in their interfaces and reach the state in source files.
file(GLOB_RECURSE headers "${SOURCE_DIR}/*.h")
set(found "")
foreach(header IN LISTS headers)
  if(header MATCHES "/core/assessment/")
    continue()
  endif()
  file(STRINGS "${header}" lines REGEX "AssessmentState|#include[ \t]+\"assessment/state\\.h\"")
  if(lines)
    list(APPEND found "${header}")
  endif()
endforeach()
if(found)
  list(JOIN found "\n  " names)
  message(FATAL_ERROR "Headers outside the assessment layer that name its state:\n  ${names}")
endif()
