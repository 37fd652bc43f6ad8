// The VARIANT that names a child of an MSAA object (CHILDID_SELF for the
// object itself), as screen readers pass it; for the probe and the suite.
#pragma once

#include <oleauto.h>

inline VARIANT Child(long id) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = id;
  return v;
}
