// Replacing a file in one step: the new content is written to a file beside
// it, flushed to disk and renamed over the old one, so that a crash at any
// point leaves either the old or the new file, never a mix.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hw::msi {

// Returns 0, or the errno of the step that failed (nothing is left behind).
int ReplaceFileAtomically(const std::string &hostPath, const std::vector<uint8_t> &content);

// Reads a whole regular file; returns 0 or an errno (EISDIR for a folder).
int ReadWholeFile(const std::string &hostPath, std::vector<uint8_t> &content);

}  // namespace hw::msi
