// Functions the program binds at run time (GetProcAddress) are called through
// pointer types of its own. On i686 such a type must carry the callee's
// calling convention: a pointer declared without WINAPI compiles, links, and
// corrupts the stack at the first call. x86_64 has one convention, so its
// build cannot show the fault; the i686 build refuses it here instead.
//
// GCC's std::is_same ignores the calling convention of a function pointer
// type, while an implicit conversion between two conventions is refused, so
// both are asked: the same parameter and result types, and the same
// convention.
#pragma once

#include <type_traits>

namespace zel {

template <typename Ours, typename Declared>
inline constexpr bool kBindsAs =
    std::is_same_v<Ours, Declared> && std::is_convertible_v<Declared, Ours>;

}  // namespace zel

// Fails the build when the pointer type Ours is not exactly the system
// header's declaration of the function NAME.
#define ZEL_ASSERT_BINDS_AS(Ours, NAME)                                 \
    static_assert(::zel::kBindsAs<Ours, decltype(&::NAME)>,             \
                  #NAME ": the pointer type it is bound through is not " \
                        "the system header's declaration")
