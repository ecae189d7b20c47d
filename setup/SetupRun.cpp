// The setup run's construction, its first step and its configuration.
#include "setup/SetupRun.h"

#include "setup/SingleInstance.h"
#include "setup/resource.h"

CSetupRun *g_pCurrentSetupRun = nullptr;

namespace {

const HRESULT kInstallAlreadyRunning = static_cast<HRESULT>(0x80070652);  // ERROR_INSTALL_ALREADY_RUNNING

// The narrow text of an optional raw-data resource, in the thread's ANSI code
// page; false when the resource is missing or empty.
bool LoadNarrowResource(UINT nID, CString &strText) {
  HINSTANCE hModule = AfxGetResourceHandle();
  HRSRC hResource = FindResourceW(hModule, MAKEINTRESOURCEW(nID), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (!hResource) return false;
  HGLOBAL hData = LoadResource(hModule, hResource);
  DWORD dwSize = SizeofResource(hModule, hResource);
  const char *pData = hData ? static_cast<const char *>(LockResource(hData)) : nullptr;
  if (!pData || dwSize == 0 || dwSize > 0x7FFFFFFF) return false;
  int nLength = MultiByteToWideChar(CP_THREAD_ACP, 0, pData, static_cast<int>(dwSize), nullptr, 0);
  if (nLength <= 0) return false;
  MultiByteToWideChar(CP_THREAD_ACP, 0, pData, static_cast<int>(dwSize), strText.GetBuffer(nLength), nLength);
  strText.ReleaseBuffer(nLength);
  return true;
}

}  // namespace

CSetupRun::CSetupRun() : m_nFlags(0) {}

CSetupRun::~CSetupRun() {}

HRESULT CSetupRun::Initialize() {
  LoadConfiguration();
  m_strTitle = LoadFormattedString(IDS_SETUP_TITLE, m_strProductName);
  m_nFlags = ParseCommandLine();
  HRESULT hr = ToHResult(GetLastError());
  if ((m_nFlags & SETUP_FLAG_USAGE) || FAILED(hr)) {
    ShowUsage(nullptr);
    return hr;
  }
  if (IsSetupRunning()) {
    ReportError(kInstallAlreadyRunning, false);
    return kInstallAlreadyRunning;
  }
  return S_OK;
}

void CSetupRun::LoadConfiguration() {
  CString strName;
  if (LoadNarrowResource(IDR_PRODUCT_NAME, strName)) m_strProductName = strName;
  CString strAddress;
  if (LoadNarrowResource(IDR_PACKAGE_ADDRESS, strAddress)) {
    int nSlash = strAddress.ReverseFind('/');
    m_strDownloadPath = strAddress.Left(nSlash + 1);
    m_strPackageFile = strAddress.Mid(nSlash + 1);
  }
}
