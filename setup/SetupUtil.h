// Helpers of the setup run that need no object: message texts, result codes
// and the parts of a download location.
#pragma once

#include "afx/afxwin.h"

class CSetupUtil {
 public:
  // A Windows or installer error code n > 0 becomes 0x80070000 with the low
  // 16 bits of n; 0 and negative values pass unchanged.
  static HRESULT ToHResult(DWORD dwError);
  // The HRESULT of the thread's last-error code, or E_FAIL when it is 0.
  static HRESULT LastErrorOrFail();

  // A string-table entry of the current resource module with %1, %2, ...
  // replaced by the inserts (missing inserts count as empty text); empty
  // when the entry cannot be formatted.
  static CString LoadFormattedString(UINT nID, LPCWSTR pszInsert1 = nullptr, LPCWSTR pszInsert2 = nullptr,
                                     LPCWSTR pszInsert3 = nullptr, LPCWSTR pszInsert4 = nullptr);
  // The system's text for the low 16 bits of the code, with its line end;
  // empty when the system has none.
  static CString GetSystemMessage(HRESULT hr);

  // The location part of a path or URL, ending in its separator, so that a
  // file name can be appended directly.
  static CString GetParentLocation(LPCWSTR pszValue);
  // The last component of a path or URL, unescaped, quoted when it holds a
  // blank.
  static CString GetLeafName(LPCWSTR pszValue);
};
