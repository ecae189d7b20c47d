// ole32 (COM) for the host build.
#pragma once

#include <windef.h>
#include <winerror.h>
#include <guiddef.h>
#include <unknwn.h>
#include <wtypes.h>

#define STDAPI EXTERN_C HRESULT STDMETHODCALLTYPE
#define STDAPI_(type) EXTERN_C type STDMETHODCALLTYPE

#ifdef __cplusplus
extern "C" {
#endif

HRESULT WINAPI CoCreateGuid(GUID *pguid);
int WINAPI StringFromGUID2(REFGUID rguid, LPWSTR lpsz, int cchMax);

// Apartments
typedef enum tagCOINIT {
  COINIT_MULTITHREADED = 0x0,
  COINIT_APARTMENTTHREADED = 0x2,
  COINIT_DISABLE_OLE1DDE = 0x4,
  COINIT_SPEED_OVER_MEMORY = 0x8
} COINIT;

HRESULT WINAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
HRESULT WINAPI CoInitialize(LPVOID pvReserved);
void WINAPI CoUninitialize(void);

// Objects
typedef enum tagCLSCTX {
  CLSCTX_INPROC_SERVER = 0x1,
  CLSCTX_INPROC_HANDLER = 0x2,
  CLSCTX_LOCAL_SERVER = 0x4,
  CLSCTX_REMOTE_SERVER = 0x10
} CLSCTX;
#define CLSCTX_INPROC (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)
#define CLSCTX_SERVER (CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)
#define CLSCTX_ALL (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)

typedef enum tagREGCLS {
  REGCLS_SINGLEUSE = 0,
  REGCLS_MULTIPLEUSE = 1,
  REGCLS_MULTI_SEPARATE = 2,
  REGCLS_SUSPENDED = 4
} REGCLS;

#ifdef __cplusplus
HRESULT WINAPI CoCreateInstance(REFCLSID rclsid, IUnknown *pUnkOuter, DWORD dwClsContext, REFIID riid,
                                LPVOID *ppv);
// Class objects registered here are what CoCreateInstance creates on the
// host until a registry of in-process servers exists; tests use them to
// stand in for registered classes.
HRESULT WINAPI CoRegisterClassObject(REFCLSID rclsid, IUnknown *pUnk, DWORD dwClsContext, DWORD flags,
                                     LPDWORD lpdwRegister);
HRESULT WINAPI CoRevokeClassObject(DWORD dwRegister);
#endif

#ifdef __cplusplus
}
#endif
