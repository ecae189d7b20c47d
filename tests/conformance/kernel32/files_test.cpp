// Files and paths: creation dispositions, copies and moves, the buffer
// contracts of the path queries, and the mapping of Windows paths onto the
// host (C: is the prefix, Z: the root).
#include <windows.h>

#include "TestEnvironment.h"
#include "hw/paths.h"
#include "hw/text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string Win(const std::string &hostPath) { return hw::ToWindowsPath(hostPath); }

class Files : public testing::Test {
 protected:
  void SetUp() override {
    m_dir = testenv::MakeTempDir("files");
    m_win = Win(m_dir);
  }
  std::u16string Path(const char16_t *name) const { return m_win + u"\\" + name; }
  std::string Host(const std::string &name) const { return m_dir + "/" + name; }

  std::string m_dir;
  std::u16string m_win;
};

DWORD CreateAndClose(const std::u16string &path, DWORD disposition, DWORD *lastError) {
  SetLastError(0xDEAD);
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  *lastError = GetLastError();
  if (h == INVALID_HANDLE_VALUE) return 0;
  CloseHandle(h);
  return 1;
}

TEST_F(Files, CreationDispositions) {
  testenv::WriteFile(Host("exists.txt"), "old");
  struct Row {
    const char16_t *name;
    DWORD disposition;
    DWORD opened;
    DWORD lastError;
  } rows[] = {
      {u"exists.txt", CREATE_NEW, 0, ERROR_FILE_EXISTS},
      {u"new1.txt", CREATE_NEW, 1, ERROR_SUCCESS},
      {u"exists.txt", CREATE_ALWAYS, 1, ERROR_ALREADY_EXISTS},
      {u"new2.txt", CREATE_ALWAYS, 1, ERROR_SUCCESS},
      {u"exists.txt", OPEN_EXISTING, 1, ERROR_SUCCESS},
      {u"missing.txt", OPEN_EXISTING, 0, ERROR_FILE_NOT_FOUND},
      {u"nofolder\\missing.txt", OPEN_EXISTING, 0, ERROR_PATH_NOT_FOUND},
      {u"nofolder\\new.txt", CREATE_ALWAYS, 0, ERROR_PATH_NOT_FOUND},
      {u"exists.txt", OPEN_ALWAYS, 1, ERROR_ALREADY_EXISTS},
      {u"new3.txt", OPEN_ALWAYS, 1, ERROR_SUCCESS},
      {u"exists.txt", TRUNCATE_EXISTING, 1, ERROR_SUCCESS},
      {u"missing.txt", TRUNCATE_EXISTING, 0, ERROR_FILE_NOT_FOUND},
      {u"exists.txt", 0, 0, ERROR_INVALID_PARAMETER},
  };
  for (const Row &row : rows) {
    DWORD lastError = 0;
    EXPECT_EQ(CreateAndClose(Path(row.name), row.disposition, &lastError), row.opened)
        << hw::Utf16ToUtf8(row.name) << " " << row.disposition;
    EXPECT_EQ(lastError, row.lastError) << hw::Utf16ToUtf8(row.name) << " " << row.disposition;
  }
  EXPECT_EQ(testenv::ReadFile(Host("exists.txt")), "");  // truncated by the later rows
}

