// Exported view functions.
#include <windows.h>
#include <msiquery.h>

#include "hw/msi_view.h"
#include "hw/text.h"

using namespace hw::msi;

namespace {

std::shared_ptr<hw::msi::View> ViewOf(MSIHANDLE handle) { return LookupHandleAs<hw::msi::View>(handle); }

}  // namespace

extern "C" UINT WINAPI MsiViewExecute(MSIHANDLE hView, MSIHANDLE hRecord) {
  std::lock_guard<std::recursive_mutex> api(ApiLock());
  auto view = ViewOf(hView);
  if (!view) return ERROR_INVALID_HANDLE;
  std::shared_ptr<Record> params;
  if (hRecord) {
    params = LookupHandleAs<Record>(hRecord);
    if (!params) return ERROR_INVALID_HANDLE;
  }
  return view->Execute(params.get());
}

extern "C" UINT WINAPI MsiViewFetch(MSIHANDLE hView, MSIHANDLE *phRecord) {
  std::lock_guard<std::recursive_mutex> api(ApiLock());
  if (!phRecord) return ERROR_INVALID_PARAMETER;
  *phRecord = 0;
  auto view = ViewOf(hView);
  if (!view) return ERROR_INVALID_HANDLE;
  std::shared_ptr<Record> record;
  const UINT rc = view->Fetch(record);
  if (rc == ERROR_SUCCESS) *phRecord = AllocHandle(record);
  return rc;
}

extern "C" UINT WINAPI MsiViewClose(MSIHANDLE hView) {
  std::lock_guard<std::recursive_mutex> api(ApiLock());
  auto view = ViewOf(hView);
  return view ? view->Close() : ERROR_INVALID_HANDLE;
}

extern "C" UINT WINAPI MsiViewModify(MSIHANDLE hView, MSIMODIFY eModifyMode, MSIHANDLE hRecord) {
  std::lock_guard<std::recursive_mutex> api(ApiLock());
  auto view = ViewOf(hView);
  auto record = LookupHandleAs<Record>(hRecord);
  if (!view || !record) return ERROR_INVALID_HANDLE;
  return view->Modify(eModifyMode, *record);
}

extern "C" MSIDBERROR WINAPI MsiViewGetErrorW(MSIHANDLE hView, LPWSTR szColumnNameBuffer, DWORD *pcchBuf) {
  std::lock_guard<std::recursive_mutex> api(ApiLock());
  if (!pcchBuf) return MSIDBERROR_INVALIDARG;
  auto view = ViewOf(hView);
  if (!view) return MSIDBERROR_INVALIDARG;
  std::u16string column;
  view->NextError(column, false);
  // An error whose column name does not fit stays for the next call.
  if (column.size() >= *pcchBuf || !szColumnNameBuffer) {
    *pcchBuf = static_cast<DWORD>(column.size());
    return MSIDBERROR_MOREDATA;
  }
  const MSIDBERROR error = view->NextError(column, true);
  hw::CopyOut(column, szColumnNameBuffer, *pcchBuf);
  *pcchBuf = static_cast<DWORD>(column.size());
  return error;
}

extern "C" UINT WINAPI MsiViewGetColumnInfo(MSIHANDLE hView, MSICOLINFO eColumnInfo, MSIHANDLE *phRecord) {
  std::lock_guard<std::recursive_mutex> api(ApiLock());
  if (!phRecord) return ERROR_INVALID_PARAMETER;
  *phRecord = 0;
  auto view = ViewOf(hView);
  if (!view) return ERROR_INVALID_HANDLE;
  if (eColumnInfo != MSICOLINFO_NAMES && eColumnInfo != MSICOLINFO_TYPES) return ERROR_INVALID_PARAMETER;
  std::shared_ptr<Record> record;
  const UINT rc = view->ColumnInfo(eColumnInfo, record);
  if (rc == ERROR_SUCCESS) *phRecord = AllocHandle(record);
  return rc;
}
