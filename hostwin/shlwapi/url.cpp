// URL functions: PathIsURLW, UrlIsW, UrlGetPartW and UrlUnescapeW, over
// one URL parser.
#include <windows.h>
#include <shlwapi.h>

#include "hw/text.h"
#include "hw/url.h"

#include <vector>

namespace hw {
namespace {

bool IsSchemeChar(char16_t c, bool first) {
  bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
  if (first) return letter;
  return letter || (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.';
}

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Length of the UTF-8 sequence that starts with `lead`, 0 when invalid.
size_t Utf8Length(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

}  // namespace

std::optional<UrlParts> ParseUrl(std::u16string_view url) {
  size_t colon = 0;
  while (colon < url.size() && IsSchemeChar(url[colon], colon == 0)) ++colon;
  if (colon < 2 || colon >= url.size() || url[colon] != u':') return std::nullopt;
  UrlParts parts;
  parts.scheme = url.substr(0, colon);
  std::u16string_view rest = url.substr(colon + 1);
  size_t hash = rest.find(u'#');
  if (hash != std::u16string_view::npos) {
    parts.hasFragment = true;
    parts.fragment = rest.substr(hash + 1);
    rest = rest.substr(0, hash);
  }
  size_t question = rest.find(u'?');
  if (question != std::u16string_view::npos) {
    parts.hasQuery = true;
    parts.query = rest.substr(question + 1);
    rest = rest.substr(0, question);
  }
  if (rest.substr(0, 2) == u"//") {
    parts.hasAuthority = true;
    rest = rest.substr(2);
    size_t end = rest.find_first_of(IsFileScheme(parts.scheme) ? u"/\\" : u"/");
    std::u16string_view authority = rest.substr(0, end);
    parts.path = end == std::u16string_view::npos ? std::u16string_view() : rest.substr(end);
    size_t at = authority.rfind(u'@');
    if (at != std::u16string_view::npos) {
      std::u16string_view userInfo = authority.substr(0, at);
      size_t split = userInfo.find(u':');
      parts.user = userInfo.substr(0, split);
      if (split != std::u16string_view::npos) parts.password = userInfo.substr(split + 1);
      authority = authority.substr(at + 1);
    }
    size_t portColon = authority.rfind(u':');
    if (portColon != std::u16string_view::npos && authority.find(u']', portColon) == std::u16string_view::npos) {
      parts.port = authority.substr(portColon + 1);
      authority = authority.substr(0, portColon);
    }
    parts.host = authority;
  } else {
    parts.path = rest;
  }
  return parts;
}

bool IsFileScheme(std::u16string_view scheme) { return EqualsNoCase(scheme, u"file"); }

std::u16string UnescapeUrl(std::u16string_view text, bool asUtf8) {
  std::u16string out;
  for (size_t i = 0; i < text.size(); ++i) {
    int hi, lo;
    if (text[i] != u'%' || i + 2 >= text.size() || (hi = HexValue(text[i + 1])) < 0 ||
        (lo = HexValue(text[i + 2])) < 0) {
      out.push_back(text[i]);
      continue;
    }
    unsigned char byte = static_cast<unsigned char>(hi * 16 + lo);
    if (asUtf8 && byte >= 0x80) {
      // Gather the escaped bytes of one UTF-8 sequence.
      size_t need = Utf8Length(byte);
      std::string bytes(1, static_cast<char>(byte));
      size_t j = i + 3;
      while (need && bytes.size() < need && j + 2 < text.size() && text[j] == u'%' &&
             HexValue(text[j + 1]) >= 0 && HexValue(text[j + 2]) >= 0) {
        bytes.push_back(static_cast<char>(HexValue(text[j + 1]) * 16 + HexValue(text[j + 2])));
        j += 3;
      }
      std::u16string decoded = Utf8ToUtf16(bytes);
      if (need && bytes.size() == need && decoded.find(u'\uFFFD') == std::u16string::npos) {
        out += decoded;
        i = j - 1;
        continue;
      }
    }
    out.push_back(static_cast<char16_t>(byte));
    i += 2;
  }
  return out;
}

}  // namespace hw

namespace {

// Opaque schemes carry no path of folders.
bool IsOpaqueScheme(std::u16string_view scheme) {
  for (std::u16string_view opaque : {u"mailto", u"news", u"javascript", u"vbscript", u"about", u"shell", u"snews"}) {
    if (hw::EqualsNoCase(scheme, opaque)) return true;
  }
  return false;
}

HRESULT CopyPart(std::u16string_view text, LPWSTR out, DWORD *pcch) {
  if (*pcch <= text.size()) {
    *pcch = static_cast<DWORD>(text.size() + 1);
    return E_POINTER;
  }
  text.copy(out, text.size());
  out[text.size()] = 0;
  *pcch = static_cast<DWORD>(text.size());
  return S_OK;
}

}  // namespace

extern "C" BOOL WINAPI PathIsURLW(LPCWSTR pszPath) { return pszPath && hw::ParseUrl(hw::View(pszPath)).has_value(); }

extern "C" BOOL WINAPI UrlIsW(LPCWSTR pszUrl, URLIS UrlIs) {
  if (!pszUrl) return FALSE;
  std::u16string_view url = hw::View(pszUrl);
  std::optional<hw::UrlParts> parts = hw::ParseUrl(url);
  switch (UrlIs) {
    case URLIS_URL:
      return parts.has_value();
    case URLIS_FILEURL:
      return parts && hw::IsFileScheme(parts->scheme);
    case URLIS_OPAQUE:
      return parts && (IsOpaqueScheme(parts->scheme) || (!parts->hasAuthority && (parts->path.empty() || parts->path[0] != u'/')));
    case URLIS_HASQUERY:
      return parts && parts->hasQuery;
    case URLIS_DIRECTORY:
      return parts && !url.empty() && (url.back() == u'/' || url.back() == u'\\');
    default:
      return FALSE;
  }
}

extern "C" HRESULT WINAPI UrlGetPartW(LPCWSTR pszIn, LPWSTR pszOut, DWORD *pcchOut, DWORD dwPart, DWORD dwFlags) {
  if (!pszIn || !pszOut || !pcchOut || !*pcchOut) return E_INVALIDARG;
  std::optional<hw::UrlParts> parts = hw::ParseUrl(hw::View(pszIn));
  if (!parts) return E_FAIL;
  std::u16string_view part;
  switch (dwPart) {
    case URL_PART_SCHEME:
      return CopyPart(parts->scheme, pszOut, pcchOut);
    case URL_PART_HOSTNAME: part = parts->host; break;
    case URL_PART_USERNAME: part = parts->user; break;
    case URL_PART_PASSWORD: part = parts->password; break;
    case URL_PART_PORT: part = parts->port; break;
    case URL_PART_QUERY: part = parts->query; break;
    default: return E_INVALIDARG;
  }
  if (dwPart != URL_PART_QUERY && !parts->hasAuthority) return E_FAIL;
  if (part.empty()) {
    // The URL has no such part: an empty text.
    pszOut[0] = 0;
    *pcchOut = 0;
    return S_FALSE;
  }
  if (dwFlags & URL_PARTFLAG_KEEPSCHEME) {
    std::u16string kept = std::u16string(parts->scheme) + u":" + std::u16string(part);
    return CopyPart(kept, pszOut, pcchOut);
  }
  return CopyPart(part, pszOut, pcchOut);
}

extern "C" HRESULT WINAPI UrlUnescapeW(LPWSTR pszUrl, LPWSTR pszUnescaped, DWORD *pcchUnescaped, DWORD dwFlags) {
  if (!pszUrl) return E_INVALIDARG;
  const bool inPlace = dwFlags & URL_UNESCAPE_INPLACE;
  if (!inPlace && (!pszUnescaped || !pcchUnescaped)) return E_INVALIDARG;
  std::u16string_view url = hw::View(pszUrl);
  std::u16string_view escaped = url;
  std::u16string_view extra;
  if (dwFlags & URL_DONT_UNESCAPE_EXTRA_INFO) {
    size_t cut = url.find_first_of(u"?#");
    if (cut != std::u16string_view::npos) {
      escaped = url.substr(0, cut);
      extra = url.substr(cut);
    }
  }
  std::u16string text = hw::UnescapeUrl(escaped, dwFlags & URL_UNESCAPE_AS_UTF8);
  text += extra;
  if (inPlace) {
    // Never longer than the original, so it fits where it was.
    text.copy(pszUrl, text.size());
    pszUrl[text.size()] = 0;
    return S_OK;
  }
  return CopyPart(text, pszUnescaped, pcchUnescaped);
}
