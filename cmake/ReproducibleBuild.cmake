# Builds other than Debug record no directory of the machine that made them: paths under the
# source tree are written relative to it and paths under the build tree as "build/..." (in
# __FILE__ and in debug information), so the same sources give the same binaries wherever they
# are checked out and built. Debug builds keep absolute paths for the debugger.
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  # GCC applies the last matching map: the build tree (often inside the source tree) comes last.
  set(qvx_release_cxx "$<AND:$<COMPILE_LANGUAGE:CXX>,$<NOT:$<CONFIG:Debug>>>")
  add_compile_options(
    "$<${qvx_release_cxx}:-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=>"
    "$<${qvx_release_cxx}:-ffile-prefix-map=${PROJECT_BINARY_DIR}/=build/>")
endif()

# PE files carry a link time stamp unless told not to: every Windows program of the project is
# linked without one, so that the same sources give the same .exe.
if(WIN32 AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  add_link_options(-Wl,--no-insert-timestamp)
endif()
