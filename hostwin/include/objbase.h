// ole32 (COM) for the host build.
#pragma once

#include <windef.h>
#include <winerror.h>
#include <guiddef.h>

#define STDAPI EXTERN_C HRESULT STDMETHODCALLTYPE
#define STDAPI_(type) EXTERN_C type STDMETHODCALLTYPE

#ifdef __cplusplus
extern "C" {
#endif

HRESULT WINAPI CoCreateGuid(GUID *pguid);
int WINAPI StringFromGUID2(REFGUID rguid, LPWSTR lpsz, int cchMax);

#ifdef __cplusplus
}
#endif
