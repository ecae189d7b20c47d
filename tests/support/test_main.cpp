// The main of every test program: a fresh hostwin prefix, runtime folder and
// transcript for this process, with no person at the user interface, so that
// no test touches the user's home or waits for a key.
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>

int main(int argc, char **argv) {
  const std::string &scratch = testenv::ScratchDir();
  setenv("HOSTWIN_PREFIX", testenv::PrefixDir().c_str(), 1);
  setenv("HOSTWIN_RUNTIME_DIR", (scratch + "/runtime").c_str(), 1);
  setenv("HOSTWIN_TRANSCRIPT", (scratch + "/transcript.jsonl").c_str(), 1);
  setenv("HOSTWIN_UI", "none", 1);
  setenv("HOSTWIN_USER", "tester", 1);
  unsetenv("HOSTWIN_WINVER");
  unsetenv("HOSTWIN_ARCH");
  unsetenv("HOSTWIN_TRUSTED_ROOTS");
  setenv("HOSTWIN_SYSTEM_ROOTS", "none", 1);  // a test trusts only its own throw-away roots
  unsetenv("HOSTWIN_UI_SCRIPT");
  testing::InitGoogleTest(&argc, argv);
  int result = RUN_ALL_TESTS();
  if (!getenv("ORV_KEEP_SCRATCH")) {
    std::error_code ec;
    std::filesystem::remove_all(scratch, ec);
  }
  return result;
}
