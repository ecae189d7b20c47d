// The shell's special folders inside the prefix, for the other modules (the
// URL cache of urlmon lives in CSIDL_INTERNET_CACHE).
#pragma once

#include <optional>
#include <string>

namespace hw {

// The Windows path of a special folder (a CSIDL without flags), without a
// trailing backslash; empty when the CSIDL names no folder on disk.
std::optional<std::u16string> SpecialFolderPath(int csidl);

}  // namespace hw
