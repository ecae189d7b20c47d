// The window the trust service shows for a file that fails verification:
// a "security-warning" box of the user-interface driver, with OK only.
#pragma once

#include <winerror.h>

#include <string>
#include <string_view>

namespace hw::trust {

// The text of a verification failure, for people.
std::string DescribeTrustResult(HRESULT result);

// Shows the box (and so records it in the transcript) and waits for it to
// be closed.
void RecordSecurityWarning(std::u16string_view path, HRESULT result);

}  // namespace hw::trust
