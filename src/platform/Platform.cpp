#include "platform/Platform.h"

namespace platform {

namespace {
Platform* g_instance = nullptr;
}

Platform& Platform::Get() { return g_instance != nullptr ? *g_instance : NativePlatform(); }

void Platform::SetInstance(Platform* instance) { g_instance = instance; }

bool HasUrlScheme(const std::string& text) {
  const std::size_t colon = text.find("://");
  if (colon == std::string::npos || colon < 2) return false;
  auto alpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  if (!alpha(text[0])) return false;
  for (std::size_t i = 1; i < colon; ++i) {
    const char c = text[i];
    if (!alpha(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') return false;
  }
  return true;
}

}  // namespace platform
