#include "platform/Platform.h"

namespace platform {

namespace {
Platform* g_instance = nullptr;
}

Platform& Platform::Get() { return g_instance != nullptr ? *g_instance : NativePlatform(); }

void Platform::SetInstance(Platform* instance) { g_instance = instance; }

}  // namespace platform
