// Exported summary information functions. A summary handle works on a copy
// of the properties; MsiSummaryInfoPersist hands them to the database, to be
// written with its next commit (or at once, when the handle opened the
// database by path).
#include <windows.h>
#include <msiquery.h>
#include <wtypes.h>

#include "api_text.h"
#include "hw/msi_handles.h"
#include "hw/msi_database.h"
#include "hw/text.h"

#include <set>

using namespace hw::msi;

namespace {

class SummaryObject : public HandleObject {
 public:
  std::shared_ptr<Database> db;
  bool openedByPath = false;
  UINT updateCount = 0;
  SummaryInfo info;
  std::set<uint32_t> changed;
};

std::shared_ptr<SummaryObject> SummaryOf(MSIHANDLE handle) { return LookupHandleAs<SummaryObject>(handle); }

}  // namespace

extern "C" UINT WINAPI MsiGetSummaryInformationW(MSIHANDLE hDatabase, LPCWSTR szDatabasePath, UINT uiUpdateCount,
                                                 MSIHANDLE *phSummaryInfo) {
  std::lock_guard<std::recursive_mutex> api(ApiLock());
  if (!phSummaryInfo) return ERROR_INVALID_PARAMETER;
  *phSummaryInfo = 0;
  auto object = std::make_shared<SummaryObject>();
  if (hDatabase) {
    object->db = DatabaseFromHandle(hDatabase);
    if (!object->db) return ERROR_INVALID_HANDLE;
  } else {
    if (!szDatabasePath || !*szDatabasePath) return ERROR_INVALID_PARAMETER;
    const OpenMode mode = uiUpdateCount ? OpenMode::Transact : OpenMode::ReadOnly;
    const UINT rc = Database::Open(hw::View(szDatabasePath), mode, u"", object->db);
    if (rc != ERROR_SUCCESS) return rc == ERROR_OPEN_FAILED ? ERROR_INSTALL_PACKAGE_INVALID : rc;
    object->openedByPath = true;
  }
  object->updateCount = uiUpdateCount;
  object->info = object->db->Summary();
  *phSummaryInfo = AllocHandle(object);
  return ERROR_SUCCESS;
}

extern "C" UINT WINAPI MsiSummaryInfoGetPropertyCount(MSIHANDLE hSummaryInfo, UINT *puiPropertyCount) {
  std::lock_guard<std::recursive_mutex> api(ApiLock());
  auto summary = SummaryOf(hSummaryInfo);
  if (!summary) return ERROR_INVALID_HANDLE;
  if (puiPropertyCount) *puiPropertyCount = static_cast<UINT>(summary->info.properties.size());
  return ERROR_SUCCESS;
}

extern "C" UINT WINAPI MsiSummaryInfoGetPropertyW(MSIHANDLE hSummaryInfo, UINT uiProperty, UINT *puiDataType,
                                                  INT *piValue, FILETIME *pftValue, LPWSTR szValueBuf,
                                                  DWORD *pcchValueBuf) {
  std::lock_guard<std::recursive_mutex> api(ApiLock());
  auto summary = SummaryOf(hSummaryInfo);
  if (!summary) return ERROR_INVALID_HANDLE;
  if (!SummaryInfo::TypeOf(uiProperty)) return ERROR_UNKNOWN_PROPERTY;
  auto it = summary->info.properties.find(uiProperty);
  if (it == summary->info.properties.end()) {
    if (puiDataType) *puiDataType = VT_EMPTY;
    if (pcchValueBuf) *pcchValueBuf = 0;
    return ERROR_SUCCESS;
  }
  const SummaryProperty &property = it->second;
  if (puiDataType) *puiDataType = property.type;
  switch (property.type) {
    case VT_I2:
    case VT_I4:
      if (piValue) *piValue = property.integer;
      return ERROR_SUCCESS;
    case VT_FILETIME:
      if (pftValue) {
        pftValue->dwLowDateTime = static_cast<DWORD>(property.time);
        pftValue->dwHighDateTime = static_cast<DWORD>(property.time >> 32);
      }
      return ERROR_SUCCESS;
    default:
      if (szValueBuf && !pcchValueBuf) return ERROR_INVALID_PARAMETER;
      return CopyOutString(property.text, szValueBuf, pcchValueBuf);
  }
}

extern "C" UINT WINAPI MsiSummaryInfoSetPropertyW(MSIHANDLE hSummaryInfo, UINT uiProperty, UINT uiDataType,
                                                  INT iValue, FILETIME *pftValue, LPCWSTR szValue) {
  std::lock_guard<std::recursive_mutex> api(ApiLock());
  auto summary = SummaryOf(hSummaryInfo);
  if (!summary) return ERROR_INVALID_HANDLE;
  const uint16_t type = SummaryInfo::TypeOf(uiProperty);
  if (!type) return ERROR_UNKNOWN_PROPERTY;
  if (uiDataType != type) return ERROR_DATATYPE_MISMATCH;
  if ((type == VT_LPSTR && !szValue) || (type == VT_FILETIME && !pftValue)) return ERROR_INVALID_PARAMETER;
  if (!summary->changed.count(uiProperty) && summary->changed.size() >= summary->updateCount) {
    return ERROR_FUNCTION_FAILED;
  }
  SummaryProperty property;
  property.type = type;
  if (type == VT_LPSTR) property.text = hw::View(szValue);
  if (type == VT_FILETIME) property.time = pftValue->dwLowDateTime | (static_cast<uint64_t>(pftValue->dwHighDateTime) << 32);
  if (type == VT_I2) property.integer = static_cast<int16_t>(iValue);
  if (type == VT_I4) property.integer = iValue;
  summary->info.properties[uiProperty] = std::move(property);
  summary->changed.insert(uiProperty);
  return ERROR_SUCCESS;
}

extern "C" UINT WINAPI MsiSummaryInfoPersist(MSIHANDLE hSummaryInfo) {
  std::lock_guard<std::recursive_mutex> api(ApiLock());
  auto summary = SummaryOf(hSummaryInfo);
  if (!summary) return ERROR_INVALID_HANDLE;
  if (summary->updateCount == 0 || summary->db->ReadOnly()) return ERROR_FUNCTION_FAILED;
  summary->db->SetSummary(summary->info);
  return summary->openedByPath ? summary->db->Commit() : ERROR_SUCCESS;
}
