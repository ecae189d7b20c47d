#include "afx/CWinApp.h"

#include <cstdlib>
#include <cstring>

namespace {

CWinApp *g_pAfxApp = nullptr;
HINSTANCE g_hAfxInstance = nullptr;
HINSTANCE g_hAfxResource = nullptr;

LPWSTR Duplicate(LPCWSTR text) {
  if (!text) return nullptr;
  size_t bytes = (static_cast<size_t>(lstrlenW(text)) + 1) * sizeof(WCHAR);
  auto *copy = static_cast<LPWSTR>(malloc(bytes));
  if (copy) memcpy(copy, text, bytes);
  return copy;
}

}  // namespace

CWinApp::CWinApp(LPCWSTR lpszAppName)
    : m_pszAppName(Duplicate(lpszAppName)), m_pszRegistryKey(nullptr), m_hInstance(nullptr) {
  g_pAfxApp = this;
}

CWinApp::~CWinApp() {
  free(const_cast<LPWSTR>(m_pszAppName));
  free(const_cast<LPWSTR>(m_pszRegistryKey));
  if (g_pAfxApp == this) g_pAfxApp = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

int CWinApp::Run() { return ExitInstance(); }

void CWinApp::SetRegistryKey(LPCWSTR lpszRegistryKey) {
  free(const_cast<LPWSTR>(m_pszRegistryKey));
  m_pszRegistryKey = Duplicate(lpszRegistryKey);
}

CWinApp *AfxGetApp() { return g_pAfxApp; }

HINSTANCE AfxGetInstanceHandle() { return g_hAfxInstance ? g_hAfxInstance : GetModuleHandleW(nullptr); }

HINSTANCE AfxGetResourceHandle() { return g_hAfxResource ? g_hAfxResource : AfxGetInstanceHandle(); }

void AfxSetResourceHandle(HINSTANCE hResource) { g_hAfxResource = hResource; }

int AfxWinMain(HINSTANCE hInstance) {
  g_hAfxInstance = hInstance;
  CWinApp *app = AfxGetApp();
  if (!app) return 0;
  app->m_hInstance = hInstance;
  if (!app->InitInstance()) {
    app->ExitInstance();
    return 0;
  }
  return app->Run();
}

BOOL AfxDllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID lpReserved) {
  CWinApp *app = AfxGetApp();
  switch (dwReason) {
    case DLL_PROCESS_ATTACH:
      g_hAfxInstance = hInstance;
      if (app) {
        app->m_hInstance = hInstance;
        return app->InitInstance();
      }
      return TRUE;
    case DLL_PROCESS_DETACH:
      if (app) app->ExitInstance();
      return TRUE;
    default:
      return TRUE;
  }
}
