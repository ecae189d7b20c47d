// kernel32 and user32 string functions and code pages, as Windows gives them.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Strings, LengthAndCopy) {
  EXPECT_EQ(lstrlenW(nullptr), 0);
  EXPECT_EQ(lstrlenW(u"abc"), 3);

  struct Row {
    const char16_t *source;
    int max;
    const char16_t *expected;
  } rows[] = {
      {u"abcdef", 4, u"abc"},  // at most max - 1 characters, always terminated
      {u"abc", 4, u"abc"},
      {u"abc", 10, u"abc"},
      {u"abc", 1, u""},
  };
  for (const Row &row : rows) {
    WCHAR buffer[16];
    for (auto &c : buffer) c = u'#';
    EXPECT_EQ(lstrcpynW(buffer, row.source, row.max), buffer);
    EXPECT_EQ(std::u16string(buffer), std::u16string(row.expected)) << row.max;
    EXPECT_EQ(buffer[row.max], u'#') << "wrote past the buffer";
  }
  WCHAR untouched[2] = {u'#', u'#'};
  lstrcpynW(untouched, u"abc", 0);
  EXPECT_EQ(untouched[0], u'#');
}

TEST(Strings, CompareIgnoringCase) {
  struct Row {
    const char16_t *a;
    const char16_t *b;
    int sign;
  } rows[] = {
      {u"abc", u"ABC", 0},          {u"Orvandel20.msi", u"ORVANDEL20.MSI", 0},
      {u"abc", u"abd", -1},         {u"b", u"A", 1},
      {u"ab", u"abc", -1},          {u"\u00e9t\u00e9", u"\u00c9T\u00c9", 0},
      {u"", u"", 0},                {nullptr, u"a", -1},
      {u"a", nullptr, 1},           {nullptr, nullptr, 0},
  };
  for (const Row &row : rows) {
    int result = lstrcmpiW(row.a, row.b);
    EXPECT_EQ((result > 0) - (result < 0), row.sign);
  }
  EXPECT_NE(lstrcmpW(u"abc", u"ABC"), 0);
}

TEST(Strings, CharUpperInPlaceAndSingleCharacter) {
  WCHAR text[] = u"setup \u00e9t\u00e9 1.msi";
  EXPECT_EQ(CharUpperW(text), text);
  EXPECT_EQ(std::u16string(text), u"SETUP \u00c9T\u00c9 1.MSI");
  // A value below 0x10000 in the pointer is one character, returned converted.
  auto single = reinterpret_cast<ULONG_PTR>(CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(u'q'))));
  EXPECT_EQ(single, static_cast<ULONG_PTR>(u'Q'));
  WCHAR lower[] = u"MIXED Case";
  CharLowerW(lower);
  EXPECT_EQ(std::u16string(lower), u"mixed case");
}

TEST(CodePages, AnsiIsUtf8) {
  EXPECT_EQ(GetACP(), 65001u);
  const char *text = "Caf\xc3\xa9 \xe2\x82\xac";
  WCHAR wide[16];
  int n = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 16);
  EXPECT_EQ(n, 7);  // six characters and the terminator
  EXPECT_EQ(std::u16string(wide), u"Caf\u00e9 \u20ac");
  char back[16];
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, back, sizeof back, nullptr, nullptr), 10);
  EXPECT_STREQ(back, text);
}

TEST(CodePages, BufferContracts) {
  const char *text = "abcdef";
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, 6, nullptr, 0), 6);  // size query
  WCHAR small[3];
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, 6, small, 3), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, 0, small, 3), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(MultiByteToWideChar(12345, 0, text, 6, small, 3), 0);  // no such code page
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  char narrow[2];
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u20ac", 1, narrow, 2, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  BOOL used = FALSE;
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", 1, narrow, 2, nullptr, &used), 0);  // no default for UTF-8
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(CodePages, InvalidInput) {
  struct Row {
    std::string bytes;
    std::u16string text;
  } rows[] = {
      {"a\xff" "b", u"a\ufffdb"},
      {"\xc3", u"\ufffd"},              // truncated sequence
      {"\xed\xa0\x80", u"\ufffd\ufffd\ufffd"},  // an encoded surrogate is not UTF-8
      {"\xf0\x9f\x98\x80", u"\U0001F600"},
  };
  for (const Row &row : rows) {
    WCHAR wide[16] = {};
    int n = MultiByteToWideChar(CP_UTF8, 0, row.bytes.data(), static_cast<int>(row.bytes.size()), wide, 16);
    EXPECT_EQ(std::u16string(wide, static_cast<size_t>(n)), row.text);
  }
  SetLastError(0);
  WCHAR wide[4];
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xff", 2, wide, 4), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
  // An unpaired surrogate becomes U+FFFD in UTF-8.
  char narrow[8];
  const WCHAR lone[] = {0xD800, u'x'};
  int n = WideCharToMultiByte(CP_UTF8, 0, lone, 2, narrow, 8, nullptr, nullptr);
  EXPECT_EQ(std::string(narrow, static_cast<size_t>(n)), "\xef\xbf\xbdx");
}

TEST(CodePages, Windows1252) {
  const char text[] = "\x80 \xe9";
  WCHAR wide[8];
  int n = MultiByteToWideChar(1252, 0, text, 3, wide, 8);
  EXPECT_EQ(std::u16string(wide, static_cast<size_t>(n)), u"\u20ac \u00e9");
  char back[8];
  BOOL used = TRUE;
  n = WideCharToMultiByte(1252, 0, u"\u20ac\u4e00", 2, back, 8, nullptr, &used);
  EXPECT_EQ(std::string(back, static_cast<size_t>(n)), "\x80?");
  EXPECT_TRUE(used);
}

}  // namespace
