// The platform suffixes of the candidate package names.
#include "SetupTestSupport.h"
#include "setup/OrvandelSetupRun.h"

#include <gtest/gtest.h>

#include <stdlib.h>

namespace {

std::vector<std::string> Suffixes(CSetupRun &run) {
  std::vector<std::string> list;
  for (LPCWSTR p = run.GetPlatformSuffixes(); *p; p += lstrlenW(p) + 1) list.push_back(setuptest::Utf8(p));
  return list;
}

TEST(PlatformSuffixes, ByVersionAndProcessor) {
  struct Row {
    const char *version;
    const char *arch;
    std::vector<std::string> suffixes;
  } rows[] = {
      {"5.1", "x86", {"W"}},
      {"5.2", "x64", {"W"}},
      {"6.0", "x86", {"V", "W"}},
      {"6.1", "x64", {"Vx64", "V", "W"}},
      {"6.1", "ia64", {"Vx64", "V", "W"}},
      {"10.0", "x86-on-x64", {"Vx64", "V", "W"}},
      {"10.0", "x86", {"V", "W"}},
  };
  COrvandelSetupRun run;
  for (const Row &row : rows) {
    setenv("HOSTWIN_WINVER", row.version, 1);
    setenv("HOSTWIN_ARCH", row.arch, 1);
    EXPECT_EQ(Suffixes(run), row.suffixes) << row.version << " " << row.arch;
  }
  unsetenv("HOSTWIN_WINVER");
  unsetenv("HOSTWIN_ARCH");
}

}  // namespace
