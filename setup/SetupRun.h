// One run of the setup program: its configuration, command line and steps.
// Every step is a virtual operation, so a product ships by deriving a class
// that overrides its configuration step.
#pragma once

#include "setup/SetupUtil.h"

class CMsiPackage;

// Option flags of m_nFlags.
#define SETUP_FLAG_USAGE 0x1         // /? (or a bad argument): show the usage message only
#define SETUP_FLAG_ADMIN 0x2         // /a: administrative installation
#define SETUP_FLAG_KEEP_PACKAGE 0x8  // /d: the download folder was named; keep the package

class CSetupRun : public CSetupUtil {
 public:
  CSetupRun();
  virtual ~CSetupRun();

  CSetupRun(const CSetupRun &) = delete;
  CSetupRun &operator=(const CSetupRun &) = delete;

  // The three steps of a run, in this order.
  virtual HRESULT Initialize();
  virtual HRESULT RunDownloadPackage();
  virtual HRESULT InstallProductPackage();

  virtual void ShowUsage(HWND hwndOwner);
  virtual void LoadConfiguration();
  // Returns the flags; leaves the last-error code at 0, or at
  // ERROR_BAD_ARGUMENTS when it stopped at an argument.
  virtual LONG ParseCommandLine();
  // An argument the parser does not know; true stops parsing.
  virtual bool ParseOtherArgument(int nIndex, LONG &nFlags);
  virtual HRESULT PrepareTargetPath();
  // Consecutive zero-terminated suffixes closed by an empty string; never
  // empty.
  virtual LPCWSTR GetPlatformSuffixes();
  virtual HRESULT PlacePackage(CMsiPackage &package, LPCWSTR pszPackageFile, LPCWSTR pszTarget, LPCWSTR pszSource);
  virtual HRESULT RegisterSource(CMsiPackage &package, LPCWSTR pszPackageFile);

  // Shows a failure (or a restart notice) and decides whether the code still
  // counts as a failure: cancellations are silent and give 0, restart codes
  // give 0, anything else is returned unchanged.
  HRESULT ReportError(HRESULT hr, bool bQuiet);

  CString m_strTitle;
  CString m_strProductName;
  CString m_strDownloadPath;
  CString m_strPackageFile;
  LONG m_nFlags;
  CString m_strTarget;
  CString m_strSource;
  CString m_strLogFile;

 private:
  void ApplyDownloadLocation(LPCWSTR pszValue);
  void ApplyLogFile(LPCWSTR pszValue);
};

// The product's setup run, created by the product (fixed at build time).
CSetupRun *CreateSetupRun();

// The run object while a run lasts, null before and after.
extern CSetupRun *g_pCurrentSetupRun;
