#include "ui/Text.h"

#include <algorithm>

#include "base/Errors.h"

namespace ui {

namespace detail {

namespace {

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

bool AsciiLess(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(AsciiUpper(x)) < static_cast<unsigned char>(AsciiUpper(y));
  });
}

bool AsciiEqual(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return AsciiUpper(x) == AsciiUpper(y); });
}

[[noreturn]] void IndexError(int index) {
  throw EQuillanError("List index out of bounds (" + std::to_string(index) + ")");
}

}  // namespace detail

}  // namespace ui
