# What `cmake --install` puts under the prefix: the headers, the shared library
# with the C functions, the static C++ library, the command, a CMake package
# (find_package(ngtherm) gives ngtherm::ngtherm and ngtherm::cxx) and a
# pkg-config file for the C library.
include(CMakePackageConfigHelpers)

set(NGTHERM_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ngtherm)
set(NGTHERM_INSTALLED_TARGETS ngtherm_core)
if(TARGET ngtherm)
  list(APPEND NGTHERM_INSTALLED_TARGETS ngtherm)
endif()
install(TARGETS ${NGTHERM_INSTALLED_TARGETS} EXPORT ngthermTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET ngtherm_cli)
  install(TARGETS ngtherm_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(EXPORT ngthermTargets NAMESPACE ngtherm:: DESTINATION ${NGTHERM_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/ngthermConfig.cmake.in
  ${PROJECT_BINARY_DIR}/ngthermConfig.cmake INSTALL_DESTINATION ${NGTHERM_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ngthermConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/ngthermConfig.cmake ${PROJECT_BINARY_DIR}/ngthermConfigVersion.cmake
  DESTINATION ${NGTHERM_CMAKE_DIR})

if(TARGET ngtherm)
  # The prefix relative to the .pc file, so that `cmake --install --prefix DIR` works.
  file(RELATIVE_PATH NGTHERM_PC_UP /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
  string(REGEX REPLACE "/$" "" NGTHERM_PC_UP "${NGTHERM_PC_UP}")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/ngtherm.pc.in ${PROJECT_BINARY_DIR}/ngtherm.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/ngtherm.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endif()
