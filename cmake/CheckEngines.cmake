# Refuses an engine file (LIST: a file naming one per line) that includes the assessment layer or
# names its state: the engines never see the assessment. Touches STAMP when
# every file is clean.
file(STRINGS "${LIST}" files)
set(found "")
foreach(file IN LISTS files)
  file(STRINGS "${file}" lines REGEX "AssessmentState|#include[ \t]+\"(\\.\\./)*assessment/")
  if(lines)
    list(APPEND found "${file}")
  endif()
endforeach()
if(found)
  list(JOIN found "\n  " names)
  message(FATAL_ERROR "Engine files that see the assessment's state:\n  ${names}")
endif()
file(TOUCH "${STAMP}")
