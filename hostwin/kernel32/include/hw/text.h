// UTF-8 / UTF-16 conversion and case handling shared by the hostwin modules.
#pragma once

#include <windef.h>

#include <string>
#include <string_view>

namespace hw {

// Invalid UTF-8 becomes U+FFFD (one per maximal invalid subsequence).
std::u16string Utf8ToUtf16(std::string_view text);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
// True when the text is well-formed UTF-16 (no unpaired surrogate).
bool IsWellFormedUtf16(std::u16string_view text);

// Simple (one unit to one unit) case mapping of the basic multilingual plane,
// as CharUpperW and lstrcmpiW use it.
WCHAR ToUpper(WCHAR c);
WCHAR ToLower(WCHAR c);
std::u16string ToUpper(std::u16string_view text);
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);
int CompareNoCase(std::u16string_view a, std::u16string_view b);

// Length of a zero-terminated UTF-16 string; 0 for a null pointer.
size_t Length(const WCHAR *text);
// A view of a zero-terminated string; empty for a null pointer.
std::u16string_view View(const WCHAR *text);

// Copies text into a caller's buffer of `capacity` characters with the
// usual Windows contract: on success returns the length without terminator;
// when it does not fit returns the size needed including the terminator and
// writes nothing.
DWORD CopyOut(std::u16string_view text, WCHAR *buffer, DWORD capacity);

}  // namespace hw
