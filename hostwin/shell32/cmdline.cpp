// CommandLineToArgvW: one LocalAlloc block holding the pointer array and the
// strings, freed by the caller with LocalFree.
#include <windows.h>
#include <shellapi.h>

#include "hw/process.h"
#include "hw/text.h"

#include <cstring>

extern "C" LPWSTR *WINAPI CommandLineToArgvW(LPCWSTR lpCmdLine, int *pNumArgs) {
  if (!pNumArgs) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::vector<std::u16string> arguments;
  if (!lpCmdLine || !*lpCmdLine) {
    // An empty command line yields the program's own path.
    WCHAR path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    arguments.emplace_back(path, n < MAX_PATH ? n : 0);
  } else {
    arguments = hw::SplitCommandLine(hw::View(lpCmdLine));
  }
  size_t chars = 0;
  for (const auto &argument : arguments) chars += argument.size() + 1;
  size_t pointers = (arguments.size() + 1) * sizeof(LPWSTR);
  auto *block = static_cast<char *>(LocalAlloc(LMEM_FIXED, pointers + chars * sizeof(WCHAR)));
  if (!block) return nullptr;
  auto *argv = reinterpret_cast<LPWSTR *>(block);
  auto *text = reinterpret_cast<WCHAR *>(block + pointers);
  for (size_t k = 0; k < arguments.size(); ++k) {
    argv[k] = text;
    memcpy(text, arguments[k].data(), arguments[k].size() * sizeof(WCHAR));
    text[arguments[k].size()] = 0;
    text += arguments[k].size() + 1;
  }
  argv[arguments.size()] = nullptr;
  *pNumArgs = static_cast<int>(arguments.size());
  return argv;
}
