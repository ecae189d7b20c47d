// Local memory, as FormatMessageW and CommandLineToArgvW hand it out.
#include <winbase.h>

#include <cstdlib>
#include <cstring>

extern "C" HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes) {
  void *block = (uFlags & LMEM_ZEROINIT) ? calloc(1, uBytes ? uBytes : 1) : malloc(uBytes ? uBytes : 1);
  if (!block) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return block;
}

extern "C" HLOCAL WINAPI LocalFree(HLOCAL hMem) {
  free(hMem);
  return nullptr;
}
