// Setup.exe is downloaded by every end user, so it links only the runtime parts it uses. The
// standard library's default terminate handler and its helpers that raise the standard exception
// classes would pull in a symbol demangler and a second (reference-counted) string implementation:
// together more than a third of the program. These replacements keep their contracts (terminate
// ends the process; the helpers raise an exception, which the main sequence reports) without those
// parts. Nothing else in the program refers to the standard exception classes they would raise.
#ifdef _WIN32

#include <cstdlib>
#include <new>
#include <string>

#include <instcompress/Exceptions.h>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace std {

[[noreturn]] void __throw_bad_alloc() { throw std::bad_alloc(); }
// An array too long to allocate: out of memory, as the main sequence reports it.
[[noreturn]] void __throw_bad_array_new_length() { throw std::bad_alloc(); }
[[noreturn]] void __throw_bad_function_call() { throw qvx::Exception("Bad function call"); }
[[noreturn]] void __throw_logic_error(const char* what) { throw qvx::Exception(what); }
[[noreturn]] void __throw_length_error(const char* what) { throw qvx::Exception(what); }
[[noreturn]] void __throw_out_of_range_fmt(const char* format, ...) { throw qvx::Exception(format); }

}  // namespace std

#endif  // _WIN32
