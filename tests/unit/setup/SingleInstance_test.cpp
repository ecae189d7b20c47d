// The single-instance guard: a test for another setup, not a lock.
#include "SetupTestSupport.h"
#include "setup/SingleInstance.h"

#include <gtest/gtest.h>

#include <stdlib.h>

namespace {

TEST(IsSetupRunning, AloneTwiceLeavesNoMutexBehind) {
  EXPECT_FALSE(IsSetupRunning());
  EXPECT_FALSE(IsSetupRunning());
  HANDLE probe = CreateMutexW(nullptr, FALSE, TEXT("Global\\_MSISETUP_{2956EBA1-9B5A-4679-8618-357136DA66CA}"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS)) << "the guard left its mutex open";
  CloseHandle(probe);
}

TEST(IsSetupRunning, SeesAnotherProcessUntilItCloses) {
  {
    setuptest::OtherSetup other;
    ASSERT_TRUE(other.ready());
    EXPECT_TRUE(IsSetupRunning());
    EXPECT_TRUE(IsSetupRunning());
    other.Finish();
    EXPECT_FALSE(IsSetupRunning());
  }
  EXPECT_FALSE(IsSetupRunning());
}

TEST(IsSetupRunning, OldWindowsUsesTheLocalName) {
  setuptest::OtherSetup other;  // holds the global name
  ASSERT_TRUE(other.ready());
  setenv("HOSTWIN_WINVER", "4.0", 1);
  EXPECT_FALSE(IsSetupRunning());
  HANDLE local = CreateMutexW(nullptr, FALSE, TEXT("_MSISETUP_{2956EBA1-9B5A-4679-8618-357136DA66CA}"));
  EXPECT_TRUE(IsSetupRunning());
  CloseHandle(local);
  setenv("HOSTWIN_WINVER", "5.0", 1);
  EXPECT_TRUE(IsSetupRunning());
  unsetenv("HOSTWIN_WINVER");
}

}  // namespace
