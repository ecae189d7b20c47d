#include "download/CMsiDownload2.h"

#include <objbase.h>

#include "download/OwnedString.h"

namespace {

const LONG kDefaultBudget = 10;

}  // namespace

CMsiDownload2::CMsiDownload2()
    : CWinApp(TEXT("Setup")),
      m_pszName(nullptr),
      m_pszUrl(nullptr),
      m_pszTarget(nullptr),
      m_pszResult(nullptr),
      m_nBudget(kDefaultBudget),
      m_bComInitialized(FALSE) {}

CMsiDownload2::~CMsiDownload2() {
  StoreOwnedString(m_pszName, nullptr);
  StoreOwnedString(m_pszUrl, nullptr);
  StoreOwnedString(m_pszTarget, nullptr);
  StoreOwnedString(m_pszResult, nullptr);
}

BOOL CMsiDownload2::InitInstance() {
  SetRegistryKey(TEXT("Pellomar"));
  // Leaving an apartment that this library did not enter (another threading
  // model was already chosen) would take the loading thread's own one away.
  m_bComInitialized = SUCCEEDED(CoInitialize(nullptr));
  return TRUE;
}

int CMsiDownload2::ExitInstance() {
  if (m_bComInitialized) {
    CoUninitialize();
    m_bComInitialized = FALSE;
  }
  return CWinApp::ExitInstance();
}
