// LoadStringW over the module's string table: block (id / 16) + 1 of type
// RT_STRING holds 16 counted strings.
#include <windows.h>

#include "hw/resources.h"

extern "C" int WINAPI LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax) {
  if (!lpBuffer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const hw::ResourceEntry *block =
      hw::FindModuleResource(hInstance, RT_STRING, MAKEINTRESOURCEW((uID >> 4) + 1));
  const WCHAR *text = nullptr;
  int length = 0;
  if (block) {
    const auto *p = static_cast<const WCHAR *>(block->data);
    const WCHAR *end = p + block->size / sizeof(WCHAR);
    for (UINT k = 0; p < end; ++k) {
      WORD count = *p++;
      if (k == (uID & 15)) {
        if (p + count <= end) {
          text = p;
          length = count;
        }
        break;
      }
      p += count;
    }
  }
  if (cchBufferMax == 0) {
    // The caller wants a read-only pointer into the table itself.
    *reinterpret_cast<const WCHAR **>(lpBuffer) = text;
    return length;
  }
  if (cchBufferMax < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  int copied = length < cchBufferMax - 1 ? length : cchBufferMax - 1;
  for (int k = 0; k < copied; ++k) lpBuffer[k] = text[k];
  lpBuffer[copied] = 0;
  return copied;
}
