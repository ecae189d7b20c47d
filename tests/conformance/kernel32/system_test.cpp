// The emulated Windows version and processor, MulDiv, error mode, user name
// and GUIDs.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <stdlib.h>

#include <set>
#include <string>

namespace {

class Environment : public testing::Test {
 protected:
  void TearDown() override {
    unsetenv("HOSTWIN_WINVER");
    unsetenv("HOSTWIN_ARCH");
  }
};

TEST_F(Environment, VersionFollowsHostwinWinver) {
  struct Row {
    const char *setting;
    DWORD major, minor, build;
  } rows[] = {
      {"5.1", 5, 1, 2600},   {"6.0", 6, 0, 6002},         {"6.1", 6, 1, 7601},
      {"10.0", 10, 0, 19045}, {"6.3.9600", 6, 3, 9600},   {nullptr, 10, 0, 19045},
      {"garbage", 10, 0, 19045},
  };
  for (const Row &row : rows) {
    if (row.setting) {
      setenv("HOSTWIN_WINVER", row.setting, 1);
    } else {
      unsetenv("HOSTWIN_WINVER");
    }
    DWORD version = GetVersion();
    EXPECT_EQ(LOBYTE(LOWORD(version)), row.major) << (row.setting ? row.setting : "default");
    EXPECT_EQ(HIBYTE(LOWORD(version)), row.minor);
    EXPECT_EQ(HIWORD(version), row.build);  // bit 31 clear: an NT system
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExW(&info));
    EXPECT_EQ(info.dwMajorVersion, row.major);
    EXPECT_EQ(info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
  }
}

TEST_F(Environment, ProcessorFollowsHostwinArch) {
  struct Row {
    const char *setting;
    WORD native;
    WORD own;
    BOOL wow64;
  } rows[] = {
      {"x86", PROCESSOR_ARCHITECTURE_INTEL, PROCESSOR_ARCHITECTURE_INTEL, FALSE},
      {"x86-on-x64", PROCESSOR_ARCHITECTURE_AMD64, PROCESSOR_ARCHITECTURE_INTEL, TRUE},
      {"x64", PROCESSOR_ARCHITECTURE_AMD64, PROCESSOR_ARCHITECTURE_AMD64, FALSE},
      {"ia64", PROCESSOR_ARCHITECTURE_IA64, PROCESSOR_ARCHITECTURE_IA64, FALSE},
  };
  for (const Row &row : rows) {
    setenv("HOSTWIN_ARCH", row.setting, 1);
    SYSTEM_INFO native{}, own{};
    GetNativeSystemInfo(&native);
    GetSystemInfo(&own);
    EXPECT_EQ(native.wProcessorArchitecture, row.native) << row.setting;
    EXPECT_EQ(own.wProcessorArchitecture, row.own) << row.setting;
    BOOL wow64 = 7;
    EXPECT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    EXPECT_EQ(wow64, row.wow64) << row.setting;
  }
  EXPECT_EQ(GetCurrentProcess(), reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)));
}

TEST(MulDiv, RoundsHalfAwayFromZeroAndFailsWithMinusOne) {
  struct Row {
    int number, numerator, denominator, result;
  } rows[] = {
      {10, 3, 2, 15},   {5, 1, 2, 3},       {3, 1, 2, 2},      {-5, 1, 2, -3},  {5, -1, 2, -3},
      {-5, -1, 2, 3},   {5, 1, -2, -3},     {1, 1, 3, 0},      {2, 1, 3, 1},    {100, 50, 100, 50},
      {7, 0, 3, 0},     {1, 1, 0, -1},      {0, 0, 0, -1},     {0x7FFFFFFF, 2, 1, -1},
      {0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF},  // the product needs 64 bits
      {1234567, 100, 9876543, 12},
  };
  for (const Row &row : rows) {
    EXPECT_EQ(MulDiv(row.number, row.numerator, row.denominator), row.result)
        << row.number << " * " << row.numerator << " / " << row.denominator;
  }
}

TEST(System, ErrorModeReturnsThePreviousMode) {
  UINT first = SetErrorMode(SEM_NOOPENFILEERRORBOX);
  EXPECT_EQ(SetErrorMode(first), static_cast<UINT>(SEM_NOOPENFILEERRORBOX));
}

TEST(System, UserName) {
  WCHAR name[257];
  DWORD size = 257;
  ASSERT_TRUE(GetUserNameW(name, &size));
  EXPECT_EQ(std::u16string(name), u"tester");
  EXPECT_EQ(size, 7u);  // counts the terminator
  size = 3;
  EXPECT_FALSE(GetUserNameW(name, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(size, 7u);
}

TEST(System, Guids) {
  std::set<std::u16string> seen;
  for (int i = 0; i < 100; ++i) {
    GUID guid;
    ASSERT_EQ(CoCreateGuid(&guid), S_OK);
    EXPECT_EQ(guid.Data3 >> 12, 4);             // random version
    EXPECT_EQ(guid.Data4[0] & 0xC0, 0x80);      // standard variant
    WCHAR text[39];
    ASSERT_EQ(StringFromGUID2(guid, text, 39), 39);
    seen.insert(text);
  }
  EXPECT_EQ(seen.size(), 100u);
  const GUID known = {0x2956EBA1, 0x9B5A, 0x4679, {0x86, 0x18, 0x35, 0x71, 0x36, 0xDA, 0x66, 0xCA}};
  WCHAR text[50];
  EXPECT_EQ(StringFromGUID2(known, text, 50), 39);
  EXPECT_EQ(std::u16string(text), u"{2956EBA1-9B5A-4679-8618-357136DA66CA}");
  EXPECT_EQ(StringFromGUID2(known, text, 38), 0);  // no room for the terminator
  EXPECT_EQ(CoCreateGuid(nullptr), E_INVALIDARG);
}

TEST(System, FileTimesRoundTrip) {
  SYSTEMTIME time = {2010, 3, 0, 14, 9, 13, 10, 518};
  FILETIME file{};
  ASSERT_TRUE(SystemTimeToFileTime(&time, &file));
  // 2010-03-14 09:13:10.518 UTC in 100-ns intervals since 1601.
  uint64_t value = (static_cast<uint64_t>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
  EXPECT_EQ(value, 129130315905180000ULL);
  SYSTEMTIME back{};
  ASSERT_TRUE(FileTimeToSystemTime(&file, &back));
  EXPECT_EQ(back.wYear, 2010);
  EXPECT_EQ(back.wDay, 14);
  EXPECT_EQ(back.wDayOfWeek, 0);  // a Sunday
  EXPECT_EQ(back.wMilliseconds, 518);
  time.wMonth = 13;
  EXPECT_FALSE(SystemTimeToFileTime(&time, &file));
}

}  // namespace
