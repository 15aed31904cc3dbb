# The second pilot's record the demo compares with (tools/demo/second-pilot/)
# flies the course the demo's race server gives today: make_demo_course writes
# it again, and its entries must be the ones the record's course.txt received.
# When they differ, tools/demo/make-second-pilot.sh flies the record again.
#   -DTOOL=make_demo_course -DRECORD=folder -DWORK=folder
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${TOOL} ${WORK}/demo.course ${WORK}/demo.csv RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "make_demo_course failed (${rc})")
endif()
# One entry a line, comments and blank lines aside: the entries joined by ";".
file(READ ${WORK}/demo.course text)
string(REGEX REPLACE "#[^\n]*" "" text "${text}")
string(STRIP "${text}" text)
string(REGEX REPLACE "\n+" ";" entries "${text}")
file(READ ${RECORD}/course.txt received)
string(STRIP "${received}" received)
if(NOT received STREQUAL "Race start info: ${entries}")
  message(FATAL_ERROR "tools/demo/second-pilot/course.txt is not the demo's course any more "
                      "(run tools/demo/make-second-pilot.sh):\n  record: ${received}\n  demo:   Race start info: ${entries}")
endif()
