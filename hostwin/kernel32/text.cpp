// UTF-8 / UTF-16 conversion and case mapping.
#include "hw/text.h"

#include <locale.h>
#include <wctype.h>

namespace hw {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendUtf16(std::u16string &out, char32_t c) {
  if (c < 0x10000) {
    out.push_back(static_cast<char16_t>(c));
  } else {
    c -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  }
}

void AppendUtf8(std::string &out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// Decodes one UTF-8 sequence at text[i]; advances i past it (or past the
// maximal invalid subsequence) and returns the code point or U+FFFD.
char32_t DecodeUtf8(std::string_view text, size_t &i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char b0 = byte(i);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int need;
  char32_t c;
  unsigned char lo = 0x80, hi = 0xBF;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    need = 1;
    c = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 2;
    c = b0 & 0x0F;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;  // no encoded surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 3;
    c = b0 & 0x07;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    ++i;
    return kReplacement;
  }
  ++i;
  for (int k = 0; k < need; ++k) {
    if (i >= text.size()) return kReplacement;
    unsigned char b = byte(i);
    if (b < lo || b > hi) return kReplacement;
    lo = 0x80;
    hi = 0xBF;
    c = (c << 6) | (b & 0x3F);
    ++i;
  }
  return c;
}

locale_t Utf8Locale() {
  static locale_t locale = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return l;
  }();
  return locale;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) AppendUtf16(out, DecodeUtf8(text, i));
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

bool IsWellFormedUtf16(std::u16string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (IsHighSurrogate(text[i])) {
      if (i + 1 >= text.size() || !IsLowSurrogate(text[i + 1])) return false;
      ++i;
    } else if (IsLowSurrogate(text[i])) {
      return false;
    }
  }
  return true;
}

WCHAR ToUpper(WCHAR c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<WCHAR>(c - 32) : c;
  if (IsHighSurrogate(c) || IsLowSurrogate(c)) return c;
  locale_t l = Utf8Locale();
  if (!l) return c;
  wint_t u = towupper_l(static_cast<wint_t>(c), l);
  return u < 0x10000 ? static_cast<WCHAR>(u) : c;
}

WCHAR ToLower(WCHAR c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<WCHAR>(c + 32) : c;
  if (IsHighSurrogate(c) || IsLowSurrogate(c)) return c;
  locale_t l = Utf8Locale();
  if (!l) return c;
  wint_t u = towlower_l(static_cast<wint_t>(c), l);
  return u < 0x10000 ? static_cast<WCHAR>(u) : c;
}

std::u16string ToUpper(std::u16string_view text) {
  std::u16string out(text);
  for (auto &c : out) c = ToUpper(c);
  return out;
}

int CompareNoCase(std::u16string_view a, std::u16string_view b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    WCHAR x = ToUpper(a[i]), y = ToUpper(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

size_t Length(const WCHAR *text) {
  if (!text) return 0;
  size_t n = 0;
  while (text[n]) ++n;
  return n;
}

std::u16string_view View(const WCHAR *text) { return std::u16string_view(text ? text : u"", Length(text)); }

DWORD CopyOut(std::u16string_view text, WCHAR *buffer, DWORD capacity) {
  if (!buffer || capacity <= text.size()) return static_cast<DWORD>(text.size() + 1);
  text.copy(buffer, text.size());
  buffer[text.size()] = 0;
  return static_cast<DWORD>(text.size());
}

}  // namespace hw
