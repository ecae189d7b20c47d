// A library for the module tables: it counts its DllMain calls and lets the
// test look at the state it shares with the program (last error, handles).
#include <windows.h>

namespace {
int g_nAttached = 0;
int *g_pnDetached = nullptr;
}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD dwReason, LPVOID) {
  if (dwReason == DLL_PROCESS_ATTACH) ++g_nAttached;
  if (dwReason == DLL_PROCESS_DETACH && g_pnDetached) ++*g_pnDetached;
#ifdef TESTLIB_REFUSE_ATTACH
  return dwReason != DLL_PROCESS_ATTACH;
#else
  return TRUE;
#endif
}

// Exported undecorated; the program asks for it as _Increment@4.
extern "C" int __stdcall Increment(int value) { return value + 1; }
extern "C" int AttachCount() { return g_nAttached; }
extern "C" void WatchDetach(int *counter) { g_pnDetached = counter; }
extern "C" DWORD LastErrorSeen() { return GetLastError(); }
extern "C" BOOL ReadFirstByte(HANDLE file, char *byte) {
  DWORD read = 0;
  return ReadFile(file, byte, 1, &read, nullptr) && read == 1;
}
