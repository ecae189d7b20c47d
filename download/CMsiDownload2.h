// The download library's application object: it enters a COM apartment while
// the library is loaded and keeps the action state that the download actions
// share between calls.
#pragma once

#include "afx/afxwin.h"

class CMsiDownload2 : public CWinApp {
 public:
  CMsiDownload2();
  ~CMsiDownload2() override;

  // Names the registry key and enters a single-threaded COM apartment on the
  // loading thread. The library loads even when the apartment cannot be
  // entered; the actions that need COM then fail on their own.
  BOOL InitInstance() override;
  // Leaves the apartment, if InitInstance entered it.
  int ExitInstance() override;

  // Action state: the argument fields that the last action read, as owned
  // strings (null when absent). Store replaces a slot's value and frees the
  // old one: StoreOwnedString(theApp.m_pszName, pszName).
  LPWSTR m_pszName;
  LPWSTR m_pszUrl;
  LPWSTR m_pszTarget;
  LPWSTR m_pszResult;
  // The tick budget of a transfer; the last non-zero Budget field given.
  LONG m_nBudget;

 private:
  BOOL m_bComInitialized;
};

// The library's one application object.
extern CMsiDownload2 theApp;
