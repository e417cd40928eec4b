# The export tests load the shared library with dlopen.
target_link_libraries(ngtherm_tests PRIVATE ${CMAKE_DL_LIBS})
