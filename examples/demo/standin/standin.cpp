// Stands in for ConsoleOne.exe (and, built with STANDIN_RCONJ, RConJ.exe) in
// the demo installation on Windows: says what the real program would do, on
// standard output when there is one and in a message box.
#include <windows.h>

#include <cstdio>
#include <cstring>

// The folder of this exe, without its last "\bin" part: the installation.
void InstallationFolder(char* path, DWORD size) {
  DWORD n = GetModuleFileNameA(nullptr, path, size);
  if (n == 0 || n >= size) {
    path[0] = '\0';
    return;
  }
  char* slash = strrchr(path, '\\');
  if (slash) *slash = '\0';
  slash = strrchr(path, '\\');
  if (slash && lstrcmpiA(slash, "\\bin") == 0) *slash = '\0';
}

#ifndef STANDIN_RCONJ
// The names of the folders in BASE\snapins, blank-separated.
void ActiveSnapins(const char* base, char* out, size_t size) {
  char pattern[MAX_PATH];
  WIN32_FIND_DATAA found;
  out[0] = '\0';
  if (snprintf(pattern, sizeof pattern, "%s\\snapins\\*", base) >= static_cast<int>(sizeof pattern)) return;
  HANDLE h = FindFirstFileA(pattern, &found);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || strcmp(found.cFileName, ".") == 0 ||
        strcmp(found.cFileName, "..") == 0)
      continue;
    size_t used = strlen(out);
    if (used + strlen(found.cFileName) + 2 > size) break;
    snprintf(out + used, size - used, "%s%s", used ? " " : "", found.cFileName);
  } while (FindNextFileA(h, &found));
  FindClose(h);
}
#endif

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  (void)instance;
  (void)previous;
  (void)show;
  char text[8192];
#ifdef STANDIN_RCONJ
  const char* title = "RConJ (demo)";
  snprintf(text, sizeof text, "RConJ (demo) started with: %s", commandLine);
#else
  (void)commandLine;
  const char* title = "Stand-in for Novell ConsoleOne (demo)";
  char base[MAX_PATH];
  char active[4096];
  InstallationFolder(base, sizeof base);
  ActiveSnapins(base, active, sizeof active);
  snprintf(text, sizeof text, "Stand-in for Novell ConsoleOne (demo) started on %s\nSnap-ins ConsoleOne would load: %s",
           base, active);
#endif
  // A GUI program has standard output only when its starter gave it one.
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out != nullptr && out != INVALID_HANDLE_VALUE) {
    DWORD written;
    WriteFile(out, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
    WriteFile(out, "\r\n", 2, &written, nullptr);
  }
  MessageBoxA(nullptr, text, title, MB_OK | MB_ICONINFORMATION);
  return 0;
}
