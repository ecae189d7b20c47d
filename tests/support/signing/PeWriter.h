// A writer of small (or very large) valid PE images for signing tests: DOS
// header, PE headers, one code section filled with pseudo-random bytes.
#pragma once

#include <cstdint>
#include <string>

namespace testsign {

struct PeOptions {
  uint64_t codeSize = 4096;  // bytes of the .text section
  bool pe32Plus = false;     // PE32+ (64-bit) headers instead of PE32
  uint32_t seed = 1;         // the section's content
};

// Writes the image in pieces, so that a 256 MB image takes no more memory
// than a small one. False when the file cannot be written.
bool WritePe(const std::string &path, const PeOptions &options);

// Offsets in an image written by WritePe.
inline constexpr uint64_t kPeCodeOffset = 0x200;  // the first byte of the section

}  // namespace testsign
