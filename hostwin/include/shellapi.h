// shell32 for the host build.
#pragma once

#include <windef.h>

#ifdef __cplusplus
extern "C" {
#endif

LPWSTR *WINAPI CommandLineToArgvW(LPCWSTR lpCmdLine, int *pNumArgs);

#ifdef __cplusplus
}
#endif
