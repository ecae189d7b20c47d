// Special folders inside the prefix, and the preparation of a folder for
// writing with the prompt to create it (answered through the user-interface
// driver and recorded in the transcript).
#include <windows.h>
#include <shlobj.h>

#include "TestEnvironment.h"
#include "hw/config.h"
#include "hw/paths.h"
#include "hw/text.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

namespace {

std::string U8(std::u16string_view text) { return hw::Utf16ToUtf8(text); }

std::u16string Folder(int csidl) {
  WCHAR path[MAX_PATH] = {u'?'};
  HRESULT hr = SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return SUCCEEDED(hr) ? std::u16string(hw::View(path)) : u"<failed>";
}

bool IsHostFolder(const std::u16string &windowsPath) {
  hw::HostPath host = hw::ToHostPath(windowsPath);
  return !host.error && testenv::FileExists(host.path);
}

TEST(SHGetFolderPath, FoldersOfThePrefix) {
  // The test main sets HOSTWIN_USER=tester; a new prefix has these folders.
  struct Row {
    int csidl;
    const char16_t *path;
  } rows[] = {
      {CSIDL_DESKTOPDIRECTORY, u"C:\\users\\tester\\Desktop"},
      {CSIDL_DESKTOP, u"C:\\users\\tester\\Desktop"},
      {CSIDL_APPDATA, u"C:\\users\\tester\\AppData\\Roaming"},
      {CSIDL_LOCAL_APPDATA, u"C:\\users\\tester\\AppData\\Local"},
      {CSIDL_COMMON_APPDATA, u"C:\\ProgramData"},
      {CSIDL_WINDOWS, u"C:\\windows"},
      {CSIDL_SYSTEM, u"C:\\windows\\system32"},
      {CSIDL_PROFILE, u"C:\\users\\tester"},
  };
  for (const Row &row : rows) {
    EXPECT_EQ(Folder(row.csidl), row.path) << row.csidl;
    EXPECT_TRUE(IsHostFolder(row.path)) << U8(row.path);
  }
}

TEST(SHGetFolderPath, ProgramFilesFollowsTheProcessView) {
  setenv("HOSTWIN_ARCH", "x86-on-x64", 1);
  EXPECT_EQ(Folder(CSIDL_PROGRAM_FILES), u"C:\\Program Files (x86)");
  EXPECT_EQ(Folder(CSIDL_PROGRAM_FILESX86), u"C:\\Program Files (x86)");
  setenv("HOSTWIN_ARCH", "x86", 1);
  EXPECT_EQ(Folder(CSIDL_PROGRAM_FILES), u"C:\\Program Files");
  EXPECT_EQ(Folder(CSIDL_PROGRAM_FILESX86), u"C:\\Program Files");
  unsetenv("HOSTWIN_ARCH");
}

TEST(SHGetFolderPath, MissingFoldersAndCreation) {
  // The Internet cache is not there until something creates it.
  WCHAR path[MAX_PATH] = {u'?'};
  EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_INTERNET_CACHE, nullptr, 0, path), E_FAIL);
  EXPECT_EQ(path[0], 0);
  EXPECT_FALSE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_INTERNET_CACHE, FALSE));
  EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_INTERNET_CACHE | CSIDL_FLAG_DONT_VERIFY, nullptr, 0, path), S_OK);
  std::u16string cache(hw::View(path));
  EXPECT_EQ(cache, u"C:\\users\\tester\\AppData\\Local\\Microsoft\\Windows\\INetCache");
  EXPECT_FALSE(IsHostFolder(cache));

  EXPECT_TRUE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_INTERNET_CACHE, TRUE));
  EXPECT_EQ(std::u16string(hw::View(path)), cache);
  EXPECT_TRUE(IsHostFolder(cache));
  EXPECT_TRUE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_INTERNET_CACHE, FALSE));

  EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_DRIVES, nullptr, 0, path), E_INVALIDARG) << "a virtual folder";
  EXPECT_EQ(SHGetFolderPathW(nullptr, 0x7F, nullptr, 0, path), E_INVALIDARG);
}

class PrepareForWrite : public testing::Test {
 protected:
  void SetUp() override {
    m_dir = testenv::MakeTempDir("prepare");
    m_transcript = testenv::ScratchDir() + "/prepare-transcript.jsonl";
    setenv("HOSTWIN_TRANSCRIPT", m_transcript.c_str(), 1);
    remove(m_transcript.c_str());
  }
  void TearDown() override {
    setenv("HOSTWIN_UI", "none", 1);
    unsetenv("HOSTWIN_UI_SCRIPT");
  }
  std::u16string Win(const std::string &name) { return hw::ToWindowsPath(m_dir) + u"\\" + hw::Utf8ToUtf16(name); }
  void Answer(const std::string &script) {
    std::string path = m_dir + "/answers.txt";
    testenv::WriteFile(path, script);
    setenv("HOSTWIN_UI", "script", 1);
    setenv("HOSTWIN_UI_SCRIPT", path.c_str(), 1);
  }
  std::string m_dir;
  std::string m_transcript;
};

