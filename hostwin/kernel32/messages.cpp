// FormatMessageW: message templates from a string or from the system's
// table, with numbered inserts (%1 to %99, optionally with a !printf!
// format), escapes (%%, %n, %0, ...) and an allocated or caller's buffer.
#include <winbase.h>
#include <winnls.h>

#include "hw/text.h"
#include "system_messages.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr DWORD kSourceMask = FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM;

// The caller's inserts: an array of pointer-sized values, or a va_list read
// in order (so %3 reads the first three arguments).
class Inserts {
 public:
  Inserts(va_list *args, bool isArray) : m_args(args), m_isArray(isArray) {}
  bool present() const { return m_args != nullptr; }
  DWORD_PTR Get(int number) {
    if (m_isArray) return reinterpret_cast<const DWORD_PTR *>(m_args)[number - 1];
    while (static_cast<int>(m_read.size()) < number) m_read.push_back(va_arg(*m_args, DWORD_PTR));
    return m_read[number - 1];
  }

 private:
  va_list *m_args;
  bool m_isArray;
  std::vector<DWORD_PTR> m_read;
};

// A printf conversion of one insert, as "!fmt!" names it ("s" by default).
struct Conversion {
  std::string flags;
  std::string width;
  std::string precision;
  bool narrow = false;  // h or S: a narrow string or character
  bool wide64 = false;  // ll or I64
  char type = 's';
};

std::optional<Conversion> ParseConversion(std::u16string_view spec) {
  Conversion c;
  size_t i = 0;
  auto at = [&](size_t k) -> char16_t { return k < spec.size() ? spec[k] : 0; };
  while (at(i) == u'-' || at(i) == u'+' || at(i) == u' ' || at(i) == u'#' || at(i) == u'0')
    c.flags.push_back(static_cast<char>(spec[i++]));
  while (at(i) >= u'0' && at(i) <= u'9') c.width.push_back(static_cast<char>(spec[i++]));
  if (at(i) == u'.') {
    ++i;
    c.precision.push_back('.');
    while (at(i) >= u'0' && at(i) <= u'9') c.precision.push_back(static_cast<char>(spec[i++]));
  }
  if (spec.substr(i, 3) == u"I64") {
    c.wide64 = true;
    i += 3;
  } else if (spec.substr(i, 3) == u"I32") {
    i += 3;
  } else if (spec.substr(i, 2) == u"ll") {
    c.wide64 = true;
    i += 2;
  } else if (at(i) == u'h') {
    c.narrow = true;
    ++i;
  } else if (at(i) == u'l' || at(i) == u'w' || at(i) == u'I') {
    ++i;
  }
  if (i + 1 != spec.size()) return std::nullopt;
  switch (spec[i]) {
    case u'S':
    case u'C':
      c.narrow = true;
      c.type = static_cast<char>(spec[i] + ('a' - 'A'));
      return c;
    case u's': case u'c': case u'd': case u'i': case u'u': case u'x': case u'X': case u'o': case u'p':
      c.type = static_cast<char>(spec[i]);
      return c;
    default:
      return std::nullopt;
  }
}

std::u16string Pad(std::u16string text, const Conversion &c) {
  if (c.precision.size() > 1 && c.type == 's') {
    size_t limit = std::stoul(c.precision.substr(1));
    if (text.size() > limit) text.resize(limit);
  }
  size_t width = c.width.empty() ? 0 : std::stoul(c.width);
  if (text.size() < width) {
    std::u16string fill(width - text.size(), u' ');
    text = c.flags.find('-') != std::string::npos ? text + fill : fill + text;
  }
  return text;
}

std::u16string FormatInsert(const Conversion &c, DWORD_PTR value) {
  if (c.type == 's') {
    if (!value) return Pad(u"(null)", c);
    if (c.narrow) return Pad(hw::Utf8ToUtf16(reinterpret_cast<const char *>(value)), c);
    return Pad(std::u16string(hw::View(reinterpret_cast<const WCHAR *>(value))), c);
  }
  if (c.type == 'c') {
    std::u16string one(1, c.narrow ? static_cast<char16_t>(static_cast<unsigned char>(value))
                                   : static_cast<char16_t>(value));
    return Pad(one, c);
  }
  std::string format = "%" + c.flags + c.width + c.precision;
  char buffer[128];
  if (c.type == 'p') {
    snprintf(buffer, sizeof buffer, "%0*llX", static_cast<int>(sizeof(void *) * 2),
             static_cast<unsigned long long>(value));
  } else if (c.type == 'd' || c.type == 'i') {
    long long number = c.wide64 ? static_cast<long long>(value) : static_cast<int32_t>(value);
    snprintf(buffer, sizeof buffer, (format + "lld").c_str(), number);
  } else {
    unsigned long long number = c.wide64 ? static_cast<unsigned long long>(value) : static_cast<uint32_t>(value);
    snprintf(buffer, sizeof buffer, (format + "ll" + c.type).c_str(), number);
  }
  return hw::Utf8ToUtf16(buffer);
}

