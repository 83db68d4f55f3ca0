// What the C++ library's own errors raise in the Windows programs.
//
// The library raises its errors through its std::__throw_* functions. Its
// versions build message-carrying exceptions (std::length_error,
// std::system_error...) whose strings, error categories and unwinding tables
// brought some 100 KB of library code into a program of 400 KB, and its
// default terminate handler brings a C++ name demangler (46 KB) to print to a
// console the program does not have. The linker sends every call of those
// functions here instead (-Wl,--wrap, listed beside zellibraryerrors in
// CMakeLists.txt; a wrapper is named __wrap_ and the function's mangled
// name), so that:
// - an allocation that fails or could never succeed (std::bad_alloc,
//   std::bad_array_new_length, std::length_error) raises std::bad_alloc,
//   which is what the program handles;
// - every other library error (a thread that cannot start, an index out of
//   range, an empty std::function called...) raises a plain std::exception:
//   catch (const std::exception&) or catch (...) sees it, a handler for the
//   specific class (std::system_error...) does not;
// - std::terminate aborts at once.
// Every Windows program of the tree links it, so that the tests run what
// ships.
#include <cstdlib>
#include <exception>
#include <new>

#define ZEL_LIBRARY_ERROR(mangledName, ...) \
    extern "C" [[noreturn]] void __wrap_##mangledName(__VA_ARGS__)

// std::__throw_bad_alloc(), std::__throw_bad_array_new_length(),
// std::__throw_length_error(const char*)
ZEL_LIBRARY_ERROR(_ZSt17__throw_bad_allocv) {
    throw std::bad_alloc();
}
ZEL_LIBRARY_ERROR(_ZSt28__throw_bad_array_new_lengthv) {
    throw std::bad_array_new_length();
}
ZEL_LIBRARY_ERROR(_ZSt20__throw_length_errorPKc, const char*) {
    throw std::bad_alloc();
}

// std::__throw_bad_cast(), __throw_bad_exception(), __throw_bad_function_call(),
// __throw_bad_typeid()
ZEL_LIBRARY_ERROR(_ZSt16__throw_bad_castv) {
    throw std::exception();
}
ZEL_LIBRARY_ERROR(_ZSt21__throw_bad_exceptionv) {
    throw std::exception();
}
ZEL_LIBRARY_ERROR(_ZSt25__throw_bad_function_callv) {
    throw std::exception();
}
ZEL_LIBRARY_ERROR(_ZSt18__throw_bad_typeidv) {
    throw std::exception();
}

// std::__throw_domain_error, __throw_invalid_argument, __throw_logic_error,
// __throw_out_of_range, __throw_out_of_range_fmt, __throw_overflow_error,
// __throw_range_error, __throw_runtime_error, __throw_underflow_error (each
// given a const char*), and std::__throw_system_error(int)
ZEL_LIBRARY_ERROR(_ZSt20__throw_domain_errorPKc, const char*) {
    throw std::exception();
}
ZEL_LIBRARY_ERROR(_ZSt24__throw_invalid_argumentPKc, const char*) {
    throw std::exception();
}
ZEL_LIBRARY_ERROR(_ZSt19__throw_logic_errorPKc, const char*) {
    throw std::exception();
}
ZEL_LIBRARY_ERROR(_ZSt20__throw_out_of_rangePKc, const char*) {
    throw std::exception();
}
ZEL_LIBRARY_ERROR(_ZSt24__throw_out_of_range_fmtPKcz, const char*, ...) {
    throw std::exception();
}
ZEL_LIBRARY_ERROR(_ZSt22__throw_overflow_errorPKc, const char*) {
    throw std::exception();
}
ZEL_LIBRARY_ERROR(_ZSt19__throw_range_errorPKc, const char*) {
    throw std::exception();
}
ZEL_LIBRARY_ERROR(_ZSt21__throw_runtime_errorPKc, const char*) {
    throw std::exception();
}
ZEL_LIBRARY_ERROR(_ZSt23__throw_underflow_errorPKc, const char*) {
    throw std::exception();
}
ZEL_LIBRARY_ERROR(_ZSt20__throw_system_errori, int) {
    throw std::exception();
}

// __gnu_cxx::__verbose_terminate_handler(), std::terminate's default
ZEL_LIBRARY_ERROR(_ZN9__gnu_cxx27__verbose_terminate_handlerEv) {
    std::abort();
}
