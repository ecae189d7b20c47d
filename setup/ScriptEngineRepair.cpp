// Re-registering the JScript engine when its class is missing.
#include "setup/ScriptEngineRepair.h"

#include <windows.h>
#include <objbase.h>

namespace {

// {F414C260-6AC0-11CF-B6D1-00AA00BBBB58}, the JScript language engine.
const CLSID kJScriptClass = {0xF414C260, 0x6AC0, 0x11CF, {0xB6, 0xD1, 0x00, 0xAA, 0x00, 0xBB, 0xBB, 0x58}};
const DWORD kMinimumMajorVersion = 6;

typedef HRESULT(WINAPI *DllRegisterServerProc)(void);
typedef HANDLE(WINAPI *CreateActCtxWProc)(PCACTCTXW pActCtx);
typedef BOOL(WINAPI *ActivateActCtxProc)(HANDLE hActCtx, ULONG_PTR *lpCookie);
typedef BOOL(WINAPI *DeactivateActCtxProc)(DWORD dwFlags, ULONG_PTR ulCookie);
typedef void(WINAPI *ReleaseActCtxProc)(HANDLE hActCtx);

// An export as the function type it has (through the generic function type,
// which converts to any other).
template <class TProc>
TProc ProcAddress(HMODULE hModule, LPCSTR pszName) {
  return hModule ? reinterpret_cast<TProc>(reinterpret_cast<void (*)(void)>(GetProcAddress(hModule, pszName))) : NULL;
}

// Loads the engine's library with the program's own activation context (from
// its manifest) active, or plainly where the system has no activation
// contexts.
HMODULE LoadEngineLibrary() {
  HMODULE hKernel = GetModuleHandleW(TEXT("kernel32.dll"));
  CreateActCtxWProc pfnCreate = ProcAddress<CreateActCtxWProc>(hKernel, "CreateActCtxW");
  ActivateActCtxProc pfnActivate = ProcAddress<ActivateActCtxProc>(hKernel, "ActivateActCtx");
  DeactivateActCtxProc pfnDeactivate = ProcAddress<DeactivateActCtxProc>(hKernel, "DeactivateActCtx");
  ReleaseActCtxProc pfnRelease = ProcAddress<ReleaseActCtxProc>(hKernel, "ReleaseActCtx");
  if (!pfnCreate || !pfnActivate || !pfnDeactivate || !pfnRelease) return LoadLibraryW(TEXT("JScript.dll"));

  WCHAR szProgram[MAX_PATH] = {0};
  GetModuleFileNameW(NULL, szProgram, MAX_PATH);
  ACTCTXW actCtx = {};
  actCtx.cbSize = sizeof(actCtx);
  actCtx.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
  actCtx.lpSource = szProgram;
  actCtx.hModule = GetModuleHandleW(NULL);
  actCtx.lpResourceName = MAKEINTRESOURCEW(1);
  HANDLE hActCtx = pfnCreate(&actCtx);
  ULONG_PTR ulCookie = 0;
  const bool bActive = hActCtx != INVALID_HANDLE_VALUE && pfnActivate(hActCtx, &ulCookie);
  HMODULE hLibrary = LoadLibraryW(TEXT("JScript.dll"));
  if (bActive) pfnDeactivate(0, ulCookie);
  if (hActCtx != INVALID_HANDLE_VALUE) pfnRelease(hActCtx);
  return hLibrary;
}

}  // namespace

void RepairScriptEngineRegistration() {
  if (LOBYTE(LOWORD(GetVersion())) < kMinimumMajorVersion) return;
  CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
  IUnknown *pEngine = NULL;
  HMODULE hEngineLibrary = NULL;
  const HRESULT hr = CoCreateInstance(kJScriptClass, NULL, CLSCTX_SERVER, IID_IUnknown, (void **)&pEngine);
  if (hr == REGDB_E_CLASSNOTREG) {
    hEngineLibrary = LoadEngineLibrary();
    if (hEngineLibrary) {
      DllRegisterServerProc pfnRegister = ProcAddress<DllRegisterServerProc>(hEngineLibrary, "DllRegisterServer");
      if (pfnRegister) {
        try {
          pfnRegister();
        } catch (...) {
        }
      }
    }
  }
  if (pEngine) {
    try {
      pEngine->Release();
    } catch (...) {
    }
  }
  if (hEngineLibrary) FreeLibrary(hEngineLibrary);
  CoUninitialize();
}
