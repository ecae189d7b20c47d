// Number formatting with the user's locale (English unless the host says
// otherwise) and the size texts of the download progress built on it.
#include <windows.h>

#include "hw/text.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdio>
#include <string>

namespace {

std::string U8(std::u16string_view text) { return hw::Utf16ToUtf8(text); }

class Locale : public testing::Test {
 protected:
  void SetUp() override {
    unsetenv("LC_ALL");
    unsetenv("LC_NUMERIC");
    unsetenv("LANG");
  }
  void TearDown() override { SetUp(); }
};

std::u16string Number(const char16_t *value, LCID locale = LOCALE_USER_DEFAULT) {
  WCHAR out[260];
  int n = GetNumberFormatW(locale, 0, value, nullptr, out, 260);
  return n ? std::u16string(hw::View(out)) : u"<failed>";
}

// The size text of the download progress: "%f", the user's number format,
// cut to one or two digits after the decimal separator, and a unit.
std::u16string ByteCount(double value, double reference) {
  double r = reference ? reference : value;
  const char16_t *unit = u" bytes";
  int digits = 1;
  if (r >= 1024) {
    value *= 0.0009765625;
    r *= 0.0009765625;
    unit = u" KB";
    if (r >= 1024) {
      value *= 0.0009765625;
      r *= 0.0009765625;
      unit = u" MB";
      digits = 2;
      if (r >= 1024) {
        value *= 0.0009765625;
        unit = u" GB";
      }
    }
  }
  char printed[64];
  snprintf(printed, sizeof printed, "%f", value);
  WCHAR formatted[260];
  if (!GetNumberFormatW(LOCALE_USER_DEFAULT, 0, hw::Utf8ToUtf16(printed).c_str(), nullptr, formatted, 260))
    return u"";
  std::u16string text(hw::View(formatted));
  WCHAR decimal[3];
  GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, decimal, 3);
  size_t at = text.rfind(decimal[0]);
  if (at != std::u16string::npos) text.resize(std::min(text.size(), at + 1 + digits));
  return text + unit;
}

TEST_F(Locale, EnglishNumbers) {
  struct Row {
    const char16_t *value;
    const char16_t *out;
  } rows[] = {
      {u"512.000000", u"512.00"},
      {u"1.500000", u"1.50"},
      {u"0.500000", u"0.50"},
      {u"10.000000", u"10.00"},
      {u"1234567.891", u"1,234,567.89"},
      {u"1000", u"1,000.00"},
      {u"999.995", u"1,000.00"},  // rounded half away from zero
      {u"0.004", u"0.00"},
      {u"-1234.5", u"-1,234.50"},
      {u".5", u"0.50"},
      {u"007", u"7.00"},
  };
  for (const Row &row : rows) EXPECT_EQ(Number(row.value), row.out) << U8(row.value);
}

TEST_F(Locale, ByteCountTextsInEnglish) {
  EXPECT_EQ(ByteCount(512, 0), u"512.0 bytes");
  EXPECT_EQ(ByteCount(1536, 0), u"1.5 KB");
  EXPECT_EQ(ByteCount(512 * 1024, 10 * 1024 * 1024), u"0.50 MB");
  EXPECT_EQ(ByteCount(10 * 1024 * 1024, 0), u"10.00 MB");
  EXPECT_EQ(ByteCount(0, 0), u"0.0 bytes");
}

TEST_F(Locale, HostLocaleChoosesSeparators) {
  setenv("LANG", "de_DE.UTF-8", 1);
  EXPECT_EQ(Number(u"1234567.891"), u"1.234.567,89");
  EXPECT_EQ(ByteCount(1536, 0), u"1,5 KB");
  WCHAR decimal[3];
  EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, decimal, 3), 2);
  EXPECT_EQ(std::u16string(hw::View(decimal)), u",");
  setenv("LC_ALL", "C", 1);  // LC_ALL wins; an unknown locale is English
  EXPECT_EQ(Number(u"1234.5"), u"1,234.50");
  EXPECT_EQ(Number(u"1234.5", MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT)), u"1.234,50");
}

TEST_F(Locale, ExplicitFormatAndBufferContract) {
  WCHAR decimal[] = u",";
  WCHAR thousand[] = u" ";
  NUMBERFMTW format{1, 0, 32, decimal, thousand, 0};
  WCHAR out[64];
  EXPECT_EQ(GetNumberFormatW(LOCALE_USER_DEFAULT, 0, u"-12345678.25", &format, out, 64), 16);
  EXPECT_EQ(std::u16string(hw::View(out)), u"(1 23 45 678,3)");
  EXPECT_EQ(GetNumberFormatW(LOCALE_USER_DEFAULT, 0, u"0.25", &format, out, 64), 3);
  EXPECT_EQ(std::u16string(hw::View(out)), u",3") << "no leading zero";

  EXPECT_EQ(GetNumberFormatW(LOCALE_USER_DEFAULT, 0, u"1536", nullptr, nullptr, 0), 9) << "size with terminator";
  SetLastError(0);
  EXPECT_EQ(GetNumberFormatW(LOCALE_USER_DEFAULT, 0, u"1536", nullptr, out, 8), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  for (const char16_t *bad : {u"", u"1.2.3", u"12a", u"1e5", u"+1", u"-"}) {
    SetLastError(0);
    EXPECT_EQ(GetNumberFormatW(LOCALE_USER_DEFAULT, 0, bad, nullptr, out, 64), 0) << U8(bad);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << U8(bad);
  }
  EXPECT_EQ(GetNumberFormatW(LOCALE_USER_DEFAULT, LOCALE_NOUSEROVERRIDE, u"1", &format, out, 64), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));
}

TEST_F(Locale, LocaleInfo) {
  WCHAR text[16];
  EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, text, 3), 2);
  EXPECT_EQ(std::u16string(hw::View(text)), u".");
  EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, text, 16), 2);
  EXPECT_EQ(std::u16string(hw::View(text)), u",");
  EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SGROUPING, text, 16), 4);
  EXPECT_EQ(std::u16string(hw::View(text)), u"3;0");
  EXPECT_EQ(GetLocaleInfoW(0x1009, LOCALE_SNAME, text, 16), 6);
  EXPECT_EQ(std::u16string(hw::View(text)), u"en-CA");
  EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, nullptr, 0), 2);
  EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SNAME, text, 2), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, 0x7777, text, 16), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));
  EXPECT_EQ(GetUserDefaultLCID(), 0x0409u);
}

}  // namespace
