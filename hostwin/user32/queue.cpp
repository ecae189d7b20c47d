// The thread's message queue and the foreground window. hostwin has no
// windows, so the queue is always empty and no window is in front.
#include <windows.h>

extern "C" BOOL WINAPI PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                                    UINT wRemoveMsg) {
  return FALSE;
}

extern "C" HWND WINAPI GetForegroundWindow(void) { return nullptr; }
