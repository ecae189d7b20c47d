// The logged-on user.
#include <winbase.h>

#include "hw/config.h"
#include "hw/text.h"

extern "C" BOOL WINAPI GetUserNameW(LPWSTR lpBuffer, LPDWORD pcbBuffer) {
  if (!pcbBuffer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::u16string name = hw::UserName();
  DWORD needed = static_cast<DWORD>(name.size() + 1);
  if (!lpBuffer || *pcbBuffer < needed) {
    *pcbBuffer = needed;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  hw::CopyOut(name, lpBuffer, *pcbBuffer);
  *pcbBuffer = needed;
  return TRUE;
}
