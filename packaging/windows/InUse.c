/* The custom action of Quillan's Windows Installer package: before anything is
 * changed, it refuses while the installed Quillan.exe or quillanctl.exe runs
 * (from any session), instead of leaving the old program to be replaced at the
 * next restart. With a user interface it offers Retry; without one (/qn) the
 * installation ends with 1603 and the message in the log.
 *
 * Built by scripts/package/windows.sh:
 *   <arch>-w64-mingw32-gcc -shared -Wl,--kill-at -o InUse.dll InUse.c -lmsi */
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

static const wchar_t *const kPrograms[] = {L"Quillan.exe", L"quillanctl.exe"};

/* A running program's image cannot be opened for writing: the system holds it. */
static BOOL InUse(const wchar_t *path) {
  HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            NULL, OPEN_EXISTING, 0, NULL);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return FALSE;
  }
  DWORD error = GetLastError();
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

/* The first program of the target folder that runs, or NULL. */
static const wchar_t *RunningProgram(MSIHANDLE install, wchar_t *path, DWORD size) {
  DWORD length = size;
  if (MsiGetTargetPathW(install, L"INSTALLDIR", path, &length) != ERROR_SUCCESS) return NULL;
  for (unsigned i = 0; i < sizeof kPrograms / sizeof kPrograms[0]; ++i) {
    if (length + lstrlenW(kPrograms[i]) >= size) return NULL;
    lstrcpyW(path + length, kPrograms[i]);
    if (InUse(path)) return kPrograms[i];
  }
  return NULL;
}

__declspec(dllexport) UINT __stdcall RefuseWhileRunning(MSIHANDLE install) {
  wchar_t path[MAX_PATH + 32];
  const wchar_t *program;
  while ((program = RunningProgram(install, path, MAX_PATH + 32)) != NULL) {
    MSIHANDLE record = MsiCreateRecord(1);
    MsiRecordSetStringW(record, 0,
                        L"[1] is running. Close it (every Quillan window and quillanctl), then "
                        L"choose Retry. Nothing has been changed.");
    MsiRecordSetStringW(record, 1, path);
    /* Without a user interface (/qn) this only logs the message and answers 0. */
    int answer = MsiProcessMessage(install, INSTALLMESSAGE_ERROR | MB_RETRYCANCEL | MB_ICONEXCLAMATION,
                                   record);
    MsiCloseHandle(record);
    if (answer != IDRETRY) return ERROR_INSTALL_FAILURE;
  }
  return ERROR_SUCCESS;
}
