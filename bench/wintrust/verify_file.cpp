// Verifies one file with WinVerifyTrust as the system calls it, loading the
// trust service by name; prints the result. The benchmark runs it as its
// own process, like osslsigncode, to compare time and peak memory.
#include <softpub.h>
#include <windows.h>
#include <wintrust.h>

#include "hw/text.h"

#include <cstdio>

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s <file>\n", argv[0]);
    return 2;
  }
  HMODULE module = LoadLibraryW(u"wintrust.dll");
  auto verify = module ? reinterpret_cast<decltype(&WinVerifyTrust)>(
                             reinterpret_cast<void *>(GetProcAddress(module, "WinVerifyTrust")))
                       : nullptr;
  if (!verify) return 3;
  std::u16string path = hw::Utf8ToUtf16(argv[1]);
  WINTRUST_FILE_INFO file{sizeof(WINTRUST_FILE_INFO), path.c_str(), nullptr, nullptr};
  WINTRUST_DATA data{};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  LONG result = verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  printf("0x%08X\n", static_cast<unsigned>(result));
  FreeLibrary(module);
  return result == 0 ? 0 : 1;
}
