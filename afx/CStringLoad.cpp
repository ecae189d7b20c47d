// Loading string-table entries, kept apart so that modules that never load
// strings do not need the resource functions.
#include "afx/CString.h"
#include "afx/CWinApp.h"

BOOL CString::LoadString(UINT id) {
  // The table stores at most 4096 characters an entry.
  WCHAR buffer[4097];
  int length = ::LoadStringW(AfxGetResourceHandle(), id, buffer, 4097);
  if (length <= 0) {
    Empty();
    return FALSE;
  }
  *this = CString(buffer, length);
  return TRUE;
}
