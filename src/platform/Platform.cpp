#include "platform/Platform.h"

#include <algorithm>

namespace platform {

namespace {
Platform* g_instance = nullptr;
}

Platform& Platform::Get() { return g_instance != nullptr ? *g_instance : NativePlatform(); }

void Platform::SetInstance(Platform* instance) { g_instance = instance; }

namespace {
bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
}  // namespace

bool IsSchemeText(std::string_view text) {
  // One letter is a drive ("C:"), not a scheme.
  return text.size() >= 2 && std::all_of(text.begin(), text.end(), [](char c) {
           return IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
         });
}

bool HasUrlScheme(const std::string& text) {
  const std::size_t colon = text.find("://");
  return colon != std::string::npos && IsAsciiLetter(text[0]) &&
         IsSchemeText(std::string_view(text).substr(0, colon));
}

}  // namespace platform
