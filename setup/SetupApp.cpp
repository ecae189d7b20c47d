#include "setup/SetupApp.h"

#include "setup/SetupRun.h"

namespace {

// Owns the run object while it exists; at process exit it deletes an object
// that a run left behind.
class CSetupRunOwner {
 public:
  ~CSetupRunOwner() { Reset(nullptr); }
  void Reset(CSetupRun *pRun) {
    if (pRun == m_pRun) return;
    delete m_pRun;
    m_pRun = pRun;
  }

 private:
  CSetupRun *m_pRun = nullptr;
};

CSetupRunOwner g_runOwner;

}  // namespace

CSetupApp::CSetupApp() : CWinApp(TEXT("Setup")), m_pfnCreateSetupRun(CreateSetupRun) {}

BOOL CSetupApp::InitInstance() {
  CSetupRun *pRun = m_pfnCreateSetupRun();
  g_runOwner.Reset(pRun);
  g_pCurrentSetupRun = pRun;
  HRESULT hr = pRun->Initialize();
  if (pRun->m_nFlags != SETUP_FLAG_USAGE && SUCCEEDED(hr)) {
    hr = pRun->RunDownloadPackage();
    if (SUCCEEDED(hr)) pRun->InstallProductPackage();
  }
  g_pCurrentSetupRun = nullptr;
  g_runOwner.Reset(nullptr);
  return FALSE;
}
