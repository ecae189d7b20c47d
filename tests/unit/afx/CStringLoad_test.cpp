// CString::LoadString over the program's string table.
#include "afx/afxwin.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string Text(const CString &s) { return std::u16string(static_cast<LPCWSTR>(s), s.GetLength()); }

TEST(CStringLoad, LoadsEntriesOfTheResourceModule) {
  CString s;
  EXPECT_TRUE(s.LoadString(1003));
  EXPECT_EQ(Text(s), u"Setup %1");
  EXPECT_TRUE(s.LoadString(1010));
  EXPECT_EQ(Text(s), u"[[<path>]filename|*[.ext]] Log installation to path/filename.");
  EXPECT_TRUE(s.LoadString(2000));
  EXPECT_EQ(s.GetLength(), 84);
}

TEST(CStringLoad, MissingEntryEmptiesTheString) {
  CString s(TEXT("before"));
  EXPECT_FALSE(s.LoadString(1004));  // in an existing block, not defined
  EXPECT_TRUE(s.IsEmpty());
  s = TEXT("again");
  EXPECT_FALSE(s.LoadString(9999));  // no such block
  EXPECT_TRUE(s.IsEmpty());
}

TEST(CStringLoad, SharedCopiesStayUnchanged) {
  CString original(TEXT("original"));
  CString copy = original;
  EXPECT_TRUE(copy.LoadString(1003));
  EXPECT_EQ(Text(original), u"original");
  EXPECT_EQ(Text(copy), u"Setup %1");
}

}  // namespace
