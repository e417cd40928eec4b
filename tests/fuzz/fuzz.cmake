# The libFuzzer target over the 14 C exports, built with clang from every
# library source (the C entry points included) so that the calls reach the
# library in-process and every object carries the sanitizer and coverage
# instrumentation. Not part of the normal build: configure with
#   CC=clang CXX=clang++ cmake -DNGTHERM_FUZZ=ON -DNGTHERM_TESTS=OFF ...
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "NGTHERM_FUZZ needs clang (libFuzzer): configure with CXX=clang++")
endif()

# Every source folder under src/, present and future, and the entry points
# whatever their file names.
file(GLOB_RECURSE NGTHERM_FUZZ_LIBRARY_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/*.cpp)
set(NGTHERM_FUZZ_SANITIZERS address,undefined)

add_library(ngtherm_fuzz_library STATIC ${NGTHERM_FUZZ_LIBRARY_SOURCES})
target_include_directories(ngtherm_fuzz_library
  PUBLIC ${PROJECT_SOURCE_DIR}/include
  PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_compile_options(ngtherm_fuzz_library PRIVATE ${NGTHERM_WARNINGS}
  -fsanitize=fuzzer-no-link,${NGTHERM_FUZZ_SANITIZERS}
  -fno-sanitize-recover=all -fno-omit-frame-pointer -g)

# Comparison tracing (trace-cmp) calls a hook at every integer comparison, and
# the numerical code compares loop counters in its innermost loops: under it a
# traced envelope took 4.5 times as long. Its guidance is worth that only where
# the inputs are parsed and checked (the C entry points), so the solvers go
# without it and the fuzzer runs about four times as many inputs.
foreach(source IN LISTS NGTHERM_FUZZ_LIBRARY_SOURCES)
  if(NOT source MATCHES "/src/api/")
    set_property(SOURCE ${source} APPEND PROPERTY COMPILE_OPTIONS -fno-sanitize-coverage=trace-cmp)
  endif()
endforeach()

add_executable(ngtherm_exports_fuzzer ${CMAKE_CURRENT_LIST_DIR}/exports_fuzzer.cpp)
target_link_libraries(ngtherm_exports_fuzzer PRIVATE ngtherm_fuzz_library)
# The list of the exports (api/export_list.h).
target_include_directories(ngtherm_exports_fuzzer PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_compile_options(ngtherm_exports_fuzzer PRIVATE ${NGTHERM_WARNINGS}
  -fsanitize=fuzzer,${NGTHERM_FUZZ_SANITIZERS}
  -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
target_link_options(ngtherm_exports_fuzzer PRIVATE -fsanitize=fuzzer,${NGTHERM_FUZZ_SANITIZERS})
