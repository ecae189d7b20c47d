// user32's case conversion of strings (in place) and of single characters
// (passed in the low word of the pointer).
#include <windows.h>

#include "hw/text.h"

namespace {

template <WCHAR (*Convert)(WCHAR)>
LPWSTR ConvertInPlace(LPWSTR text) {
  if (!text) return nullptr;
  if (IS_INTRESOURCE(text)) {
    auto c = static_cast<WCHAR>(reinterpret_cast<ULONG_PTR>(text));
    return reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(Convert(c)));
  }
  for (LPWSTR p = text; *p; ++p) *p = Convert(*p);
  return text;
}

}  // namespace

extern "C" LPWSTR WINAPI CharUpperW(LPWSTR lpsz) { return ConvertInPlace<hw::ToUpper>(lpsz); }

extern "C" LPWSTR WINAPI CharLowerW(LPWSTR lpsz) { return ConvertInPlace<hw::ToLower>(lpsz); }
