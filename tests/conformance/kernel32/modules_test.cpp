// LoadLibraryW, GetProcAddress and FreeLibrary over the host's shared objects,
// and the state a loaded library shares with the program.
#include <windows.h>

#include "TestEnvironment.h"
#include "hw/paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

std::u16string LibraryPath(const char *name) {
  return hw::ToWindowsPath(testenv::BinaryDir() + "/../lib/lib" + name + ".so");
}

template <class F>
F Proc(HMODULE module, const char *name) {
  return reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(module, name)));
}

TEST(Modules, LibrarySharesTheProgramsState) {
  HMODULE module = LoadLibraryW(LibraryPath("conformance_testlib").c_str());
  ASSERT_NE(module, nullptr);
  auto lastErrorSeen = Proc<DWORD (*)()>(module, "LastErrorSeen");
  auto readFirstByte = Proc<BOOL (*)(HANDLE, char *)>(module, "ReadFirstByte");
  ASSERT_TRUE(lastErrorSeen && readFirstByte);

  SetLastError(1618);
  EXPECT_EQ(lastErrorSeen(), 1618u);

  std::string file = testenv::MakeTempDir("lib") + "/data.txt";
  testenv::WriteFile(file, "Q");
  HANDLE h = CreateFileW(hw::ToWindowsPath(file).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  char byte = 0;
  EXPECT_TRUE(readFirstByte(h, &byte));  // the program's handle, used by the library
  EXPECT_EQ(byte, 'Q');
  CloseHandle(h);
  EXPECT_TRUE(FreeLibrary(module));
}

TEST(Modules, DllMainAndReferenceCounts) {
  std::u16string path = LibraryPath("conformance_testlib");
  HMODULE first = LoadLibraryW(path.c_str());
  HMODULE second = LoadLibraryW(path.c_str());
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  EXPECT_EQ(Proc<int (*)()>(first, "AttachCount")(), 1);  // attached once
  int detached = 0;
  Proc<void (*)(int *)>(first, "WatchDetach")(&detached);
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_EQ(detached, 0);
  EXPECT_TRUE(FreeLibrary(second));
  EXPECT_EQ(detached, 1);
  EXPECT_FALSE(FreeLibrary(first));
}

TEST(Modules, ProcAddressRules) {
  HMODULE module = LoadLibraryW(LibraryPath("conformance_testlib").c_str());
  ASSERT_NE(module, nullptr);
  struct Row {
    const char *name;
    bool found;
  } rows[] = {
      {"Increment", true},     {"_Increment@4", true}, {"Increment@4", true},
      {"_Increment", false},   {"Increment@", false},  {"Missing", false},
      {"GetLastError", false},  // an export of another module the library uses
  };
  for (const Row &row : rows) {
    SetLastError(0);
    FARPROC proc = GetProcAddress(module, row.name);
    EXPECT_EQ(proc != nullptr, row.found) << row.name;
    if (!row.found) {
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND)) << row.name;
    }
  }
  EXPECT_EQ(Proc<int(__stdcall *)(int)>(module, "_Increment@4")(41), 42);
  EXPECT_EQ(GetProcAddress(module, reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(1))), nullptr);
  FreeLibrary(module);
}

TEST(Modules, SearchAndFailures) {
  // A bare name is looked up in the system folder, with ".dll" added.
  std::string system32 = hw::ToHostPath(u"C:\\windows\\system32").path;
  std::filesystem::copy_file(testenv::BinaryDir() + "/../lib/libconformance_testlib.so", system32 + "/TestLib.dll");
  HMODULE module = LoadLibraryW(u"testlib");
  ASSERT_NE(module, nullptr);
  WCHAR path[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(module, path, MAX_PATH), 0u);
  EXPECT_EQ(std::u16string(path), u"C:\\windows\\system32\\TestLib.dll");
  EXPECT_EQ(GetModuleHandleW(u"TESTLIB.DLL"), module);
  FreeLibrary(module);

  struct Row {
    const char16_t *name;
    DWORD error;
  } rows[] = {
      {u"JScript.dll", ERROR_MOD_NOT_FOUND},
      {u"C:\\nowhere\\x.dll", ERROR_MOD_NOT_FOUND},
  };
  for (const Row &row : rows) {
    EXPECT_EQ(LoadLibraryW(row.name), nullptr);
    EXPECT_EQ(GetLastError(), row.error);
  }
  testenv::WriteFile(system32 + "/notcode.dll", "MZ this is not a shared object");
  EXPECT_EQ(LoadLibraryW(u"notcode.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
  EXPECT_EQ(LoadLibraryW(LibraryPath("conformance_refusing_lib").c_str()), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DLL_INIT_FAILED));
}

TEST(Modules, HostwinDllsByName) {
  HMODULE kernel = LoadLibraryW(u"KERNEL32.DLL");
  ASSERT_NE(kernel, nullptr);
  auto getLastError = Proc<DWORD (*)()>(kernel, "GetLastError");
  ASSERT_NE(getLastError, nullptr);
  SetLastError(1223);
  EXPECT_EQ(getLastError(), 1223u);
  EXPECT_EQ(GetModuleHandleW(u"kernel32"), kernel);
  WCHAR path[MAX_PATH];
  GetModuleFileNameW(kernel, path, MAX_PATH);
  EXPECT_EQ(std::u16string(path), u"C:\\windows\\system32\\KERNEL32.DLL");
  EXPECT_TRUE(FreeLibrary(kernel));
  EXPECT_EQ(GetModuleHandleW(nullptr), GetModuleHandleW(nullptr));
  EXPECT_NE(GetModuleHandleW(nullptr), nullptr);
}

}  // namespace
