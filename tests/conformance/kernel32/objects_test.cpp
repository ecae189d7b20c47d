// Named mutexes and global atoms, seen from this process and from a second
// one that shares the prefix.
#include <windows.h>

#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

const char16_t *const kSetupMutex = u"Global\\_MSISETUP_{2956EBA1-9B5A-4679-8618-357136DA66CA}";

std::string Helper() { return testenv::BinaryDir() + "/conformance_kernel32_helper"; }

std::string RunHelper(const std::vector<std::string> &args) {
  std::vector<std::string> argv{Helper()};
  argv.insert(argv.end(), args.begin(), args.end());
  std::string output;
  EXPECT_EQ(testenv::RunProgram(argv, &output), 0);
  return output.substr(0, output.find('\n'));
}

// Opens the mutex and reports whether it already existed.
bool MutexExisted(const char16_t *name) {
  SetLastError(0);
  HANDLE h = CreateMutexW(nullptr, FALSE, name);
  EXPECT_NE(h, nullptr);
  bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  CloseHandle(h);
  return existed;
}

TEST(Mutex, ExistenceWithinOneProcess) {
  EXPECT_FALSE(MutexExisted(kSetupMutex));
  EXPECT_FALSE(MutexExisted(kSetupMutex));  // closed again: gone
  HANDLE held = CreateMutexW(nullptr, TRUE, kSetupMutex);
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_TRUE(MutexExisted(kSetupMutex));
  EXPECT_FALSE(MutexExisted(u"_MSISETUP_{2956EBA1-9B5A-4679-8618-357136DA66CA}"));  // another namespace
  EXPECT_FALSE(MutexExisted(u"Global\\_msisetup_{2956EBA1-9B5A-4679-8618-357136DA66CA}"));  // names are case-sensitive
  CloseHandle(held);
  EXPECT_FALSE(MutexExisted(kSetupMutex));
  HANDLE unnamed = CreateMutexW(nullptr, FALSE, nullptr);
  EXPECT_NE(unnamed, nullptr);
  EXPECT_TRUE(CloseHandle(unnamed));
}

TEST(Mutex, ExistenceSeenFromAnotherProcess) {
  {
    testenv::BackgroundProgram holder({Helper(), "hold-mutex", "Global\\_MSISETUP_{2956EBA1-9B5A-4679-8618-357136DA66CA}"});
    ASSERT_EQ(holder.ReadLine(), "ready 0");
    EXPECT_TRUE(MutexExisted(kSetupMutex));
    EXPECT_TRUE(MutexExisted(kSetupMutex));  // a test, not a lock: still there
    EXPECT_EQ(holder.Finish(), 0);
  }
  EXPECT_FALSE(MutexExisted(kSetupMutex));

  // The other way round: the second process sees ours.
  HANDLE held = CreateMutexW(nullptr, FALSE, kSetupMutex);
  testenv::BackgroundProgram second({Helper(), "hold-mutex", "Global\\_MSISETUP_{2956EBA1-9B5A-4679-8618-357136DA66CA}"});
  EXPECT_EQ(second.ReadLine(), "ready 183");
  second.Finish();
  CloseHandle(held);
}

TEST(Mutex, VanishesWhenItsHolderIsKilled) {
  {
    testenv::BackgroundProgram holder({Helper(), "hold-mutex", "Global\\killed"});
    ASSERT_EQ(holder.ReadLine(), "ready 0");
    EXPECT_TRUE(MutexExisted(u"Global\\killed"));
  }  // killed here
  EXPECT_FALSE(MutexExisted(u"Global\\killed"));
}

TEST(Atoms, ReferenceCountsAndCase) {
  ATOM atom = GlobalAddAtomW(u"{1F38EB1C-9791-460E-8445-55124ECD8614}Orvandel 2.0");
  ASSERT_GE(atom, 0xC000);
  EXPECT_EQ(GlobalAddAtomW(u"{1f38eb1c-9791-460e-8445-55124ecd8614}ORVANDEL 2.0"), atom);  // count 2
  EXPECT_EQ(GlobalFindAtomW(u"{1F38EB1C-9791-460E-8445-55124ECD8614}orvandel 2.0"), atom);
  WCHAR name[64];
  EXPECT_EQ(GlobalGetAtomNameW(atom, name, 64), 50u);
  EXPECT_EQ(std::u16string(name), u"{1F38EB1C-9791-460E-8445-55124ECD8614}Orvandel 2.0");  // first spelling
  EXPECT_EQ(GlobalDeleteAtom(atom), 0);
  EXPECT_EQ(GlobalFindAtomW(u"{1F38EB1C-9791-460E-8445-55124ECD8614}Orvandel 2.0"), atom);
  EXPECT_EQ(GlobalDeleteAtom(atom), 0);
  SetLastError(0);
  EXPECT_EQ(GlobalFindAtomW(u"{1F38EB1C-9791-460E-8445-55124ECD8614}Orvandel 2.0"), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(GlobalDeleteAtom(atom), atom);  // failure returns the atom
}

TEST(Atoms, IntegerAtomsAndBadNames) {
  struct Row {
    const char16_t *name;
    ATOM atom;
  } rows[] = {{u"#1", 1}, {u"#49151", 0xBFFF}, {u"#49152", 0}, {u"#0", 0}, {u"", 0}};
  for (const Row &row : rows) EXPECT_EQ(GlobalAddAtomW(row.name), row.atom);
  EXPECT_EQ(GlobalAddAtomW(MAKEINTATOM(42)), 42);
  EXPECT_EQ(GlobalDeleteAtom(42), 0);
  EXPECT_EQ(GlobalAddAtomW(std::u16string(256, u'x').c_str()), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  ATOM ordinary = GlobalAddAtomW(u"#12ab");  // not a number: an ordinary name
  EXPECT_GE(ordinary, 0xC000);
  GlobalDeleteAtom(ordinary);
  WCHAR name[8];
  EXPECT_EQ(GlobalGetAtomNameW(7, name, 8), 2u);
  EXPECT_EQ(std::u16string(name), u"#7");
}

TEST(Atoms, SharedAcrossProcesses) {
  testenv::BackgroundProgram adder({Helper(), "add-atom", "cancel-Orvandel 2.0"});
  std::string added = adder.ReadLine();
  ATOM atom = static_cast<ATOM>(strtoul(added.c_str(), nullptr, 16));
  ASSERT_GE(atom, 0xC000);
  EXPECT_EQ(GlobalFindAtomW(u"CANCEL-orvandel 2.0"), atom);
  EXPECT_EQ(GlobalAddAtomW(u"cancel-Orvandel 2.0"), atom);  // count 2
  EXPECT_EQ(adder.Finish(), 0);
  EXPECT_EQ(GlobalFindAtomW(u"cancel-Orvandel 2.0"), atom);  // atoms outlive the adder
  EXPECT_EQ(RunHelper({"delete-atom", added}), "0");
  EXPECT_EQ(RunHelper({"find-atom", "cancel-Orvandel 2.0"}), added);
  EXPECT_EQ(GlobalDeleteAtom(atom), 0);
  EXPECT_EQ(RunHelper({"find-atom", "cancel-Orvandel 2.0"}), "0");
}

}  // namespace
