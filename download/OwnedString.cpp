#include "download/OwnedString.h"

#include <cstdlib>

LPWSTR DuplicateOwnedString(LPCWSTR pszText) {
  if (!pszText) return nullptr;
  int nLength = lstrlenW(pszText);
  auto *pszCopy = static_cast<LPWSTR>(malloc((static_cast<size_t>(nLength) + 1) * sizeof(WCHAR)));
  if (!pszCopy) return nullptr;
  for (int i = 0; i <= nLength; ++i) pszCopy[i] = pszText[i];
  return pszCopy;
}

void FreeOwnedString(LPWSTR pszText) { free(pszText); }

void StoreOwnedString(LPWSTR &pszSlot, LPWSTR pszValue) {
  if (pszSlot == pszValue) return;
  FreeOwnedString(pszSlot);
  pszSlot = pszValue;
}
