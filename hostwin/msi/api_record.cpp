// Exported record functions.
#include <windows.h>
#include <msiquery.h>

#include "api_text.h"
#include "atomic_file.h"
#include "hw/msi_record.h"
#include "hw/paths.h"
#include "hw/text.h"

#include <algorithm>
#include <cstring>

using namespace hw::msi;

namespace {

constexpr UINT kMaxFields = 65535;

std::shared_ptr<Record> RecordOf(MSIHANDLE handle) { return LookupHandleAs<Record>(handle); }

}  // namespace

namespace hw::msi {

UINT CopyOutString(std::u16string_view text, LPWSTR buffer, DWORD *pcch) {
  if (!pcch) return buffer ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
  const DWORD capacity = *pcch;
  *pcch = static_cast<DWORD>(text.size());
  if (!buffer) return ERROR_SUCCESS;
  if (capacity == 0) return ERROR_MORE_DATA;
  const size_t copied = std::min<size_t>(text.size(), capacity - 1);
  std::copy_n(text.data(), copied, buffer);
  buffer[copied] = 0;
  return copied < text.size() ? ERROR_MORE_DATA : ERROR_SUCCESS;
}

}  // namespace hw::msi

extern "C" MSIHANDLE WINAPI MsiCreateRecord(UINT cParams) {
  std::lock_guard<std::recursive_mutex> api(ApiLock());
  if (cParams > kMaxFields) return 0;
  return AllocHandle(std::make_shared<Record>(cParams));
}

extern "C" UINT WINAPI MsiRecordGetFieldCount(MSIHANDLE hRecord) {
  std::lock_guard<std::recursive_mutex> api(ApiLock());
  auto record = RecordOf(hRecord);
  return record ? record->Count() : static_cast<UINT>(-1);
}

extern "C" BOOL WINAPI MsiRecordIsNull(MSIHANDLE hRecord, UINT iField) {
  std::lock_guard<std::recursive_mutex> api(ApiLock());
  auto record = RecordOf(hRecord);
  if (!record) return FALSE;
  return !record->Has(iField) || record->fields[iField].IsNull();
}

extern "C" UINT WINAPI MsiRecordDataSize(MSIHANDLE hRecord, UINT iField) {
  std::lock_guard<std::recursive_mutex> api(ApiLock());
  auto record = RecordOf(hRecord);
  if (!record || !record->Has(iField)) return 0;
  const Field &field = record->fields[iField];
  switch (field.type) {
    case Field::Type::Integer:
      return sizeof(int);
    case Field::Type::String:
      return static_cast<UINT>(field.text.size());
    case Field::Type::Stream:
      return static_cast<UINT>(field.stream->size());
    case Field::Type::Null:
      break;
  }
  return 0;
}

extern "C" int WINAPI MsiRecordGetInteger(MSIHANDLE hRecord, UINT iField) {
  std::lock_guard<std::recursive_mutex> api(ApiLock());
  auto record = RecordOf(hRecord);
  if (!record || !record->Has(iField)) return static_cast<int>(MSI_NULL_INTEGER);
  return record->fields[iField].AsInteger();
}

extern "C" UINT WINAPI MsiRecordSetInteger(MSIHANDLE hRecord, UINT iField, int iValue) {
  std::lock_guard<std::recursive_mutex> api(ApiLock());
  auto record = RecordOf(hRecord);
  if (!record) return ERROR_INVALID_HANDLE;
  if (!record->Has(iField)) return ERROR_INVALID_PARAMETER;
  record->Set(iField, Field::Int(iValue));
  return ERROR_SUCCESS;
}

extern "C" UINT WINAPI MsiRecordGetStringW(MSIHANDLE hRecord, UINT iField, LPWSTR szValueBuf, DWORD *pcchValueBuf) {
  std::lock_guard<std::recursive_mutex> api(ApiLock());
  auto record = RecordOf(hRecord);
  if (!record) return ERROR_INVALID_HANDLE;
  if (szValueBuf && !pcchValueBuf) return ERROR_INVALID_PARAMETER;
  const std::u16string text = record->Has(iField) ? record->fields[iField].AsString() : std::u16string();
  return CopyOutString(text, szValueBuf, pcchValueBuf);
}

extern "C" UINT WINAPI MsiRecordSetStringW(MSIHANDLE hRecord, UINT iField, LPCWSTR szValue) {
  std::lock_guard<std::recursive_mutex> api(ApiLock());
  auto record = RecordOf(hRecord);
  if (!record) return ERROR_INVALID_HANDLE;
  if (!record->Has(iField)) return ERROR_INVALID_PARAMETER;
  record->Set(iField, Field::Str(std::u16string(hw::View(szValue))));
  return ERROR_SUCCESS;
}

extern "C" UINT WINAPI MsiRecordReadStream(MSIHANDLE hRecord, UINT iField, char *szDataBuf, DWORD *pcbDataBuf) {
  std::lock_guard<std::recursive_mutex> api(ApiLock());
  auto record = RecordOf(hRecord);
  if (!record) return ERROR_INVALID_HANDLE;
  if (!pcbDataBuf || !record->Has(iField)) return ERROR_INVALID_PARAMETER;
  const Field &field = record->fields[iField];
  if (field.IsNull()) {
    *pcbDataBuf = 0;
    return ERROR_SUCCESS;
  }
  if (field.type != Field::Type::Stream) return ERROR_DATATYPE_MISMATCH;
  uint64_t &position = record->readPositions[iField];
  const uint64_t remaining = field.stream->size() - std::min<uint64_t>(position, field.stream->size());
  if (!szDataBuf) {
    *pcbDataBuf = static_cast<DWORD>(remaining);
    return ERROR_SUCCESS;
  }
  const size_t count = std::min<uint64_t>(remaining, *pcbDataBuf);
  if (count) memcpy(szDataBuf, field.stream->data() + position, count);
  position += count;
  *pcbDataBuf = static_cast<DWORD>(count);
  return ERROR_SUCCESS;
}

extern "C" UINT WINAPI MsiRecordSetStreamW(MSIHANDLE hRecord, UINT iField, LPCWSTR szFilePath) {
  std::lock_guard<std::recursive_mutex> api(ApiLock());
  auto record = RecordOf(hRecord);
  if (!record) return ERROR_INVALID_HANDLE;
  if (!record->Has(iField)) return ERROR_INVALID_PARAMETER;
  if (!szFilePath) {
    // A null path rewinds a stream already in the field.
    if (record->fields[iField].type != Field::Type::Stream) return ERROR_INVALID_PARAMETER;
    record->readPositions[iField] = 0;
    return ERROR_SUCCESS;
  }
  hw::HostPath host = hw::ToHostPath(szFilePath);
  auto data = std::make_shared<Bytes>();
  if (host.error || ReadWholeFile(host.path, *data) != 0) return ERROR_BAD_PATHNAME;
  record->Set(iField, Field::Blob(std::move(data)));
  return ERROR_SUCCESS;
}

extern "C" UINT WINAPI MsiRecordClearData(MSIHANDLE hRecord) {
  std::lock_guard<std::recursive_mutex> api(ApiLock());
  auto record = RecordOf(hRecord);
  if (!record) return ERROR_INVALID_HANDLE;
  for (unsigned i = 0; i <= record->Count(); ++i) record->Set(i, Field());
  record->sourceView = 0;
  return ERROR_SUCCESS;
}
