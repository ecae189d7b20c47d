// The configuration step: the product's constants, or the base class's
// optional raw-data resources.
#include "SetupTestSupport.h"
#include "setup/OrvandelSetupRun.h"

#include "hw/paths.h"

#include <gtest/gtest.h>

namespace {

using setuptest::Utf8;

TEST(Configuration, ProductConstants) {
  COrvandelSetupRun run;
  run.LoadConfiguration();
  EXPECT_EQ(Utf8(run.m_strProductName.GetString()), "Orvandel 2.0");
  EXPECT_EQ(Utf8(run.m_strPackageFile.GetString()), "Orvandel20.msi");
  CString location = run.m_strDownloadPath;
  EXPECT_EQ(location.Left(7), TEXT("http://"));
  EXPECT_EQ(location.Right(1), TEXT("/"));  // file names are appended directly
}

TEST(Configuration, BaseClassReadsOptionalResources) {
  CSetupRun plain;
  plain.LoadConfiguration();  // this program carries neither 1001 nor 1002
  EXPECT_TRUE(plain.m_strProductName.IsEmpty());
  EXPECT_TRUE(plain.m_strDownloadPath.IsEmpty());
  EXPECT_TRUE(plain.m_strPackageFile.IsEmpty());

  std::u16string module = hw::ToWindowsPath(testenv::BinaryDir() + "/../lib/libunit_setup_configuration.so");
  HMODULE resources = LoadLibraryW(module.c_str());
  ASSERT_NE(resources, nullptr);
  HINSTANCE previous = AfxGetResourceHandle();
  AfxSetResourceHandle(resources);
  CSetupRun configured;
  configured.LoadConfiguration();
  AfxSetResourceHandle(previous);
  FreeLibrary(resources);
  // Narrow text in the ANSI code page, all of its bytes, split at the last "/".
  EXPECT_EQ(Utf8(configured.m_strProductName.GetString()), "Orvandel Pro\xc3\xa9");
  EXPECT_EQ(Utf8(configured.m_strDownloadPath.GetString()), "http://example.test/pkgs/");
  EXPECT_EQ(Utf8(configured.m_strPackageFile.GetString()), "Other Package.msi");

  // The title of a base-class run comes from the resource's name.
  configured.m_strTitle = CSetupUtil::LoadFormattedString(1003, configured.m_strProductName);
  EXPECT_EQ(Utf8(configured.m_strTitle.GetString()), "Setup Orvandel Pro\xc3\xa9");
}

}  // namespace
