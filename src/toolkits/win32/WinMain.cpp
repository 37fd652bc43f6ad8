// Entry point of the Windows program.
#include <exception>

#include "app/Quillan.h"
#include "toolkits/win32/Win32Toolkit.h"

// After our headers: <windows.h> defines MB_OK and IDOK as macros.
#include "platform/win32/WinApi.h"

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*show*/) {
  try {
    ui::win32::Win32Application application;
    return QuillanMain(application);
  } catch (const std::exception& e) {
    MessageBoxA(nullptr, e.what(), "Quillan", MB_OK | MB_ICONERROR);
  } catch (...) {
    MessageBoxA(nullptr, "Unknown error", "Quillan", MB_OK | MB_ICONERROR);
  }
  return 1;
}
