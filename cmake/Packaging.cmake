# The pilots' package of a Windows build: Volantis.dll and the pilot's guide,
# volantis-replay.exe and the race director's guide, in one ZIP, Volantis-<version>-win32.zip, made by CPack (the `package` target, or
# `cpack` in the build folder). The release comes from the win32-release preset,
# which carries the published reference set; only what the pilot installs goes in.
# tools/release checks the package; tools/ci/release-checks.sh builds and checks it.
# That preset's package target packs the module and the tool built before (the
# build preset builds only those two) instead of building all the tests first:
#   cmake --preset win32-release && cmake --build --preset win32-release
#   cmake --build --preset win32-release --target package
if(NOT WIN32)
  return()
endif()

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(_package_platform win32)
else()
  set(_package_platform win64)
endif()

# The guide as a text file with Windows line ends, so any editor shows it.
set(_pilots_guide ${CMAKE_BINARY_DIR}/package/Pilots-Guide.txt)
configure_file(${PROJECT_SOURCE_DIR}/docs/pilots-guide.md ${_pilots_guide} @ONLY NEWLINE_STYLE CRLF)

# The module alone: its import library is no part of the package.
install(TARGETS volantis_dll
  RUNTIME DESTINATION . COMPONENT pilot
  ARCHIVE DESTINATION lib COMPONENT development EXCLUDE_FROM_ALL)
install(FILES ${_pilots_guide} DESTINATION . COMPONENT pilot)

# For race directors: the replay tool (linked statically, it needs no other file)
# and its guide, also with Windows line ends.
set(_directors_guide ${CMAKE_BINARY_DIR}/package/Race-Directors-Guide.txt)
configure_file(${PROJECT_SOURCE_DIR}/docs/race-directors-guide.md ${_directors_guide} @ONLY NEWLINE_STYLE CRLF)
install(TARGETS volantis-replay RUNTIME DESTINATION . COMPONENT pilot)
install(FILES ${_directors_guide} DESTINATION . COMPONENT pilot)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Volantis)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME Volantis-${PROJECT_VERSION}-${_package_platform})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_COMPONENTS_ALL pilot)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
# The module ships without its debugging symbols.
set(CPACK_STRIP_FILES ON)
include(CPack)
