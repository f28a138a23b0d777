// INSTCOMPRESS_API marks the declarations a shared InstCompress library exports. The library's own
// build defines INSTCOMPRESS_BUILDING when it makes a shared library; users of a shared library
// define INSTCOMPRESS_SHARED (the installed CMake package and pkg-config file do so). For a static
// library both stay undefined and the mark does nothing on Windows. Elsewhere the library is built
// with hidden visibility, so only what carries the mark is exported.
#pragma once

#if defined(_WIN32)
#if defined(INSTCOMPRESS_BUILDING) && defined(INSTCOMPRESS_SHARED)
#define INSTCOMPRESS_API __declspec(dllexport)
#elif defined(INSTCOMPRESS_SHARED)
#define INSTCOMPRESS_API __declspec(dllimport)
#else
#define INSTCOMPRESS_API
#endif
#elif defined(__GNUC__)
#define INSTCOMPRESS_API __attribute__((visibility("default")))
#else
#define INSTCOMPRESS_API
#endif
