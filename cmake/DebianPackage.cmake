# CPack configuration of the Debian package qvx, made from a tree already installed under /usr:
#
#   QVX_DEB_ROOT=STAGE QVX_DEB_VERSION=0.2.0 cpack --config cmake/DebianPackage.cmake -B OUTDIR
#
# (environment variables: cpack applies its -D values only after it has read this file). STAGE
# holds usr/... as `DESTDIR=STAGE cmake --install BUILD --prefix /usr` leaves it (manual page
# compressed). CPack writes the files in name order, owned by root, with the time of
# SOURCE_DATE_EPOCH, and finds the packages the programs need with dpkg-shlibdeps.
foreach(variable QVX_DEB_ROOT QVX_DEB_VERSION)
  if("$ENV{${variable}}" STREQUAL "")
    message(FATAL_ERROR "DebianPackage.cmake: the environment variable ${variable} is required")
  endif()
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qvx)
set(CPACK_PACKAGE_VERSION $ENV{QVX_DEB_VERSION})
set(CPACK_PACKAGE_FILE_NAME qvx-$ENV{QVX_DEB_VERSION})  # CPack's working folder; the .deb is named below
set(CPACK_INSTALL_CMAKE_PROJECTS "")
set(CPACK_INSTALLED_DIRECTORIES "$ENV{QVX_DEB_ROOT};/")
set(CPACK_PACKAGING_INSTALL_PREFIX "/")
set(CPACK_PACKAGE_CONTACT "the qvx authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "self-extracting installer bootstrap and SPIS archive tool")
set(CPACK_PACKAGE_DESCRIPTION "qvx creates, lists, tests and extracts SPIS archives (methods NON, RLE,
LZH, CUS and LH5), runs their raw codecs, and builds setup files: a copy of the
launcher Setup with an installer engine and its data appended.
.
The package holds the qvx tool, the native launcher (/usr/libexec/qvx/Setup),
and the InstCompress library for C++20 programs: the static library, its
headers, a CMake package and a pkg-config file.")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_VERSION $ENV{QVX_DEB_VERSION})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
