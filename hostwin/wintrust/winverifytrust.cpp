// WinVerifyTrust for the Authenticode action on a file subject.
#include <softpub.h>
#include <winbase.h>
#include <wintrust.h>

#include "hw/authenticode.h"
#include "hw/paths.h"
#include "hw/text.h"
#include "provider_state.h"
#include "security_warning.h"

#include <cstddef>
#include <ctime>
#include <memory>
#include <new>

namespace hw::trust {
namespace {

const GUID kGenericVerifyV2 = WINTRUST_ACTION_GENERIC_VERIFY_V2;

// A member is there when the caller's cbStruct covers it: older callers
// pass smaller structures.
#define HW_HAS_MEMBER(object, member) \
  ((object)->cbStruct >= offsetof(std::remove_pointer_t<decltype(object)>, member) + sizeof((object)->member))

bool ShowsUiOnFailure(HWND window, DWORD uiChoice) {
  if (window == static_cast<HWND>(INVALID_HANDLE_VALUE)) return false;  // no interactive user
  return uiChoice == WTD_UI_ALL || uiChoice == WTD_UI_NOGOOD;
}

Verdict VerifyFileInfo(const WINTRUST_FILE_INFO *file) {
  Verdict verdict;
  X509StorePtr roots = LoadTrustedRoots();
  if (!roots) {
    verdict.result = TRUST_E_SYSTEM_ERROR;
    return verdict;
  }
  HANDLE handle = HW_HAS_MEMBER(file, hFile) ? file->hFile : nullptr;
  if (handle && handle != INVALID_HANDLE_VALUE) {
    HandleSource source(handle);
    if (source.error()) {
      verdict.result = HRESULT_FROM_WIN32(source.error());
      return verdict;
    }
    return VerifyFile(source, roots.get(), time(nullptr));
  }
  HostPath path = ToHostPath(file->pcwszFilePath);
  if (path.error) {
    verdict.result = HRESULT_FROM_WIN32(path.error);
    return verdict;
  }
  FileSource source(path.path);
  if (source.error()) {
    verdict.result = HRESULT_FROM_WIN32(source.error());
    return verdict;
  }
  return VerifyFile(source, roots.get(), time(nullptr));
}

LONG VerifyTrust(HWND window, GUID *action, WINTRUST_DATA *data) {
  if (!action || !data) return E_INVALIDARG;
  if (*action != kGenericVerifyV2) return TRUST_E_PROVIDER_UNKNOWN;
  if (!HW_HAS_MEMBER(data, pFile)) return E_INVALIDARG;
  const DWORD stateAction = HW_HAS_MEMBER(data, dwStateAction) ? data->dwStateAction : WTD_STATEACTION_IGNORE;
  const bool keepsState = HW_HAS_MEMBER(data, hWVTStateData);

  if (stateAction == WTD_STATEACTION_CLOSE || stateAction == WTD_STATEACTION_AUTO_CACHE_FLUSH) {
    if (keepsState) {
      ReleaseState(data->hWVTStateData);
      data->hWVTStateData = nullptr;
    }
    return ERROR_SUCCESS;
  }
  if (stateAction != WTD_STATEACTION_IGNORE && stateAction != WTD_STATEACTION_VERIFY &&
      stateAction != WTD_STATEACTION_AUTO_CACHE)
    return E_INVALIDARG;

  Verdict verdict;
  const WINTRUST_FILE_INFO *file = data->pFile;
  std::u16string_view shownPath;
  if (data->dwUnionChoice != WTD_CHOICE_FILE) {
    verdict.result = TRUST_E_SUBJECT_FORM_UNKNOWN;  // catalogs, blobs and the rest are not served here
  } else if (!file || !HW_HAS_MEMBER(file, pcwszFilePath) || !file->pcwszFilePath) {
    verdict.result = E_INVALIDARG;
  } else {
    shownPath = View(file->pcwszFilePath);
    verdict = VerifyFileInfo(file);
  }

  if (FAILED(verdict.result) && ShowsUiOnFailure(window, data->dwUIChoice)) {
    RecordSecurityWarning(shownPath, verdict.result);
  }
  if (stateAction != WTD_STATEACTION_IGNORE && keepsState) {
    data->hWVTStateData = KeepState(std::make_unique<ProviderState>(verdict, data, *action));
  }
  return verdict.result;
}

}  // namespace
}  // namespace hw::trust

extern "C" LONG WINAPI WinVerifyTrust(HWND hwnd, GUID *pgActionID, LPVOID pWVTData) {
  LONG result;
  try {
    result = hw::trust::VerifyTrust(hwnd, pgActionID, static_cast<WINTRUST_DATA *>(pWVTData));
  } catch (const std::bad_alloc &) {
    result = E_OUTOFMEMORY;
  } catch (...) {
    result = TRUST_E_SYSTEM_ERROR;
  }
  SetLastError(static_cast<DWORD>(result));
  return result;
}
