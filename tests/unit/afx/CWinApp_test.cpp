// The program and library entry points drive the application object.
#include "afx/afxwin.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> g_calls;

class CTestApp : public CWinApp {
 public:
  explicit CTestApp(BOOL bInit) : CWinApp(TEXT("Setup")), m_bInit(bInit) {}
  BOOL InitInstance() override {
    g_calls.push_back("init");
    SetRegistryKey(TEXT("Pellomar"));
    return m_bInit;
  }
  int ExitInstance() override {
    g_calls.push_back("exit");
    return 7;
  }
  BOOL m_bInit;
};

TEST(CWinApp, ProgramEndsWithZeroWhenInitInstanceFails) {
  g_calls.clear();
  CTestApp app(FALSE);
  EXPECT_EQ(AfxGetApp(), &app);
  EXPECT_EQ(std::u16string(app.m_pszAppName), u"Setup");
  HINSTANCE self = GetModuleHandleW(nullptr);
  EXPECT_EQ(AfxWinMain(self), 0);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"init", "exit"}));
  EXPECT_EQ(std::u16string(app.m_pszRegistryKey), u"Pellomar");
  EXPECT_EQ(AfxGetInstanceHandle(), self);
  EXPECT_EQ(AfxGetResourceHandle(), self);
}

TEST(CWinApp, ProgramRunsWhenInitInstanceSucceeds) {
  g_calls.clear();
  CTestApp app(TRUE);
  EXPECT_EQ(AfxWinMain(GetModuleHandleW(nullptr)), 7);  // Run ends the instance
  EXPECT_EQ(g_calls, (std::vector<std::string>{"init", "exit"}));
}

TEST(CWinApp, LibraryEntryDrivesInitAndExit) {
  g_calls.clear();
  CTestApp app(TRUE);
  auto fake = reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(0x10000));
  EXPECT_TRUE(AfxDllMain(fake, DLL_PROCESS_ATTACH, nullptr));
  EXPECT_EQ(AfxGetInstanceHandle(), fake);
  EXPECT_TRUE(AfxDllMain(fake, DLL_THREAD_ATTACH, nullptr));
  EXPECT_TRUE(AfxDllMain(fake, DLL_PROCESS_DETACH, nullptr));
  EXPECT_EQ(g_calls, (std::vector<std::string>{"init", "exit"}));
  app.m_bInit = FALSE;
  EXPECT_FALSE(AfxDllMain(fake, DLL_PROCESS_ATTACH, nullptr));  // a library that refuses to load
  AfxSetResourceHandle(nullptr);
}

TEST(CWinApp, NoApplicationObjectAfterItsDestruction) {
  { CTestApp app(TRUE); }
  EXPECT_EQ(AfxGetApp(), nullptr);
}

}  // namespace