TEST_F(PrepareForWrite, ExistingFolderNeedsNoQuestion) {
  EXPECT_EQ(SHPathPrepareForWriteW(nullptr, nullptr, Win("").c_str(), SHPPFW_ASKDIRCREATE), S_OK);
  EXPECT_FALSE(testenv::FileExists(m_transcript)) << "no box was shown";
}

TEST_F(PrepareForWrite, DeclinedWhenNobodyAnswers) {
  std::u16string target = Win("new\\deeper");
  EXPECT_EQ(SHPathPrepareForWriteW(nullptr, nullptr, target.c_str(), SHPPFW_ASKDIRCREATE),
            HRESULT_FROM_WIN32(ERROR_CANCELLED));
  EXPECT_FALSE(testenv::FileExists(m_dir + "/new"));
  std::string transcript = testenv::ReadFile(m_transcript);
  EXPECT_NE(transcript.find("\"answer\":\"No\""), std::string::npos) << transcript;
  EXPECT_NE(transcript.find("new\\\\deeper\\\" does not exist"), std::string::npos) << "names the folder";
}

TEST_F(PrepareForWrite, CreatesTheFolderAndItsParentsOnConsent) {
  Answer("answer Yes text \"does not exist\"\n");
  std::u16string target = Win("new\\deeper\\");
  EXPECT_EQ(SHPathPrepareForWriteW(nullptr, nullptr, target.c_str(), SHPPFW_ASKDIRCREATE), S_OK);
  EXPECT_TRUE(testenv::FileExists(m_dir + "/new/deeper"));
  std::string transcript = testenv::ReadFile(m_transcript);
  EXPECT_NE(transcript.find("\"answer\":\"Yes\""), std::string::npos) << transcript;
  EXPECT_NE(transcript.find("\"style\":36"), std::string::npos) << "MB_YESNO | MB_ICONQUESTION";
}

TEST_F(PrepareForWrite, OtherFlagsAndFailures) {
  EXPECT_EQ(SHPathPrepareForWriteW(nullptr, nullptr, Win("quiet").c_str(), SHPPFW_DIRCREATE), S_OK);
  EXPECT_TRUE(testenv::FileExists(m_dir + "/quiet"));
  EXPECT_EQ(SHPathPrepareForWriteW(nullptr, nullptr, Win("none").c_str(), SHPPFW_NONE),
            HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(SHPathPrepareForWriteW(nullptr, nullptr, Win("file\\x.msi").c_str(),
                                   SHPPFW_DIRCREATE | SHPPFW_IGNOREFILENAME),
            S_OK);
  EXPECT_TRUE(testenv::FileExists(m_dir + "/file"));
  EXPECT_FALSE(testenv::FileExists(m_dir + "/file/x.msi"));
  testenv::WriteFile(m_dir + "/plain.txt", "x");
  EXPECT_EQ(SHPathPrepareForWriteW(nullptr, nullptr, Win("plain.txt").c_str(), SHPPFW_ASKDIRCREATE),
            HRESULT_FROM_WIN32(ERROR_DIRECTORY));
  EXPECT_EQ(SHPathPrepareForWriteW(nullptr, nullptr, u"C:\\bad<name>", SHPPFW_DIRCREATE),
            HRESULT_FROM_WIN32(ERROR_INVALID_NAME));
  EXPECT_EQ(SHPathPrepareForWriteW(nullptr, nullptr, nullptr, SHPPFW_DIRCREATE), E_INVALIDARG);
  EXPECT_FALSE(testenv::FileExists(m_transcript)) << "none of these asked";
}

TEST(SHCreateDirectoryEx, Table) {
  std::string dir = testenv::MakeTempDir("shcreate");
  std::u16string base = hw::ToWindowsPath(dir);
  EXPECT_EQ(SHCreateDirectoryExW(nullptr, (base + u"\\a\\b\\c").c_str(), nullptr), ERROR_SUCCESS);
  EXPECT_TRUE(testenv::FileExists(dir + "/a/b/c"));
  EXPECT_EQ(SHCreateDirectoryExW(nullptr, (base + u"\\a\\b").c_str(), nullptr), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(SHCreateDirectoryExW(nullptr, u"relative\\path", nullptr), ERROR_BAD_PATHNAME);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_PATHNAME));
}

}  // namespace
