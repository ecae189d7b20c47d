// The kernel's string functions.
#include <winbase.h>

#include "hw/text.h"

extern "C" int WINAPI lstrlenW(LPCWSTR lpString) { return static_cast<int>(hw::Length(lpString)); }

extern "C" int WINAPI lstrlenA(LPCSTR lpString) {
  int n = 0;
  if (lpString) {
    while (lpString[n]) ++n;
  }
  return n;
}

extern "C" LPWSTR WINAPI lstrcpyW(LPWSTR lpString1, LPCWSTR lpString2) {
  if (!lpString1 || !lpString2) return nullptr;
  size_t i = 0;
  do {
    lpString1[i] = lpString2[i];
  } while (lpString2[i++]);
  return lpString1;
}

// Copies at most iMaxLength - 1 characters and always terminates; a buffer of
// one character receives just the terminator.
extern "C" LPWSTR WINAPI lstrcpynW(LPWSTR lpString1, LPCWSTR lpString2, int iMaxLength) {
  if (!lpString1 || !lpString2 || iMaxLength <= 0) return lpString1 && lpString2 ? lpString1 : nullptr;
  int i = 0;
  for (; i < iMaxLength - 1 && lpString2[i]; ++i) lpString1[i] = lpString2[i];
  lpString1[i] = 0;
  return lpString1;
}

extern "C" LPWSTR WINAPI lstrcatW(LPWSTR lpString1, LPCWSTR lpString2) {
  if (!lpString1 || !lpString2) return nullptr;
  lstrcpyW(lpString1 + hw::Length(lpString1), lpString2);
  return lpString1;
}

// Both comparisons order by UTF-16 code unit (the case-insensitive one on
// upper case); a null pointer sorts before every string.
extern "C" int WINAPI lstrcmpW(LPCWSTR lpString1, LPCWSTR lpString2) {
  if (!lpString1 || !lpString2) return lpString1 ? 1 : (lpString2 ? -1 : 0);
  int c = hw::View(lpString1).compare(hw::View(lpString2));
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

extern "C" int WINAPI lstrcmpiW(LPCWSTR lpString1, LPCWSTR lpString2) {
  if (!lpString1 || !lpString2) return lpString1 ? 1 : (lpString2 ? -1 : 0);
  return hw::CompareNoCase(hw::View(lpString1), hw::View(lpString2));
}
