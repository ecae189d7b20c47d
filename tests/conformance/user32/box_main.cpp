// Shows message boxes and exits with the last answer:
//   conformance_user32_box <style> <title> <text> [count]
#include <windows.h>

#include "hw/text.h"

#include <cstdlib>
#include <string>

int main(int argc, char **argv) {
  if (argc < 4) return 100;
  UINT style = static_cast<UINT>(strtoul(argv[1], nullptr, 0));
  std::u16string title = hw::Utf8ToUtf16(argv[2]);
  std::u16string text = hw::Utf8ToUtf16(argv[3]);
  int count = argc > 4 ? atoi(argv[4]) : 1;
  int answer = 0;
  for (int k = 0; k < count; ++k) answer = MessageBoxW(nullptr, text.c_str(), title.c_str(), style);
  return answer;
}
