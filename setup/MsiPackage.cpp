// The package object's life and the two operations that read and write the
// package file itself: reading its identity, and writing a property.
#include "setup/MsiPackage.h"

#include <msidefs.h>
#include <msiquery.h>

#include "setup/ScriptEngineRepair.h"

namespace {

// Installer handles live only inside one operation; a view that was
// executed is closed before its handle.
void CloseViewAndRecord(MSIHANDLE &hView, MSIHANDLE &hRecord) {
  if (hView) MsiViewClose(hView);
  MsiCloseHandle(hRecord);
  MsiCloseHandle(hView);
  hRecord = 0;
  hView = 0;
}

// Reads field 1 of the ProductCode row; false with the code untouched when
// any call fails (a code longer than the buffer included).
bool ReadProductCode(MSIHANDLE hDatabase, CString &strProductCode) {
  MSIHANDLE hView = 0;
  MSIHANDLE hRecord = 0;
  WCHAR szValue[MAX_PATH];
  DWORD cchValue = MAX_PATH;
  bool bRead = MsiDatabaseOpenViewW(hDatabase, TEXT("SELECT `Value` FROM `Property` WHERE `Property`='ProductCode'"),
                                    &hView) == ERROR_SUCCESS &&
               MsiViewExecute(hView, 0) == ERROR_SUCCESS && MsiViewFetch(hView, &hRecord) == ERROR_SUCCESS &&
               MsiRecordGetStringW(hRecord, 1, szValue, &cchValue) == ERROR_SUCCESS;
  if (bRead) strProductCode = szValue;
  CloseViewAndRecord(hView, hRecord);
  return bRead;
}

// The package code is summary property 9; empty when it cannot be read.
void ReadPackageCode(MSIHANDLE hDatabase, CString &strPackageCode) {
  MSIHANDLE hSummary = 0;
  try {
    bool bRead = false;
    if (MsiGetSummaryInformationW(hDatabase, NULL, 0, &hSummary) == ERROR_SUCCESS) {
      WCHAR szValue[MAX_PATH] = {0};
      DWORD cchValue = MAX_PATH;
      UINT uDataType = 0;
      INT iValue = 0;
      FILETIME ftValue = {0, 0};
      if (MsiSummaryInfoGetPropertyW(hSummary, PID_REVNUMBER, &uDataType, &iValue, &ftValue, szValue, &cchValue) ==
          ERROR_SUCCESS) {
        strPackageCode = szValue;
        bRead = true;
      }
    }
    if (!bRead) strPackageCode.Empty();
  } catch (...) {
  }
  MsiCloseHandle(hSummary);
}

}  // namespace

CMsiPackage::CMsiPackage(LPCWSTR pszPackagePath)
    : m_strPackagePath(pszPackagePath ? pszPackagePath : TEXT("")), m_nUILevel(INSTALLUILEVEL_FULL), m_bPerMachine(false) {
  if (!m_strPackagePath.IsEmpty()) Open(NULL);
  RepairScriptEngineRegistration();
}

CMsiPackage::~CMsiPackage() { MsiCloseAllHandles(); }

INSTALLSTATE CMsiPackage::Open(LPCWSTR pszPackagePath) {
  m_strProductCode.Empty();
  m_strPackageCode.Empty();
  if (pszPackagePath) m_strPackagePath = pszPackagePath;
  if (m_strPackagePath.IsEmpty()) return INSTALLSTATE_INVALIDARG;

  MSIHANDLE hDatabase = 0;
  if (MsiOpenDatabaseW(m_strPackagePath, MSIDBOPEN_READONLY, &hDatabase) != ERROR_SUCCESS) return INSTALLSTATE_UNKNOWN;
  if (!ReadProductCode(hDatabase, m_strProductCode)) {
    MsiCloseHandle(hDatabase);
    return INSTALLSTATE_UNKNOWN;
  }
  ReadPackageCode(hDatabase, m_strPackageCode);
  MsiCloseHandle(hDatabase);
  return MsiQueryProductStateW(m_strProductCode);
}

bool CMsiPackage::SetProperty(LPCWSTR pszName, LPCWSTR pszValue) {
  if (m_strPackagePath.IsEmpty()) return false;
  MSIHANDLE hDatabase = 0;
  if (MsiOpenDatabaseW(m_strPackagePath, MSIDBOPEN_TRANSACT, &hDatabase) != ERROR_SUCCESS) return false;

  MSIHANDLE hView = 0;
  MSIHANDLE hRecord = 0;
  bool bWritten = false;
  // The callers pass fixed upper-case identifiers, so the name goes in as it is.
  CString strQuery;
  strQuery.Format(TEXT("SELECT * FROM `Property` WHERE `Property`='%s'"), pszName);
  if (MsiDatabaseOpenViewW(hDatabase, strQuery, &hView) == ERROR_SUCCESS && MsiViewExecute(hView, 0) == ERROR_SUCCESS &&
      MsiViewFetch(hView, &hRecord) == ERROR_SUCCESS) {
    bWritten = MsiRecordSetStringW(hRecord, 2, pszValue) == ERROR_SUCCESS &&
               MsiViewModify(hView, MSIMODIFY_VALIDATE, hRecord) == ERROR_SUCCESS &&
               MsiViewModify(hView, MSIMODIFY_REPLACE, hRecord) == ERROR_SUCCESS;
  } else {
    CloseViewAndRecord(hView, hRecord);
    bWritten = MsiDatabaseOpenViewW(hDatabase, TEXT("SELECT * FROM `Property`"), &hView) == ERROR_SUCCESS &&
               MsiViewExecute(hView, 0) == ERROR_SUCCESS && (hRecord = MsiCreateRecord(2)) != 0 &&
               MsiRecordSetStringW(hRecord, 1, pszName) == ERROR_SUCCESS &&
               MsiRecordSetStringW(hRecord, 2, pszValue) == ERROR_SUCCESS &&
               MsiViewModify(hView, MSIMODIFY_VALIDATE_NEW, hRecord) == ERROR_SUCCESS &&
               MsiViewModify(hView, MSIMODIFY_INSERT, hRecord) == ERROR_SUCCESS;
  }
  const bool bCommitted = bWritten && MsiDatabaseCommit(hDatabase) == ERROR_SUCCESS;
  CloseViewAndRecord(hView, hRecord);
  MsiCloseHandle(hDatabase);
  return bCommitted;
}
