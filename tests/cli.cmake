# The ngtherm command's argument parsers are unit-tested inside the test binary,
# and the command itself is run by the tests in tests/cli/.
if(NGTHERM_CLI)
  target_sources(ngtherm_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/cli/common.cpp)
  target_include_directories(ngtherm_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(ngtherm_tests PRIVATE CLI11::CLI11 nlohmann_json::nlohmann_json)
else()
  file(GLOB NGTHERM_CLI_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/cli/*.cpp)
  set_source_files_properties(${NGTHERM_CLI_TEST_SOURCES} PROPERTIES HEADER_FILE_ONLY ON)
endif()
