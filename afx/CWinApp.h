// The application object and the module it belongs to. Each module (the
// program, each library) links its own copy of this framework, so it has its
// own application object and its own current resource module.
#pragma once

#include <windows.h>

class CWinApp {
 public:
  explicit CWinApp(LPCWSTR lpszAppName = nullptr);
  virtual ~CWinApp();

  CWinApp(const CWinApp &) = delete;
  CWinApp &operator=(const CWinApp &) = delete;

  // Runs once when the module starts. A program whose InitInstance returns
  // FALSE ends at once with exit code 0; a library that returns FALSE fails
  // to load.
  virtual BOOL InitInstance();
  // Runs once when the module ends; the program's exit code.
  virtual int ExitInstance();
  // The message loop of a program whose InitInstance returned TRUE. This
  // framework has no windows, so it only ends the instance.
  virtual int Run();

  // Names the registry key under which the application keeps its settings.
  void SetRegistryKey(LPCWSTR lpszRegistryKey);

  LPCWSTR m_pszAppName;
  LPCWSTR m_pszRegistryKey;
  HINSTANCE m_hInstance;
};

// The module's application object (null before it is constructed).
CWinApp *AfxGetApp();
// The module's instance handle, and the module that resources are loaded
// from (the instance unless changed).
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE hResource);

// Entry points, called from the module's own wWinMain or DllMain.
int AfxWinMain(HINSTANCE hInstance);
BOOL AfxDllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID lpReserved);
