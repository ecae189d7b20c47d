// The window the trust service shows for a file that fails verification,
// as the host records it: one "security-warning" entry in the
// user-interface transcript (HOSTWIN_TRANSCRIPT).
#pragma once

#include <winerror.h>

#include <string>
#include <string_view>

namespace hw::trust {

// The text of a verification failure, for people.
std::string DescribeTrustResult(HRESULT result);

// Appends {"kind":"security-warning","title":...,"text":...,"answer":...}
// as one line with one write, so that lines of several processes never mix.
void RecordSecurityWarning(std::u16string_view path, HRESULT result);

}  // namespace hw::trust
