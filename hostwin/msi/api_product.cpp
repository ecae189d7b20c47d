// Product queries. The host keeps no record of installed products yet, so
// every well-formed product code is unknown.
#include <windows.h>
#include <msi.h>

#include "hw/text.h"

namespace {

bool IsProductCode(std::u16string_view s) {
  if (s.size() != 38 || s[0] != u'{' || s[37] != u'}') return false;
  for (size_t i = 1; i < 37; ++i) {
    const char16_t c = s[i];
    const bool hex = (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
    if ((i == 9 || i == 14 || i == 19 || i == 24) ? c != u'-' : !hex) return false;
  }
  return true;
}

}  // namespace

extern "C" INSTALLSTATE WINAPI MsiQueryProductStateW(LPCWSTR szProduct) {
  if (!szProduct || !IsProductCode(hw::View(szProduct))) return INSTALLSTATE_INVALIDARG;
  return INSTALLSTATE_UNKNOWN;
}
