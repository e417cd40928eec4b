# The public C header must be valid C99: compiling this object fails the build
# otherwise. It only compiles; the exports are not linked.
add_library(ngtherm_c_header_check OBJECT ${CMAKE_CURRENT_LIST_DIR}/c/header_compiles.c)
target_include_directories(ngtherm_c_header_check PRIVATE ${PROJECT_SOURCE_DIR}/include)
set_target_properties(ngtherm_c_header_check PROPERTIES
  C_STANDARD 99 C_STANDARD_REQUIRED ON C_EXTENSIONS OFF)
if(CMAKE_C_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_options(ngtherm_c_header_check PRIVATE -Wall -Wextra -Wpedantic -Werror)
endif()
