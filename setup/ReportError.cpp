// Turning a result code into a message box, or into silence.
#include "setup/SetupRun.h"

namespace {

bool IsCancelCode(DWORD dwCode) {
  return dwCode == ERROR_INSTALL_USEREXIT || dwCode == ERROR_CANCELLED || dwCode == ERROR_REQUEST_ABORTED;
}

bool IsRestartCode(DWORD dwCode) {
  return dwCode == ERROR_SUCCESS_REBOOT_REQUIRED || dwCode == ERROR_SUCCESS_RESTART_REQUIRED ||
         dwCode == ERROR_SUCCESS_REBOOT_INITIATED;
}

}  // namespace

HRESULT CSetupRun::ReportError(HRESULT hr, bool bQuiet) {
  const DWORD dwCode = static_cast<DWORD>(hr) & 0xFFFF;
  if (IsCancelCode(dwCode)) return S_OK;
  const bool bRestart = IsRestartCode(dwCode);
  CString strMessage = GetSystemMessage(hr);
  if (!strMessage.IsEmpty() && !bQuiet) {
    MessageBoxW(nullptr, strMessage, m_strTitle, MB_OK | (bRestart ? MB_ICONINFORMATION : MB_ICONERROR));
  }
  return bRestart ? S_OK : hr;
}
