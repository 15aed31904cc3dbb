# Runs volantis-replay.exe under Wine on a copy of the race record fixture, in
# the record's parent folder (relative paths only), and checks what it printed
# and the CSV it wrote.
#   -DRUNNER= -DTOOL= -DRECORD= -DCOURSE= -DTRACK= -DEXPECTED_CSV= -DWORK=
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/record)
file(COPY ${RECORD}/race.txt ${RECORD}/log.txt ${RECORD}/results.txt DESTINATION ${WORK}/record)
configure_file(${COURSE} ${WORK}/record/course.txt COPYONLY)
configure_file(${TRACK} ${WORK}/record/track.csv COPYONLY)
execute_process(COMMAND ${RUNNER} --timeout 240 --workdir ${WORK} -- ${TOOL} record --csv laps.csv
                RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(code EQUAL 125)
  # The runner's answer on a machine that cannot execute 32-bit programs.
  message(STATUS "skipped: 32-bit Wine cannot run here")
  return()
endif()
if(NOT code EQUAL 0)
  message(FATAL_ERROR "exit code ${code}\nstdout: ${out}\nstderr: ${err}")
endif()
string(REPLACE "\r" "" out "${out}")
foreach(expected IN ITEMS
    "RECORD agrees: 24 events and the results match the record.\n"
    "SPLITS Lap 2 sampled: 8.801 8.801 8.800 8.799 8.801 - - 8.801 8.800 8.800\n"
    "BEST theoretical lap: 86.958 s (interpolated 86.938 s).\n")
  string(FIND "${out}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "stdout lacks '${expected}':\n${out}")
  endif()
endforeach()
file(READ ${WORK}/laps.csv csv)
file(READ ${EXPECTED_CSV} expected_csv)
if(NOT csv STREQUAL expected_csv)
  message(FATAL_ERROR "laps.csv differs from ${EXPECTED_CSV}:\n${csv}")
endif()
