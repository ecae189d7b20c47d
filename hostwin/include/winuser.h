// user32 for the host build.
#pragma once

#include <windef.h>

#ifdef __cplusplus
extern "C" {
#endif

LPWSTR WINAPI CharUpperW(LPWSTR lpsz);
LPWSTR WINAPI CharLowerW(LPWSTR lpsz);
int WINAPI LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax);

#ifdef __cplusplus
}
#endif
