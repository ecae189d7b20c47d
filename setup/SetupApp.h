// The application object of the setup program. Its whole work happens in
// InitInstance: no window is created and no message loop runs.
#pragma once

#include "afx/afxwin.h"

class CSetupRun;

class CSetupApp : public CWinApp {
 public:
  CSetupApp();
  // Runs the product's setup run and returns FALSE, so that the program ends
  // with exit code 0 whatever happened.
  BOOL InitInstance() override;

  // The creation hook of the product's run: CreateSetupRun unless a test
  // gives another.
  CSetupRun *(*m_pfnCreateSetupRun)();
};
