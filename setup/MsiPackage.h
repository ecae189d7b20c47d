// One installation package file: its identity (product code and package
// code), the record of the installed product, and the installer calls made
// with it. A package object holds no installer handle between operations.
#pragma once

#include "afx/afxwin.h"

#include <msi.h>

class CMsiPackage {
 public:
  // With a path, reads the package's identity at once.
  CMsiPackage(LPCWSTR pszPackagePath = NULL);
  // Closes every installer handle the thread still holds.
  virtual ~CMsiPackage();

  CMsiPackage(const CMsiPackage &) = delete;
  CMsiPackage &operator=(const CMsiPackage &) = delete;

  // Reads the product and package codes (replacing the path when one is
  // given) and returns the product's installed state: INSTALLSTATE_INVALIDARG
  // for an empty path, INSTALLSTATE_UNKNOWN when the package cannot be read.
  INSTALLSTATE Open(LPCWSTR pszPackagePath = NULL);
  // Writes one row of the Property table and commits it; true when
  // committed. A value the package's validation rejects is not written.
  bool SetProperty(LPCWSTR pszName, LPCWSTR pszValue);

  bool GetProductInfo();
  HRESULT Install(LPCWSTR pszArguments = NULL);
  HRESULT Uninstall();
  HRESULT PlacePackage(LPCWSTR pszDownloadName, LPCWSTR pszPackagePath, LPCWSTR pszSourceLocation = NULL);
  HRESULT RegisterSource(LPCWSTR pszDownloadName);
  bool IsInTemporaryFolder(LPCWSTR pszPath = NULL);
  bool IsInSetupFolder();

  CString m_strPackagePath;
  CString m_strProductCode;
  CString m_strPackageCode;
  CString m_strInstalledPackageCode;
  CString m_strInstalledVersion;
  CString m_strInstalledProductName;
  CString m_strInstalledSource;
  CString m_strInstallLocation;
  LONG m_nUILevel;
  CString m_strLogFile;
  bool m_bPerMachine;
};
