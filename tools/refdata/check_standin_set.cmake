# Rebuilds the stand-in reference set from tests/fixtures/sim into a scratch
# folder and fails when it differs from src/validation/data/standin: the data the
# module is built with must be exactly what the stand-in installation holds.
#   cmake -DTOOL=<volantis_refdata> -DSOURCE_DIR=<project> -DSCRATCH=<folder> -P check_standin_set.cmake
file(REMOVE_RECURSE "${SCRATCH}")
file(MAKE_DIRECTORY "${SCRATCH}")
execute_process(
  COMMAND "${TOOL}" set tests/fixtures/sim tools/refdata/rows "${SCRATCH}"
  WORKING_DIRECTORY "${SOURCE_DIR}"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "volantis_refdata failed: ${result}")
endif()
foreach(name aircraft0.tsv aircraft1.tsv aircraft2.tsv aircraft3.tsv aircraft4.tsv air_digests.tsv)
  file(READ "${SCRATCH}/${name}" built)
  file(READ "${SOURCE_DIR}/src/validation/data/standin/${name}" stored)
  if(NOT built STREQUAL stored)
    message(FATAL_ERROR "src/validation/data/standin/${name} is out of date; rebuild it with:\n"
                        "  volantis_refdata set tests/fixtures/sim tools/refdata/rows src/validation/data/standin")
  endif()
endforeach()
