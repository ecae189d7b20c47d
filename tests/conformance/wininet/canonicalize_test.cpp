// InternetCanonicalizeUrlW with flags 0, as the download task calls it with
// a 2084-character buffer: unsafe characters escaped, "." and ".." removed,
// escapes (good or bad) left as they are.
#include <windows.h>
#include <shlwapi.h>
#include <wininet.h>

#include "hw/text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string U8(std::u16string_view text) { return hw::Utf16ToUtf8(text); }

TEST(InternetCanonicalizeUrl, Table) {
  struct Row {
    const char16_t *in;
    const char16_t *out;
  } rows[] = {
      {u"http://example.com/dl/Orvandel20.msi", u"http://example.com/dl/Orvandel20.msi"},
      {u"http://example.com/dl/My File.msi", u"http://example.com/dl/My%20File.msi"},
      {u"http://example.com/dl/My%20File.msi", u"http://example.com/dl/My%20File.msi"},
      {u"http://example.com/a/./b/../c.msi", u"http://example.com/a/c.msi"},
      {u"http://example.com/a/b/..", u"http://example.com/a/"},
      {u"http://example.com", u"http://example.com/"},
      {u"http://example.com/bad%zz.msi", u"http://example.com/bad%zz.msi"},
      {u"http://example.com/100%", u"http://example.com/100%"},
      {u"HTTP://example.com/a.msi", u"http://example.com/a.msi"},
      {u"http://example.com/a.msi?x=a b", u"http://example.com/a.msi?x=a%20b"},
      {u"http://127.0.0.1:8080/x/y.msi", u"http://127.0.0.1:8080/x/y.msi"},
  };
  for (const Row &row : rows) {
    WCHAR out[INTERNET_MAX_URL_LENGTH];
    DWORD length = INTERNET_MAX_URL_LENGTH;
    EXPECT_TRUE(InternetCanonicalizeUrlW(row.in, out, &length, 0)) << U8(row.in);
    EXPECT_EQ(std::u16string(hw::View(out)), row.out) << U8(row.in);
    EXPECT_EQ(length, hw::Length(row.out));
  }
}

// A local path becomes a file URL that UrlIsW recognises and whose last
// component is the file's (escaped) name. hostwin's form; Windows' exact
// spelling of such URLs is not relied on.
TEST(InternetCanonicalizeUrl, LocalPathBecomesFileUrl) {
  WCHAR out[INTERNET_MAX_URL_LENGTH];
  DWORD length = INTERNET_MAX_URL_LENGTH;
  ASSERT_TRUE(InternetCanonicalizeUrlW(u"C:\\my pkgs\\Orvandel20V.msi", out, &length, 0));
  EXPECT_EQ(std::u16string(hw::View(out)), u"file:///C:/my%20pkgs/Orvandel20V.msi");
  EXPECT_TRUE(UrlIsW(out, URLIS_FILEURL));
  EXPECT_EQ(std::u16string(hw::View(PathFindFileNameW(out))), u"Orvandel20V.msi");
}

TEST(InternetCanonicalizeUrl, BufferContractAndErrors) {
  const char16_t *url = u"http://example.com/a.msi";
  WCHAR small[8];
  DWORD length = 8;
  SetLastError(0);
  EXPECT_FALSE(InternetCanonicalizeUrlW(url, small, &length, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(length, 25u) << "the size needed, with the terminator";

  WCHAR out[64];
  length = 64;
  EXPECT_FALSE(InternetCanonicalizeUrlW(u"no scheme here", out, &length, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_INVALID_URL));
  length = 64;
  EXPECT_FALSE(InternetCanonicalizeUrlW(nullptr, out, &length, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(InternetCanonicalizeUrl, Flags) {
  WCHAR out[128];
  DWORD length = 128;
  ASSERT_TRUE(InternetCanonicalizeUrlW(u"http://example.com/a/../My%20File.msi", out, &length, ICU_DECODE));
  EXPECT_EQ(std::u16string(hw::View(out)), u"http://example.com/My%20File.msi") << "decoded, then escaped again";
  length = 128;
  ASSERT_TRUE(InternetCanonicalizeUrlW(u"http://example.com/a/../b", out, &length, ICU_NO_META));
  EXPECT_EQ(std::u16string(hw::View(out)), u"http://example.com/a/../b");
  length = 128;
  ASSERT_TRUE(InternetCanonicalizeUrlW(u"http://example.com/a b%", out, &length, ICU_ENCODE_PERCENT));
  EXPECT_EQ(std::u16string(hw::View(out)), u"http://example.com/a%20b%25");
}

}  // namespace
