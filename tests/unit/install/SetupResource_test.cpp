// The setup program carries the download package as raw data 1000 in
// English (Canada). This test links the resource table compiled for the
// setup program and reads the package back through the resource functions.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "PackageSupport.h"
#include "TestEnvironment.h"

namespace {

TEST(SetupResources, CarryTheBuiltPackageAsRawData1000) {
  const WORD language = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_CAN);
  ASSERT_EQ(language, 0x1009);
  HRSRC info = FindResourceExW(nullptr, RT_RCDATA, MAKEINTRESOURCEW(1000), language);
  ASSERT_NE(info, nullptr) << GetLastError();
  EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(1000), RT_RCDATA), info);
  HGLOBAL loaded = LoadResource(nullptr, info);
  ASSERT_NE(loaded, nullptr);
  const void *bytes = LockResource(loaded);
  ASSERT_NE(bytes, nullptr);
  const std::string carried(static_cast<const char *>(bytes), SizeofResource(nullptr, info));
  const std::string built = testenv::ReadFile(package::Path());
  ASSERT_FALSE(built.empty());
  EXPECT_EQ(carried.size(), built.size());
  EXPECT_TRUE(carried == built) << "raw data 1000 is not " << package::Path();
}

}  // namespace
