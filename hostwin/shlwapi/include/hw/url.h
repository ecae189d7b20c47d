// URL parsing shared by shlwapi's URL functions and WinINet's canonicaliser.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace hw {

// The parts of "scheme:[//[user[:password]@]host[:port]]path[?query][#fragment]".
// Views into the parsed text.
struct UrlParts {
  std::u16string_view scheme;  // without the colon; at least two characters
  bool hasAuthority = false;   // "//" follows the scheme
  std::u16string_view user;
  std::u16string_view password;
  std::u16string_view host;
  std::u16string_view port;
  std::u16string_view path;      // from the first '/' after the authority (or after the colon)
  std::u16string_view query;     // after '?', without it
  std::u16string_view fragment;  // after '#', without it
  bool hasQuery = false;
  bool hasFragment = false;
};

// Null when the text has no scheme, as PathIsURLW decides.
std::optional<UrlParts> ParseUrl(std::u16string_view url);

bool IsFileScheme(std::u16string_view scheme);

// Decodes %XX escapes; malformed escapes stay as they are. With `asUtf8`
// escaped bytes that form UTF-8 become the characters they encode, else
// each escape becomes the character with that code.
std::u16string UnescapeUrl(std::u16string_view text, bool asUtf8);

}  // namespace hw
