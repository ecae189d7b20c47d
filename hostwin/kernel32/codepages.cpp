// Narrow text: the host's ANSI and OEM code pages are UTF-8; Windows-1252,
// Latin-1 and ASCII are there for data that names them (summary streams).
#include <winbase.h>
#include <winnls.h>

#include "hw/text.h"

#include <string>

namespace {

constexpr char16_t k1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

enum class Charset { Utf8, Windows1252, Latin1, Ascii, Unknown };

Charset CharsetOf(UINT codePage) {
  switch (codePage) {
    case CP_ACP:
    case CP_OEMCP:
    case CP_THREAD_ACP:
    case CP_UTF8:
      return Charset::Utf8;
    case 1252:
      return Charset::Windows1252;
    case 28591:
      return Charset::Latin1;
    case 20127:
      return Charset::Ascii;
    default:
      return Charset::Unknown;
  }
}

bool DecodeSingleByte(Charset charset, std::string_view in, std::u16string &out, bool strict) {
  for (unsigned char b : in) {
    char16_t c = b;
    if (charset == Charset::Windows1252 && b >= 0x80 && b < 0xA0) c = k1252High[b - 0x80];
    if (charset == Charset::Ascii && b >= 0x80) {
      if (strict) return false;
      c = b & 0x7F;
    }
    out.push_back(c);
  }
  return true;
}

// Returns false when a character has no byte and a default was needed.
bool EncodeSingleByte(Charset charset, std::u16string_view in, std::string &out, char fallback) {
  bool exact = true;
  for (char16_t c : in) {
    int byte = -1;
    if (c < 0x80) {
      byte = c;
    } else if (charset == Charset::Latin1 && c < 0x100) {
      byte = c;
    } else if (charset == Charset::Windows1252) {
      if (c >= 0xA0 && c < 0x100) byte = c;
      for (int k = 0; k < 32 && byte < 0; ++k) {
        if (k1252High[k] == c) byte = 0x80 + k;
      }
    }
    if (byte < 0) {
      exact = false;
      byte = static_cast<unsigned char>(fallback);
    }
    out.push_back(static_cast<char>(byte));
  }
  return exact;
}

bool IsValidUtf8(std::string_view text) {
  return hw::Utf16ToUtf8(hw::Utf8ToUtf16(text)) == text;
}

}  // namespace

extern "C" UINT WINAPI GetACP(void) { return CP_UTF8; }

extern "C" UINT WINAPI GetOEMCP(void) { return CP_UTF8; }

extern "C" int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr,
                                          int cbMultiByte, LPWSTR lpWideCharStr, int cchWideChar) {
  Charset charset = CharsetOf(CodePage);
  if (!lpMultiByteStr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
      charset == Charset::Unknown || (lpWideCharStr && static_cast<const void *>(lpWideCharStr) ==
                                                           static_cast<const void *>(lpMultiByteStr))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (dwFlags & ~static_cast<DWORD>(MB_PRECOMPOSED | MB_ERR_INVALID_CHARS)) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  size_t length = cbMultiByte == -1 ? std::char_traits<char>::length(lpMultiByteStr) + 1
                                    : static_cast<size_t>(cbMultiByte);
  std::string_view in(lpMultiByteStr, length);
  bool strict = (dwFlags & MB_ERR_INVALID_CHARS) != 0;
  std::u16string out;
  if (charset == Charset::Utf8) {
    if (strict && !IsValidUtf8(in)) {
      SetLastError(ERROR_NO_UNICODE_TRANSLATION);
      return 0;
    }
    out = hw::Utf8ToUtf16(in);
  } else if (!DecodeSingleByte(charset, in, out, strict)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  if (cchWideChar == 0) return static_cast<int>(out.size());
  if (out.size() > static_cast<size_t>(cchWideChar)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  out.copy(lpWideCharStr, out.size());
  return static_cast<int>(out.size());
}

extern "C" int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr,
                                          int cchWideChar, LPSTR lpMultiByteStr, int cbMultiByte,
                                          LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar) {
  Charset charset = CharsetOf(CodePage);
  if (!lpWideCharStr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
      charset == Charset::Unknown ||
      (charset == Charset::Utf8 && (lpDefaultChar || lpUsedDefaultChar))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t length = cchWideChar == -1 ? hw::Length(lpWideCharStr) + 1 : static_cast<size_t>(cchWideChar);
  std::u16string_view in(lpWideCharStr, length);
  std::string out;
  if (charset == Charset::Utf8) {
    if ((dwFlags & WC_ERR_INVALID_CHARS) && !hw::IsWellFormedUtf16(in)) {
      SetLastError(ERROR_NO_UNICODE_TRANSLATION);
      return 0;
    }
    out = hw::Utf16ToUtf8(in);
  } else {
    bool exact = EncodeSingleByte(charset, in, out, lpDefaultChar ? *lpDefaultChar : '?');
    if (lpUsedDefaultChar) *lpUsedDefaultChar = exact ? FALSE : TRUE;
  }
  if (cbMultiByte == 0) return static_cast<int>(out.size());
  if (out.size() > static_cast<size_t>(cbMultiByte)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  out.copy(lpMultiByteStr, out.size());
  return static_cast<int>(out.size());
}
