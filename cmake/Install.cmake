# Install rules: the library (static, or shared with BUILD_SHARED_LIBS=ON), its public headers,
# the CMake package InstCompress (find_package(InstCompress CONFIG) gives InstCompress::instcompress),
# the pkg-config file instcompress.pc, and the programs that were built: qvx, and the launcher Setup
# that `qvx setup build -l` takes.
include(CMakePackageConfigHelpers)

set(INSTCOMPRESS_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/InstCompress)

install(TARGETS ${INSTCOMPRESS_INSTALLED_TARGET} EXPORT InstCompressTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/instcompress/include/instcompress
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} FILES_MATCHING PATTERN "*.h")
install(EXPORT InstCompressTargets NAMESPACE InstCompress:: DESTINATION ${INSTCOMPRESS_CMAKE_DIR})

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/InstCompressConfig.cmake.in
  ${PROJECT_BINARY_DIR}/InstCompressConfig.cmake INSTALL_DESTINATION ${INSTCOMPRESS_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/InstCompressConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/InstCompressConfig.cmake ${PROJECT_BINARY_DIR}/InstCompressConfigVersion.cmake
  DESTINATION ${INSTCOMPRESS_CMAKE_DIR})

# The pkg-config file finds its prefix from its own place, so an installed tree may be moved.
if(BUILD_SHARED_LIBS)
  set(INSTCOMPRESS_PC_CFLAGS "-DINSTCOMPRESS_SHARED")
else()
  set(INSTCOMPRESS_PC_CFLAGS "")
endif()
file(RELATIVE_PATH INSTCOMPRESS_PC_UP "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
configure_file(${CMAKE_CURRENT_LIST_DIR}/instcompress.pc.in ${PROJECT_BINARY_DIR}/instcompress.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/instcompress.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

if(TARGET qvx)
  install(TARGETS qvx RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(TARGET Setup)
  install(TARGETS Setup RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/qvx)
endif()
