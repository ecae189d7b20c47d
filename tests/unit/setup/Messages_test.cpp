// Message texts and error reporting: the string table with inserts, the
// system's texts, and which codes are shown how.
#include "SetupTestSupport.h"
#include "setup/OrvandelSetupRun.h"
#include "setup/resource.h"

#include <gtest/gtest.h>

namespace {

using setuptest::Boxes;
using setuptest::Utf8;

TEST(LoadFormattedString, InsertsAndMissingEntries) {
  EXPECT_EQ(Utf8(CSetupUtil::LoadFormattedString(IDS_SETUP_TITLE, TEXT("Orvandel 2.0")).GetString()),
            "Setup Orvandel 2.0");
  // The version is a second insert that the text does not use.
  EXPECT_EQ(Utf8(CSetupUtil::LoadFormattedString(IDS_REMOVE_OTHER_VERSION, TEXT("Orvandel 1.5"), TEXT("1.5.2.40"))
                     .GetString()),
            "A different version of Orvandel 1.5 is already installed.  It must be removed before this version can be "
            "installed.  Do you want to uninstall it now?");
  EXPECT_EQ(Utf8(CSetupUtil::LoadFormattedString(IDS_COPY_TO_SOURCE, TEXT("P"), TEXT("C:\\s\\a.msi"), TEXT("b.msi"),
                                                 TEXT("C:\\s"))
                     .GetString()),
            "P was originally installed from C:\\s\\a.msi.  Do you want to copy b.msi to C:\\s?");
  // Fewer inserts than the text names: the missing ones are empty.
  EXPECT_EQ(Utf8(CSetupUtil::LoadFormattedString(IDS_COPY_TO_SOURCE, TEXT("P")).GetString()),
            "P was originally installed from .  Do you want to copy  to ?");
  // An insert that looks like an insert is not expanded again.
  EXPECT_EQ(Utf8(CSetupUtil::LoadFormattedString(IDS_SETUP_TITLE, TEXT("%2 100%")).GetString()), "Setup %2 100%");
  EXPECT_TRUE(CSetupUtil::LoadFormattedString(4242, TEXT("x")).IsEmpty());
}

TEST(GetSystemMessage, IgnoresTheFacility) {
  CString text = CSetupUtil::GetSystemMessage(static_cast<HRESULT>(0x80070652));
  EXPECT_EQ(Utf8(text.GetString()),
            "Another installation is already in progress.  Complete that installation before proceeding with this "
            "install.\r\n");
  EXPECT_EQ(CSetupUtil::GetSystemMessage(1618), text);
  EXPECT_EQ(CSetupUtil::GetSystemMessage(static_cast<HRESULT>(0x800B0652)), text);
  EXPECT_TRUE(CSetupUtil::GetSystemMessage(static_cast<HRESULT>(0x8007FFFE)).IsEmpty());
}

TEST(ReportError, ClassificationTable) {
  enum Shown { kNothing, kInformation, kError };
  struct Row {
    HRESULT code;
    bool quiet;
    HRESULT result;
    Shown shown;
  } rows[] = {
      {static_cast<HRESULT>(0x80070642), false, S_OK, kNothing},  // the user left the installation
      {1602, false, S_OK, kNothing},                               // any facility
      {static_cast<HRESULT>(0x800704C7), false, S_OK, kNothing},  // ERROR_CANCELLED
      {static_cast<HRESULT>(0x800704D3), false, S_OK, kNothing},  // ERROR_REQUEST_ABORTED
      {static_cast<HRESULT>(0x80070BC2), false, S_OK, kInformation},  // 3010, a restart is needed
      {static_cast<HRESULT>(0x80070BC2), true, S_OK, kNothing},
      {3011, false, S_OK, kInformation},
      {static_cast<HRESULT>(0x80070669), false, S_OK, kInformation},  // 1641
      {static_cast<HRESULT>(0x80070652), false, static_cast<HRESULT>(0x80070652), kError},
      {static_cast<HRESULT>(0x80070652), true, static_cast<HRESULT>(0x80070652), kNothing},
      {1603, false, 1603, kError},
      {static_cast<HRESULT>(0x80040643), false, static_cast<HRESULT>(0x80040643), kError},  // 1603 in another facility
      {static_cast<HRESULT>(0x8007FFFE), false, static_cast<HRESULT>(0x8007FFFE), kNothing},  // no text: silent, still a failure
  };
  COrvandelSetupRun run;
  run.m_strTitle = TEXT("Setup Orvandel 2.0");
  size_t expectedBoxes = 0;
  for (const Row &row : rows) {
    EXPECT_EQ(run.ReportError(row.code, row.quiet), row.result) << std::hex << row.code;
    if (row.shown != kNothing) ++expectedBoxes;
    std::vector<testenv::TranscriptEntry> boxes = Boxes();
    ASSERT_EQ(boxes.size(), expectedBoxes) << std::hex << row.code;
    if (row.shown == kNothing) continue;
    EXPECT_EQ(boxes.back().Get("title"), "Setup Orvandel 2.0");
    EXPECT_EQ(boxes.back().Number("style"), row.shown == kError ? MB_OK | MB_ICONERROR : MB_OK | MB_ICONINFORMATION);
    EXPECT_EQ(boxes.back().Get("text"), Utf8(CSetupUtil::GetSystemMessage(row.code).GetString()));
    EXPECT_FALSE(boxes.back().Get("text").empty());
  }
}

TEST(LocationParts, ParentLocationAndLeafName) {
  struct Row {
    const char16_t *value;
    const char16_t *parent;
    const char16_t *leaf;
  } rows[] = {
      {u"C:\\pkgs\\Other.msi", u"C:\\pkgs\\", u"Other.msi"},
      {u"C:\\Other.msi", u"C:\\", u"Other.msi"},
      {u"Other.msi", u"", u"Other.msi"},
      {u"C:\\My Pkgs\\Other%20Name.msi", u"C:\\My Pkgs\\", u"\"Other Name.msi\""},
      {u"http://mirror.test/dir/Other.msi", u"http://mirror.test/dir/", u"Other.msi"},
      {u"https://mirror.test/a/b/c%2Bd.msi", u"https://mirror.test/a/b/", u"c+d.msi"},
      {u"http://mirror.test/", u"http://mirror.test/", u"mirror.test/"},  // a trailing separator stays with the last component
      {u"http://mirror.test", u"http://mirror.test/", u"mirror.test"},
      {u"file:///C:/pkgs/Other.msi", u"file:///C:/pkgs/", u"Other.msi"},
  };
  for (const Row &row : rows) {
    EXPECT_EQ(Utf8(CSetupUtil::GetParentLocation(row.value).GetString()), Utf8(row.parent)) << Utf8(row.value);
    EXPECT_EQ(Utf8(CSetupUtil::GetLeafName(row.value).GetString()), Utf8(row.leaf)) << Utf8(row.value);
  }
  std::u16string longValue = u"C:\\" + std::u16string(3000, u'x') + u"\\a.msi";
  EXPECT_LE(CSetupUtil::GetParentLocation(longValue.c_str()).GetLength(), 2083);  // within the buffer, no overflow
  EXPECT_LE(CSetupUtil::GetLeafName(longValue.c_str()).GetLength(), 2083);
}

}  // namespace
