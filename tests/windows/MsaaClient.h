// What the probe and the suite share of a screen reader's side of MSAA.
#pragma once

#include "platform/win32/WinApi.h"

#include <ole2.h>
#include <oleacc.h>

#include <string>

// The VARIANT that names a child of an object (CHILDID_SELF: the object).
inline VARIANT Child(long id) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = id;
  return v;
}

// A text the object gave, freed; empty where it gave none.
inline std::string Narrow(BSTR text) {
  if (text == nullptr) return std::string();
  char ansi[1024] = {};
  WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, sizeof ansi, nullptr, nullptr);
  SysFreeString(text);
  return ansi;
}

// The object a screen reader gets for a window's client area; null where none.
inline IAccessible* AccessibleOf(HWND h) {
  IAccessible* acc = nullptr;
  if (FAILED(AccessibleObjectFromWindow(h, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                        reinterpret_cast<void**>(&acc)))) {
    return nullptr;
  }
  return acc;
}
