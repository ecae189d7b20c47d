// A second process for the cross-process tables. It shares the test's prefix
// through the environment it inherits. Commands:
//   hold-mutex NAME    open the mutex, print the last error, hold it until stdin closes
//   add-atom NAME      add a global atom, print it, wait for stdin to close (the atom stays)
//   delete-atom ATOM   delete a global atom (hexadecimal), print the result
//   find-atom NAME     print the atom of NAME (0 when absent)
//   print-args         print each wide argument as hexadecimal code units, one per line
#include <windows.h>

#include "hw/text.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void WaitForStdinToClose() {
  char c;
  while (read(0, &c, 1) > 0) {
  }
}

std::u16string Wide(const char *text) { return hw::Utf8ToUtf16(text); }

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) return 2;
  const char *command = argv[1];
  if (!strcmp(command, "hold-mutex") && argc == 3) {
    HANDLE h = CreateMutexW(nullptr, FALSE, Wide(argv[2]).c_str());
    printf("ready %lu\n", static_cast<unsigned long>(h ? GetLastError() : 0xFFFFFFFFul));
    fflush(stdout);
    WaitForStdinToClose();
    CloseHandle(h);
    return 0;
  }
  if (!strcmp(command, "add-atom") && argc == 3) {
    printf("%x\n", GlobalAddAtomW(Wide(argv[2]).c_str()));
    fflush(stdout);
    WaitForStdinToClose();
    return 0;
  }
  if (!strcmp(command, "delete-atom") && argc == 3) {
    printf("%x\n", GlobalDeleteAtom(static_cast<ATOM>(strtoul(argv[2], nullptr, 16))));
    return 0;
  }
  if (!strcmp(command, "find-atom") && argc == 3) {
    printf("%x\n", GlobalFindAtomW(Wide(argv[2]).c_str()));
    return 0;
  }
  if (!strcmp(command, "print-args")) {
    for (int i = 0; i < __argc; ++i) {
      for (const WCHAR *p = __wargv[i]; *p; ++p) printf("%04x ", *p);
      printf("\n");
    }
    return 0;
  }
  return 2;
}
