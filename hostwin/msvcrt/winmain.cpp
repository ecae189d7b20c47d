// The start-up code of a host program: it hands control to wWinMain with the
// command line after the program's name, and ends with its result.
#include <windows.h>

#include "hw/process.h"

int main() {
  LPWSTR line = GetCommandLineW();
  // Skip argument 0 as the C runtime does: a quoted path, or up to a blank.
  bool quoted = false;
  while (*line && (quoted || (*line != u' ' && *line != u'\t'))) {
    if (*line == u'"') quoted = !quoted;
    ++line;
  }
  while (*line == u' ' || *line == u'\t') ++line;
  return wWinMain(GetModuleHandleW(nullptr), nullptr, line, 1 /* SW_SHOWNORMAL */);
}
