// The application object: its names, its COM apartment and its action state.
#include "download/CMsiDownload2.h"

#include <objbase.h>

#include <gtest/gtest.h>

#include <string>

#include "download/OwnedString.h"

namespace {

std::u16string Text(LPCWSTR psz) { return psz ? std::u16string(psz) : std::u16string(u"(absent)"); }

TEST(CMsiDownload2, StartsWithAbsentStringsAndBudgetTen) {
  CMsiDownload2 app;
  EXPECT_EQ(Text(app.m_pszAppName), u"Setup");
  EXPECT_EQ(app.m_pszName, nullptr);
  EXPECT_EQ(app.m_pszUrl, nullptr);
  EXPECT_EQ(app.m_pszTarget, nullptr);
  EXPECT_EQ(app.m_pszResult, nullptr);
  EXPECT_EQ(app.m_nBudget, 10);
}

TEST(CMsiDownload2, InitialisationNamesTheKeyAndHoldsAnApartmentUntilExit) {
  CMsiDownload2 app;
  ASSERT_TRUE(app.InitInstance());
  EXPECT_EQ(Text(app.m_pszRegistryKey), u"Pellomar");
  // The thread is in a single-threaded apartment now: entering it again only counts.
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  CoUninitialize();
  app.ExitInstance();
  // Left: the next entry starts a new apartment.
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  CoUninitialize();
}

TEST(CMsiDownload2, ExitLeavesOnlyTheApartmentItEntered) {
  // The loading thread already chose the multithreaded model, so the
  // library's single-threaded request fails; its exit must not take the
  // thread's own apartment away.
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  {
    CMsiDownload2 app;
    EXPECT_TRUE(app.InitInstance());
    app.ExitInstance();
  }
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
  CoUninitialize();
  CoUninitialize();
}

TEST(CMsiDownload2, StoringAValueFreesTheOldOne) {
  // Leaks here show under the address sanitizer.
  CMsiDownload2 app;
  StoreOwnedString(app.m_pszName, DuplicateOwnedString(TEXT("Orvandel 2.0")));
  StoreOwnedString(app.m_pszName, DuplicateOwnedString(TEXT("Other")));
  EXPECT_EQ(Text(app.m_pszName), u"Other");
  StoreOwnedString(app.m_pszName, app.m_pszName);  // storing what is there keeps it
  EXPECT_EQ(Text(app.m_pszName), u"Other");
  StoreOwnedString(app.m_pszName, nullptr);
  EXPECT_EQ(app.m_pszName, nullptr);
  // The destructor frees whatever the slots hold.
  StoreOwnedString(app.m_pszUrl, DuplicateOwnedString(TEXT("http://127.0.0.1/a.msi")));
  StoreOwnedString(app.m_pszTarget, DuplicateOwnedString(TEXT("C:\\a.msi")));
  StoreOwnedString(app.m_pszResult, DuplicateOwnedString(TEXT("")));
}

TEST(OwnedString, AbsentStaysAbsentAndEmptyStaysEmpty) {
  EXPECT_EQ(DuplicateOwnedString(nullptr), nullptr);
  LPWSTR pszEmpty = DuplicateOwnedString(TEXT(""));
  ASSERT_NE(pszEmpty, nullptr);
  EXPECT_EQ(pszEmpty[0], 0);
  FreeOwnedString(pszEmpty);
  FreeOwnedString(nullptr);
}

}  // namespace
