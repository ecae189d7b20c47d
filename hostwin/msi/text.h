// Names and text inside an installation database: the compressed stream
// names and the database's code page.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace hw::msi {

// The stored name of a stream: characters of the 64-letter alphabet
// [0-9A-Za-z._] are packed two to a code unit; table streams carry a marker.
std::u16string EncodeStreamName(std::u16string_view name, bool isTable);
// The name back; `isTable` tells whether it carried the table marker.
std::u16string DecodeStreamName(std::u16string_view stored, bool *isTable);

// Text in a code page. 0 is the host's ANSI code page (UTF-8). Decoding
// fails for a code page the host cannot convert; encoding also fails when a
// character has no representation in the code page.
bool CodePageSupported(uint32_t codePage);
bool DecodeText(uint32_t codePage, std::string_view bytes, std::u16string &out);
bool EncodeText(uint32_t codePage, std::u16string_view text, std::string &out);

}  // namespace hw::msi
