// Text rules the list kinds share.
#pragma once

#include <string>

namespace ui {

namespace detail {

// Compare as the lists do: ASCII letters without case.
bool AsciiLess(const std::string& a, const std::string& b);
bool AsciiEqual(const std::string& a, const std::string& b);
// Throws the error a list gives for an index outside it.
[[noreturn]] void IndexError(int index);

}  // namespace detail

}  // namespace ui
