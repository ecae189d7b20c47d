// MessageBoxW through the user-interface driver.
#include <windows.h>

#include "hw/text.h"
#include "hw/ui.h"

extern "C" int WINAPI MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
  hw::ui::Prompt prompt;
  prompt.buttons = hw::ui::MessageBoxButtons(uType);
  if (prompt.buttons.empty()) {
    SetLastError(ERROR_INVALID_MSGBOX_STYLE);
    return 0;
  }
  prompt.kind = "messagebox";
  prompt.title = lpCaption ? std::u16string(hw::View(lpCaption)) : u"Error";
  prompt.text = hw::View(lpText);
  prompt.style = uType;
  size_t defaultButton = (uType & MB_DEFMASK) >> 8;
  prompt.defaultButton = defaultButton < prompt.buttons.size() ? defaultButton : 0;
  return hw::ui::Ask(prompt);
}
