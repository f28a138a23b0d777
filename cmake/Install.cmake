# Install rules: the library (static, or shared with BUILD_SHARED_LIBS=ON), its public headers,
# the CMake package InstCompress (find_package(InstCompress CONFIG) gives InstCompress::instcompress),
# the pkg-config file instcompress.pc, the programs that were built: qvx, and the launcher Setup
# that `qvx setup build -l` takes, and the documentation.
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

# The documentation, in share/doc/qvx: the README and docs/*.md as in the source tree, the
# copyright file, and RELEASE-NOTES.md, the newest section of CHANGELOG.md (what changed in this
# version), cut out whenever CMake runs.
file(READ ${PROJECT_SOURCE_DIR}/CHANGELOG.md qvx_changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md)
string(FIND "${qvx_changelog}" "\n## " qvx_newest_start)
if(qvx_newest_start EQUAL -1)
  message(FATAL_ERROR "CHANGELOG.md has no version section (a line beginning '## ')")
endif()
math(EXPR qvx_newest_start "${qvx_newest_start} + 1")
string(SUBSTRING "${qvx_changelog}" ${qvx_newest_start} -1 qvx_newest)
string(FIND "${qvx_newest}" "\n## " qvx_newest_end)
string(SUBSTRING "${qvx_newest}" 0 ${qvx_newest_end} qvx_newest)
string(STRIP "${qvx_newest}" qvx_newest)
file(WRITE ${PROJECT_BINARY_DIR}/RELEASE-NOTES.md "# qvx release notes\n\n${qvx_newest}\n")
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_BINARY_DIR}/RELEASE-NOTES.md
  ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs FILES_MATCHING PATTERN "*.md")
