// The setup program's entry point: the one application object, and the
// framework's start-up.
#include "setup/SetupApp.h"

CSetupApp theApp;

extern "C" int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nShowCmd) {
  return AfxWinMain(hInstance);
}
