// Owned strings of the download library: newly allocated, zero-terminated
// UTF-16 texts that their holder frees. A null pointer is "absent", which
// differs from the empty string.
#pragma once

#include <windows.h>

// A copy of pszText that the caller frees with FreeOwnedString; null when
// pszText is null or memory runs out.
LPWSTR DuplicateOwnedString(LPCWSTR pszText);

// Frees a string from DuplicateOwnedString (or one allocated with malloc);
// null is allowed.
void FreeOwnedString(LPWSTR pszText);

// Puts pszValue (owned, or null) into a slot and frees what the slot held.
void StoreOwnedString(LPWSTR &pszSlot, LPWSTR pszValue);
