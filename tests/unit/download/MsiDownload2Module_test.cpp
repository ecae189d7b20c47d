// The built download library, loaded as the installer loads it: its
// application object starts and ends with the library, and only DllMain and
// the entry points of MsiDownload2.def are visible.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Exports() {
  std::vector<std::string> names;
  std::stringstream list(ORV_MSIDOWNLOAD2_EXPORTS);
  for (std::string name; std::getline(list, name, ',');) {
    if (!name.empty()) names.push_back(name);
  }
  return names;
}

TEST(MsiDownload2Module, LoadingEntersAnApartmentAndUnloadingLeavesIt) {
  HMODULE hModule = LoadLibraryW(u"" ORV_MSIDOWNLOAD2_PATH);
  ASSERT_NE(hModule, nullptr) << GetLastError();
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);  // the library's apartment is this thread's
  CoUninitialize();
  EXPECT_TRUE(FreeLibrary(hModule));
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  CoUninitialize();
}

TEST(MsiDownload2Module, ExportsOnlyItsEntryPoints) {
  HMODULE hModule = LoadLibraryW(u"" ORV_MSIDOWNLOAD2_PATH);
  ASSERT_NE(hModule, nullptr) << GetLastError();
  EXPECT_NE(GetProcAddress(hModule, "DllMain"), nullptr);
  for (const std::string &name : Exports()) {
    EXPECT_NE(GetProcAddress(hModule, name.c_str()), nullptr) << name;
  }
  // The application object and the framework stay inside.
  for (const char *hidden : {"theApp", "AfxGetApp", "AfxDllMain"}) {
    EXPECT_EQ(GetProcAddress(hModule, hidden), nullptr) << hidden;
  }
  EXPECT_TRUE(FreeLibrary(hModule));
}

}  // namespace
