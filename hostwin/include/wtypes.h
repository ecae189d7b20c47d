// Variant type tags for the host build (property sets, summary information).
#pragma once

#include <windef.h>

enum VARENUM {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_LPSTR = 30,
  VT_LPWSTR = 31,
  VT_FILETIME = 64,
  VT_CF = 71
};
typedef unsigned short VARTYPE;
