// Included ahead of every C++ file of the Windows builds (see CMakeLists.txt).
//
// The library declares std::string and std::wstring as instantiated in
// itself. Its copy of each is one object file whose unwinding tables name
// every member, and the PE linker keeps whatever those tables name, so a
// program that uses three members of std::string carried all of them (and
// of std::wstring): some 70 KB. With the declarations withdrawn, each file
// instantiates the members it uses, and the linker keeps only those. -1 is the
// library's own setting for exactly this (it withdraws only the string ones).
#include <cstddef>
#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE -1
