// The copy-on-write string and its formatter.
#include "afx/afxwin.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string S(const CString &s) { return std::u16string(s.GetString(), static_cast<size_t>(s.GetLength())); }

TEST(CString, CopiesShareUntilChanged) {
  CString a(TEXT("Orvandel"));
  CString b = a;
  EXPECT_EQ(a.GetString(), b.GetString());  // one buffer
  b += TEXT(" 2.0");
  EXPECT_NE(a.GetString(), b.GetString());
  EXPECT_EQ(S(a), u"Orvandel");
  EXPECT_EQ(S(b), u"Orvandel 2.0");
  CString c = b;
  c.SetAt(0, 'o');
  EXPECT_EQ(S(b), u"Orvandel 2.0");
  EXPECT_EQ(S(c), u"orvandel 2.0");
  CString d = c;
  LPWSTR buffer = d.GetBuffer(40);
  EXPECT_NE(buffer, c.GetString());
  lstrcpyW(buffer, TEXT("written"));
  d.ReleaseBuffer();
  EXPECT_EQ(S(d), u"written");
  EXPECT_EQ(S(c), u"orvandel 2.0");
}

TEST(CString, AppendingToItself) {
  CString a(TEXT("ab"));
  a += a;
  EXPECT_EQ(S(a), u"abab");
  a += a.GetString() + 1;
  EXPECT_EQ(S(a), u"ababbab");
  a = a.GetString() + 2;
  EXPECT_EQ(S(a), u"abbab");
}

TEST(CString, SearchAndSlices) {
  CString path(TEXT("http://host/dir/Orvandel20.msi"));
  int slash = path.ReverseFind('/');
  EXPECT_EQ(S(path.Left(slash + 1)), u"http://host/dir/");
  EXPECT_EQ(S(path.Mid(slash + 1)), u"Orvandel20.msi");
  EXPECT_EQ(path.Find(TEXT("dir")), 12);
  EXPECT_EQ(path.Find('z'), -1);
  EXPECT_EQ(S(path.Right(4)), u".msi");
  EXPECT_EQ(S(path.Mid(100)), u"");
  EXPECT_EQ(S(path.Left(-3)), u"");
  EXPECT_EQ(S(path.Right(100)), S(path));
  EXPECT_EQ(path.FindOneOf(TEXT("?:")), 4);
}

TEST(CString, EditsAndComparisons) {
  CString text(TEXT("  REINSTALL=ALL ACTION=ADMIN  "));
  text.Trim();
  EXPECT_EQ(S(text), u"REINSTALL=ALL ACTION=ADMIN");
  EXPECT_EQ(text.Replace(TEXT("=ALL"), TEXT("=all")), 1);
  EXPECT_EQ(text.Replace(TEXT("MIN"), TEXT("")), 1);
  EXPECT_EQ(text.Remove(' '), 1);
  EXPECT_EQ(S(text), u"REINSTALL=allACTION=AD");
  text.Insert(13, TEXT(" "));
  text.Delete(0, 10);
  EXPECT_EQ(S(text), u"all ACTION=AD");
  EXPECT_EQ(CString(TEXT("abc")).CompareNoCase(TEXT("ABC")), 0);
  EXPECT_LT(CString(TEXT("ABC")).Compare(TEXT("abc")), 0);  // by code unit
  EXPECT_TRUE(CString(TEXT("x")) == TEXT("x"));
  EXPECT_TRUE(CString() == TEXT(""));
  EXPECT_TRUE(CString().IsEmpty());
  CString upper(TEXT("setup.exe"));
  EXPECT_EQ(S(upper.MakeUpper()), u"SETUP.EXE");
  EXPECT_EQ(S(CString('-', 3)), u"---");
}

TEST(CStringFormat, Table) {
  struct Row {
    std::u16string expected;
    CString actual;
  };
  auto F = [](LPCWSTR format, auto... args) {
    CString s;
    s.Format(format, args...);
    return s;
  };
  const Row rows[] = {
      {u"80070652", F(TEXT("%8.8X"), 0x80070652u)},
      {u"0000002a", F(TEXT("%8.8x"), 42u)},
      {u"1 giving 2 action 3", F(TEXT("%d giving %d action %d"), 1, 2, 3)},
      {u"DOWNLOADFILE_3", F(TEXT("DOWNLOADFILE_%u"), 3u)},
      {u"/a  Perform an administrative install.", F(TEXT("/%s  %s"), TEXT("a"), TEXT("Perform an administrative install."))},
      {u"3.250000", F(TEXT("%f"), 3.25)},
      {u"1.50", F(TEXT("%.2f"), 1.5)},
      {u"100%", F(TEXT("%d%%"), 100)},
      {u"[   42]", F(TEXT("[%5d]"), 42)},
      {u"[42   ]", F(TEXT("[%-5d]"), 42)},
      {u"[00042]", F(TEXT("[%05d]"), 42)},
      {u"[-0042]", F(TEXT("[%05d]"), -42)},
      {u"[  abc]", F(TEXT("[%5s]"), TEXT("abc"))},
      {u"[ab]", F(TEXT("[%.2s]"), TEXT("abc"))},
      {u"[  ab]", F(TEXT("[%*.*s]"), 4, 2, TEXT("abc"))},
      {u"-2147483648", F(TEXT("%d"), static_cast<int>(0x80000000u))},
      {u"4294967295", F(TEXT("%lu"), 0xFFFFFFFFu)},
      {u"12345678901", F(TEXT("%I64d"), 12345678901LL)},
      {u"12345678901", F(TEXT("%lld"), 12345678901LL)},
      {u"0x1f", F(TEXT("%#x"), 31u)},
      {u"caf\u00e9", F(TEXT("%S"), "caf\xc3\xa9")},
      {u"narrow", F(TEXT("%hs"), "narrow")},
      {u"Q", F(TEXT("%c"), 'Q')},
      {u"(null)", F(TEXT("%s"), static_cast<LPCWSTR>(nullptr))},
      {u"%q stays", F(TEXT("%q stays"))},
      {u"end %", F(TEXT("end %"))},
      {u"1e+20", F(TEXT("%g"), 1e20)},
  };
  for (const Row &row : rows) EXPECT_EQ(S(row.actual), row.expected);
  CString appended(TEXT("n="));
  appended.AppendFormat(TEXT("%d"), 7);
  EXPECT_EQ(S(appended), u"n=7");
}

TEST(CStringArray, GrowsAndRemoves) {
  CStringArray list;
  EXPECT_EQ(list.Add(TEXT("Vx64")), 0);
  list.Add(TEXT("W"));
  list.InsertAt(1, TEXT("V"));
  EXPECT_EQ(list.GetSize(), 3);
  EXPECT_EQ(S(list[1]), u"V");
  EXPECT_EQ(S(list.GetAt(7)), u"");
  list.SetAtGrow(4, TEXT("x"));
  EXPECT_EQ(list.GetSize(), 5);
  list.RemoveAt(3, 10);
  EXPECT_EQ(list.GetSize(), 3);
  list.RemoveAll();
  EXPECT_TRUE(list.IsEmpty());
}

}  // namespace
