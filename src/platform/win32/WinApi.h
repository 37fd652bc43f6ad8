// <windows.h> (and the shell's functions) without the macros that clash with
// our names: CreateDirectory, ShellExecute, MessageBox and the like would
// otherwise be renamed to their ...A forms in our own classes. Include it
// after our own headers.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shellapi.h>
#undef CreateDirectory
#undef GetEnvironmentVariable
#undef ShellExecute
#undef FindWindowEx
#undef SetForegroundWindow
#undef MessageBox
