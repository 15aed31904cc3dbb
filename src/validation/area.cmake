# The reference aircraft's value rows and flight-model digests are data files,
# compiled into the module at build time (never read at run time). Which set:
#   standin  - our stand-in installations (tests/fixtures/sim): a full validation
#              passes against them on a development machine (the default);
#   shipped  - the race aircraft's published flight-model digests.
set(VOLANTIS_REFERENCE_SET "standin" CACHE STRING "Reference aircraft data set: standin or shipped")
set_property(CACHE VOLANTIS_REFERENCE_SET PROPERTY STRINGS standin shipped)
if(NOT VOLANTIS_REFERENCE_SET MATCHES "^(standin|shipped)$")
  message(FATAL_ERROR "VOLANTIS_REFERENCE_SET must be standin or shipped, not '${VOLANTIS_REFERENCE_SET}'")
endif()

set(_reference_data_dir ${CMAKE_CURRENT_LIST_DIR}/data)
set(_reference_data_cpp ${CMAKE_CURRENT_BINARY_DIR}/generated/reference_data_${VOLANTIS_REFERENCE_SET}.cpp)
file(GLOB _reference_data_files CONFIGURE_DEPENDS ${_reference_data_dir}/standin/*.tsv
     ${_reference_data_dir}/${VOLANTIS_REFERENCE_SET}/*.tsv)
add_custom_command(
  OUTPUT ${_reference_data_cpp}
  COMMAND ${CMAKE_COMMAND} -DDATA_DIR=${_reference_data_dir} -DSET=${VOLANTIS_REFERENCE_SET}
          -DOUTPUT=${_reference_data_cpp} -P ${CMAKE_CURRENT_LIST_DIR}/generate_reference_data.cmake
  DEPENDS ${_reference_data_files} ${CMAKE_CURRENT_LIST_DIR}/generate_reference_data.cmake
  COMMENT "Generating the ${VOLANTIS_REFERENCE_SET} reference aircraft data"
  VERBATIM)
target_sources(volantis_core PRIVATE ${_reference_data_cpp})