TEST_F(Files, ReadWriteAndSize) {
  std::u16string path = Path(u"data.bin");
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_TEMPORARY, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(h, "hello world", 11, &written, nullptr));
  EXPECT_EQ(written, 11u);
  char byte;
  DWORD read = 7;
  EXPECT_FALSE(ReadFile(h, &byte, 1, &read, nullptr));  // a write-only handle
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(read, 0u);
  DWORD high = 1;
  EXPECT_EQ(GetFileSize(h, &high), 11u);
  EXPECT_EQ(high, 0u);
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_FALSE(CloseHandle(h));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  char buffer[32] = {};
  EXPECT_TRUE(ReadFile(h, buffer, sizeof buffer, &read, nullptr));
  EXPECT_EQ(read, 11u);
  EXPECT_STREQ(buffer, "hello world");
  EXPECT_TRUE(ReadFile(h, buffer, sizeof buffer, &read, nullptr));  // end of file is success with 0
  EXPECT_EQ(read, 0u);
  EXPECT_EQ(SetFilePointer(h, 6, nullptr, FILE_BEGIN), 6u);
  EXPECT_TRUE(ReadFile(h, buffer, 5, &read, nullptr));
  EXPECT_EQ(std::string(buffer, 5), "world");
  EXPECT_EQ(SetFilePointer(h, -100, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
  CloseHandle(h);
}

TEST_F(Files, Attributes) {
  testenv::WriteFile(Host("file.txt"), "x");
  EXPECT_EQ(GetFileAttributesW(m_win.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(GetFileAttributesW(Path(u"file.txt").c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_NE(GetFileAttributesW(Path(u"file.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  struct Row {
    const char16_t *name;
    DWORD error;
  } rows[] = {{u"missing.txt", ERROR_FILE_NOT_FOUND}, {u"missing\\file.txt", ERROR_PATH_NOT_FOUND}};
  for (const Row &row : rows) {
    EXPECT_EQ(GetFileAttributesW(Path(row.name).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), row.error);
  }
}

TEST_F(Files, CopyMoveDelete) {
  testenv::WriteFile(Host("a.txt"), "alpha");
  testenv::WriteFile(Host("b.txt"), "beta");
  EXPECT_FALSE(CopyFileW(Path(u"a.txt").c_str(), Path(u"b.txt").c_str(), TRUE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
  EXPECT_EQ(testenv::ReadFile(Host("b.txt")), "beta");
  EXPECT_TRUE(CopyFileW(Path(u"a.txt").c_str(), Path(u"b.txt").c_str(), FALSE));
  EXPECT_EQ(testenv::ReadFile(Host("b.txt")), "alpha");
  EXPECT_FALSE(CopyFileW(Path(u"none.txt").c_str(), Path(u"c.txt").c_str(), FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(testenv::FileExists(Host("c.txt")));
  EXPECT_FALSE(CopyFileW(Path(u"a.txt").c_str(), Path(u"nofolder\\c.txt").c_str(), FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

  // MoveFileW never replaces an existing file.
  EXPECT_FALSE(MoveFileW(Path(u"a.txt").c_str(), Path(u"b.txt").c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_TRUE(MoveFileW(Path(u"a.txt").c_str(), Path(u"moved.txt").c_str()));
  EXPECT_FALSE(testenv::FileExists(Host("a.txt")));
  EXPECT_EQ(testenv::ReadFile(Host("moved.txt")), "alpha");
  EXPECT_FALSE(MoveFileW(Path(u"a.txt").c_str(), Path(u"again.txt").c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  // Only the spelling of a name changes when both name the same file.
  EXPECT_TRUE(MoveFileW(Path(u"moved.txt").c_str(), Path(u"MOVED.txt").c_str()));
  EXPECT_TRUE(testenv::FileExists(Host("MOVED.txt")));

  EXPECT_TRUE(DeleteFileW(Path(u"MOVED.txt").c_str()));
  EXPECT_FALSE(DeleteFileW(Path(u"MOVED.txt").c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(DeleteFileW(m_win.c_str()));  // a folder
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(Files, Folders) {
  EXPECT_TRUE(CreateDirectoryW(Path(u"sub").c_str(), nullptr));
  EXPECT_FALSE(CreateDirectoryW(Path(u"sub").c_str(), nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_FALSE(CreateDirectoryW(Path(u"a\\b\\c").c_str(), nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  testenv::WriteFile(Host("sub/f"), "x");
  EXPECT_FALSE(RemoveDirectoryW(Path(u"sub").c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));
  EXPECT_TRUE(DeleteFileW(Path(u"sub\\f").c_str()));
  EXPECT_TRUE(RemoveDirectoryW(Path(u"sub").c_str()));
}

TEST_F(Files, BufferContractsOfPathQueries) {
  // GetTempPathW: the user's Temp folder with a trailing backslash; the
  // needed size (with terminator) when the buffer is short.
  WCHAR temp[MAX_PATH];
  DWORD n = GetTempPathW(MAX_PATH, temp);
  EXPECT_EQ(std::u16string(temp), u"C:\\users\\tester\\Temp\\");
  EXPECT_EQ(n, 21u);
  EXPECT_EQ(GetTempPathW(5, temp), 22u);
  EXPECT_EQ(GetTempPathW(0, nullptr), 22u);
  EXPECT_TRUE(testenv::FileExists(testenv::PrefixDir() + "/users/tester/Temp"));

  // GetLongPathNameW: fails for a missing file, reports the size needed.
  testenv::WriteFile(Host("long name.txt"), "x");
  std::u16string existing = Path(u"long name.txt");
  WCHAR out[MAX_PATH];
  EXPECT_EQ(GetLongPathNameW(existing.c_str(), out, MAX_PATH), existing.size());
  EXPECT_EQ(std::u16string(out), existing);
  EXPECT_EQ(GetLongPathNameW(existing.c_str(), out, 4), existing.size() + 1);
  EXPECT_EQ(GetLongPathNameW(Path(u"gone.txt").c_str(), out, MAX_PATH), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(GetLongPathNameW(Path(u"gone\\x.txt").c_str(), out, MAX_PATH), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

  // GetCurrentDirectoryW: the host's current folder on Z:.
  WCHAR cwd[4096];
  DWORD length = GetCurrentDirectoryW(4096, cwd);
  EXPECT_GT(length, 2u);
  EXPECT_EQ(cwd[0], u'Z');
  EXPECT_EQ(GetCurrentDirectoryW(2, cwd), length + 1);

  // GetModuleFileNameW: a short buffer is filled, terminated and reported
  // with ERROR_INSUFFICIENT_BUFFER.
  WCHAR module[MAX_PATH];
  DWORD full = GetModuleFileNameW(nullptr, module, MAX_PATH);
  ASSERT_GT(full, 5u);
  EXPECT_EQ(std::u16string(module).rfind(u"Z:\\", 0), 0u);
  WCHAR shortBuffer[5];
  EXPECT_EQ(GetModuleFileNameW(nullptr, shortBuffer, 5), 5u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(shortBuffer[4], 0);
}

TEST(PathMapping, DrivesAndNormalisation) {
  std::string prefix = testenv::PrefixDir();
  struct Row {
    const char16_t *windows;
    std::string host;
  } rows[] = {
      {u"C:\\users\\tester\\Temp\\x.msi", prefix + "/users/tester/Temp/x.msi"},
      {u"c:/users/tester/temp/x.msi", prefix + "/users/tester/Temp/x.msi"},  // case of existing folders found
      {u"C:\\..\\..\\etc\\passwd", prefix + "/etc/passwd"},                  // never above the root
      {u"C:\\a\\.\\b\\..\\c", prefix + "/a/c"},
      {u"C:\\a\\dots...\\name. ", prefix + "/a/dots/name"},
      {u"Z:\\tmp\\x", "/tmp/x"},
      {u"/tmp/x", "/tmp/x"},  // a rooted path is on the current drive, Z:
      {u"\\\\?\\C:\\a", prefix + "/a"},
  };
  for (const Row &row : rows) {
    hw::HostPath host = hw::ToHostPath(row.windows);
    EXPECT_EQ(host.error, 0u) << hw::Utf16ToUtf8(row.windows);
    EXPECT_EQ(host.path, row.host) << hw::Utf16ToUtf8(row.windows);
  }
  EXPECT_EQ(hw::ToWindowsPath(prefix + "/windows"), u"C:\\windows");
  EXPECT_EQ(hw::ToWindowsPath("/usr/lib"), u"Z:\\usr\\lib");
  EXPECT_EQ(hw::ToWindowsPath("/"), u"Z:\\");
}

TEST(PathMapping, RefusedPaths) {
  std::u16string longPath = u"C:\\" + std::u16string(300, u'a');
  struct Row {
    std::u16string path;
    DWORD error;
  } rows[] = {
      {u"D:\\data\\x.txt", ERROR_PATH_NOT_FOUND},   // a drive that is not mapped
      {u"\\\\server\\share\\x.txt", ERROR_PATH_NOT_FOUND},
      {u"\\\\.\\PhysicalDrive0", ERROR_PATH_NOT_FOUND},
      {u"C:\\NUL", ERROR_PATH_NOT_FOUND},
      {u"C:\\folder\\con.txt", ERROR_PATH_NOT_FOUND},
      {u"C:\\COM1", ERROR_PATH_NOT_FOUND},
      {u"C:\\a<b.txt", ERROR_INVALID_NAME},
      {u"C:\\what?.txt", ERROR_INVALID_NAME},
      {u"C:\\x\\y:stream", ERROR_INVALID_NAME},
      {longPath, ERROR_FILENAME_EXCED_RANGE},
      {u"", ERROR_PATH_NOT_FOUND},
  };
  for (const Row &row : rows) {
    EXPECT_EQ(hw::ToHostPath(row.path).error, row.error) << hw::Utf16ToUtf8(row.path);
    SetLastError(0);
    EXPECT_EQ(CreateFileW(row.path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), row.error) << hw::Utf16ToUtf8(row.path);
  }
  // The console name as part of a longer name is an ordinary file name.
  EXPECT_EQ(hw::ToHostPath(u"C:\\console.txt").error, 0u);
}

TEST(PathMapping, FullPathName) {
  WCHAR buffer[MAX_PATH];
  LPWSTR filePart = nullptr;
  DWORD n = GetFullPathNameW(u"C:\\a\\b\\..\\c.txt", MAX_PATH, buffer, &filePart);
  EXPECT_EQ(std::u16string(buffer), u"C:\\a\\c.txt");
  EXPECT_EQ(n, 10u);
  ASSERT_NE(filePart, nullptr);
  EXPECT_EQ(std::u16string(filePart), u"c.txt");
  EXPECT_EQ(GetFullPathNameW(u"C:\\a\\", MAX_PATH, buffer, &filePart), 5u);
  EXPECT_EQ(filePart, nullptr);
  EXPECT_EQ(GetFullPathNameW(u"C:\\abc", 3, buffer, nullptr), 7u);
}

}  // namespace
