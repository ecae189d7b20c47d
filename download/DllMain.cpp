// The download library's entry point: the framework initialises the
// application object on load and ends it on unload.
#include "afx/CWinApp.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID lpReserved) {
  return AfxDllMain(hInstance, dwReason, lpReserved);
}
