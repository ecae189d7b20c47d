// InternetCanonicalizeUrlW: a URL in the form the transfer functions take.
// By default unsafe characters and blanks are escaped and "." and ".."
// segments of the path are removed; well-formed escapes stay, and a '%' that
// starts no escape is left alone. A local path becomes a file URL.
#include <windows.h>
#include <shlwapi.h>
#include <wininet.h>

#include "hw/text.h"
#include "hw/url.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Characters that must be escaped in a URL: controls, blanks, non-ASCII
// and the unsafe marks.
bool IsUnsafe(char16_t c) {
  if (c <= 0x20 || c >= 0x7F) return true;
  switch (c) {
    case u'"': case u'<': case u'>': case u'\\': case u'^': case u'`': case u'{': case u'|': case u'}':
      return true;
    default:
      return false;
  }
}

void AppendEscaped(std::u16string &out, char16_t c) {
  // Non-ASCII characters are escaped as their UTF-8 bytes.
  std::string bytes = hw::Utf16ToUtf8(std::u16string(1, c));
  for (unsigned char b : bytes) {
    char escaped[4];
    snprintf(escaped, sizeof escaped, "%%%02X", b);
    out += hw::Utf8ToUtf16(escaped);
  }
}

std::u16string Escape(std::u16string_view text, DWORD flags) {
  if (flags & ICU_NO_ENCODE) return std::u16string(text);
  std::u16string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    bool escape;
    if (flags & ICU_ENCODE_SPACES_ONLY) {
      escape = c == u' ';
    } else if (c == u'%') {
      escape = (flags & ICU_ENCODE_PERCENT) != 0;
    } else {
      escape = IsUnsafe(c);
    }
    if (!escape) {
      out.push_back(c);
    } else if (i + 1 < text.size() && IsHighSurrogate(c) && IsLowSurrogate(text[i + 1])) {
      std::string bytes = hw::Utf16ToUtf8(text.substr(i, 2));
      for (unsigned char b : bytes) {
        char escaped[4];
        snprintf(escaped, sizeof escaped, "%%%02X", b);
        out += hw::Utf8ToUtf16(escaped);
      }
      ++i;
    } else {
      AppendEscaped(out, c);
    }
  }
  return out;
}

// Removes "." and ".." segments of a path that starts with '/'.
std::u16string RemoveDotSegments(std::u16string_view path) {
  std::vector<std::u16string> kept;
  size_t start = 1;
  bool endsInFolder = false;
  while (start <= path.size()) {
    size_t end = path.find(u'/', start);
    if (end == std::u16string_view::npos) end = path.size();
    std::u16string segment(path.substr(start, end - start));
    endsInFolder = false;
    if (segment == u"." || segment == u"%2e" || segment == u"%2E") {
      endsInFolder = true;
    } else if (segment == u".." || hw::EqualsNoCase(segment, u"%2e%2e")) {
      if (!kept.empty()) kept.pop_back();
      endsInFolder = true;
    } else {
      kept.push_back(segment);
    }
    start = end + 1;
  }
  std::u16string out;
  for (const std::u16string &segment : kept) out += u"/" + segment;
  if (endsInFolder || out.empty()) out += u"/";
  return out;
}

// A drive path (C:\folder\file) as a file URL.
std::u16string FileUrlOfPath(std::u16string_view path) {
  std::u16string slashes(path);
  for (char16_t &c : slashes) {
    if (c == u'\\') c = u'/';
  }
  return u"file:///" + slashes;
}

bool IsDrivePath(std::u16string_view text) {
  return text.size() >= 3 && text[1] == u':' && (text[2] == u'\\' || text[2] == u'/') &&
         ((text[0] >= u'A' && text[0] <= u'Z') || (text[0] >= u'a' && text[0] <= u'z'));
}

}  // namespace

extern "C" BOOL WINAPI InternetCanonicalizeUrlW(LPCWSTR lpszUrl, LPWSTR lpszBuffer, LPDWORD lpdwBufferLength,
                                                DWORD dwFlags) {
  if (!lpszUrl || !lpdwBufferLength || (!lpszBuffer && *lpdwBufferLength)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::u16string_view input = hw::View(lpszUrl);
  std::u16string source = IsDrivePath(input) ? FileUrlOfPath(input) : std::u16string(input);
  std::optional<hw::UrlParts> parts = hw::ParseUrl(source);
  if (!parts) {
    SetLastError(ERROR_INTERNET_INVALID_URL);
    return FALSE;
  }
  std::u16string scheme(parts->scheme);
  for (char16_t &c : scheme) c = hw::ToLower(c);
  std::u16string_view afterScheme = std::u16string_view(source).substr(parts->scheme.size() + 1);
  // Everything before the path (the "//authority") is kept as it is.
  size_t pathStart = parts->path.data() ? static_cast<size_t>(parts->path.data() - source.data()) : source.size();
  std::u16string head(std::u16string_view(source).substr(parts->scheme.size() + 1,
                                                         pathStart - parts->scheme.size() - 1));
  std::u16string_view path = parts->path;
  if (!parts->hasAuthority) path = afterScheme.substr(0, afterScheme.find_first_of(u"?#"));

  std::u16string decoded = (dwFlags & ICU_DECODE) ? hw::UnescapeUrl(path, false) : std::u16string(path);
  if (!(dwFlags & ICU_NO_META) && parts->hasAuthority && !decoded.empty() && decoded[0] == u'/')
    decoded = RemoveDotSegments(decoded);
  if (parts->hasAuthority && decoded.empty() && !hw::IsFileScheme(parts->scheme)) decoded = u"/";

  std::u16string result = scheme + u":" + Escape(head, dwFlags) + Escape(decoded, dwFlags);
  bool browserMode = dwFlags & ICU_BROWSER_MODE;
  if (parts->hasQuery) {
    std::u16string query(parts->query);
    result += u"?" + (browserMode ? query : Escape(query, dwFlags));
  }
  if (parts->hasFragment) {
    std::u16string fragment(parts->fragment);
    result += u"#" + (browserMode ? fragment : Escape(fragment, dwFlags));
  }

  if (*lpdwBufferLength <= result.size()) {
    *lpdwBufferLength = static_cast<DWORD>(result.size() + 1);
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  result.copy(lpszBuffer, result.size());
  lpszBuffer[result.size()] = 0;
  *lpdwBufferLength = static_cast<DWORD>(result.size());
  return TRUE;
}
