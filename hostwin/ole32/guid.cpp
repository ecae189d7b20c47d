// GUIDs: new random ones and their registry form.
#include <windows.h>
#include <objbase.h>

#include <sys/random.h>

#include <cstdio>

extern "C" HRESULT WINAPI CoCreateGuid(GUID *pguid) {
  if (!pguid) return E_INVALIDARG;
  unsigned char bytes[16];
  for (size_t got = 0; got < sizeof bytes;) {
    ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
    if (n <= 0) return HRESULT_FROM_WIN32(ERROR_GEN_FAILURE);
    got += static_cast<size_t>(n);
  }
  bytes[7] = static_cast<unsigned char>((bytes[7] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  pguid->Data1 = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<DWORD>(bytes[3]) << 24);
  pguid->Data2 = static_cast<WORD>(bytes[4] | (bytes[5] << 8));
  pguid->Data3 = static_cast<WORD>(bytes[6] | (bytes[7] << 8));
  for (int k = 0; k < 8; ++k) pguid->Data4[k] = bytes[8 + k];
  return S_OK;
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case; the result counts
// the terminator, 0 when the buffer is too small.
extern "C" int WINAPI StringFromGUID2(REFGUID rguid, LPWSTR lpsz, int cchMax) {
  char text[40];
  snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", rguid.Data1, rguid.Data2,
           rguid.Data3, rguid.Data4[0], rguid.Data4[1], rguid.Data4[2], rguid.Data4[3], rguid.Data4[4],
           rguid.Data4[5], rguid.Data4[6], rguid.Data4[7]);
  const int length = 38;
  if (!lpsz || cchMax < length + 1) return 0;
  for (int k = 0; k <= length; ++k) lpsz[k] = static_cast<WCHAR>(text[k]);
  return length + 1;
}
