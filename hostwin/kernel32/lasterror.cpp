// The thread's last-error code.
#include <winbase.h>

namespace {
thread_local DWORD g_dwLastError = 0;
}

extern "C" DWORD WINAPI GetLastError(void) { return g_dwLastError; }

extern "C" void WINAPI SetLastError(DWORD dwErrCode) { g_dwLastError = dwErrCode; }