// Expands a template; the Win32 error when it cannot be formatted.
DWORD Expand(std::u16string_view text, bool ignoreInserts, bool noLineBreaks, Inserts &inserts,
             std::u16string &out) {
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c != u'%') {
      if (noLineBreaks && (c == u'\r' || c == u'\n')) {
        // A line break of the template becomes one blank.
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        out.push_back(u' ');
      } else {
        out.push_back(c);
      }
      continue;
    }
    if (++i >= text.size()) break;
    c = text[i];
    if (c >= u'1' && c <= u'9') {
      size_t start = i - 1;
      int number = c - u'0';
      if (i + 1 < text.size() && text[i + 1] >= u'0' && text[i + 1] <= u'9') number = number * 10 + (text[++i] - u'0');
      std::u16string_view spec = u"s";
      if (i + 1 < text.size() && text[i + 1] == u'!') {
        size_t close = text.find(u'!', i + 2);
        if (close == std::u16string_view::npos) return ERROR_INVALID_PARAMETER;
        spec = text.substr(i + 2, close - i - 2);
        i = close;
      }
      if (ignoreInserts) {
        out.append(text.substr(start, i + 1 - start));
        continue;
      }
      std::optional<Conversion> conversion = ParseConversion(spec);
      if (!conversion || !inserts.present()) return ERROR_INVALID_PARAMETER;
      out += FormatInsert(*conversion, inserts.Get(number));
      continue;
    }
    switch (c) {
      case u'0':
        return ERROR_SUCCESS;  // the message ends here, without a line end
      case u'n':
        out += u"\r\n";
        break;
      case u'r':
        out.push_back(u'\r');
        break;
      case u't':
        out.push_back(u'\t');
        break;
      default:
        out.push_back(c);  // %%, %., %!, "% " and any other character stand for themselves
        break;
    }
  }
  return ERROR_SUCCESS;
}

bool IsEnglishOrDefault(DWORD languageId) {
  WORD primary = PRIMARYLANGID(static_cast<WORD>(languageId));
  return languageId == 0 || primary == LANG_NEUTRAL || primary == LANG_ENGLISH;
}

DWORD Fail(DWORD error) {
  SetLastError(error);
  return 0;
}

}  // namespace

extern "C" DWORD WINAPI FormatMessageW(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                                       LPWSTR lpBuffer, DWORD nSize, va_list *Arguments) {
  const bool allocate = dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER;
  if (allocate && lpBuffer) *reinterpret_cast<LPWSTR *>(lpBuffer) = nullptr;
  if (!lpBuffer) return Fail(ERROR_INVALID_PARAMETER);

  std::u16string_view messageTemplate;
  if (dwFlags & FORMAT_MESSAGE_FROM_STRING) {
    if (!lpSource) return Fail(ERROR_INVALID_PARAMETER);
    messageTemplate = hw::View(static_cast<const WCHAR *>(lpSource));
  } else if (dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) {
    // Message tables of modules do not exist here; the system's table serves.
    if (!IsEnglishOrDefault(dwLanguageId)) return Fail(ERROR_RESOURCE_LANG_NOT_FOUND);
    DWORD code = dwMessageId;
    if ((code & 0xFFFF0000) == 0x80070000) code &= 0xFFFF;  // a Win32 error as an HRESULT
    const char16_t *text = hw::SystemMessageTemplate(code);
    if (!text) return Fail(ERROR_MR_MID_NOT_FOUND);
    messageTemplate = text;
  } else if (dwFlags & kSourceMask) {
    return Fail(ERROR_RESOURCE_TYPE_NOT_FOUND);
  } else {
    return Fail(ERROR_INVALID_PARAMETER);
  }

  Inserts inserts(Arguments, dwFlags & FORMAT_MESSAGE_ARGUMENT_ARRAY);
  std::u16string text;
  DWORD error = Expand(messageTemplate, dwFlags & FORMAT_MESSAGE_IGNORE_INSERTS,
                       (dwFlags & FORMAT_MESSAGE_MAX_WIDTH_MASK) != 0, inserts, text);
  if (error) return Fail(error);

  if (allocate) {
    size_t chars = std::max<size_t>(text.size() + 1, nSize);
    auto *block = static_cast<LPWSTR>(LocalAlloc(LMEM_FIXED, chars * sizeof(WCHAR)));
    if (!block) return Fail(ERROR_NOT_ENOUGH_MEMORY);
    text.copy(block, text.size());
    block[text.size()] = 0;
    *reinterpret_cast<LPWSTR *>(lpBuffer) = block;
  } else {
    if (text.size() + 1 > nSize) return Fail(ERROR_INSUFFICIENT_BUFFER);
    text.copy(lpBuffer, text.size());
    lpBuffer[text.size()] = 0;
  }
  return static_cast<DWORD>(text.size());
}
