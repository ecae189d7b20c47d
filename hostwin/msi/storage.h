// The compound file container (structured storage) that installation
// databases live in: a tree of storages and streams inside one file.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace hw::msi {

using Bytes = std::vector<uint8_t>;
using BytesPtr = std::shared_ptr<const Bytes>;

struct StorageEntry {
  std::u16string name;  // as stored, at most 31 UTF-16 units
  bool isStorage = false;
  uint8_t clsid[16] = {};
  uint32_t stateBits = 0;
  uint64_t created = 0;
  uint64_t modified = 0;
  BytesPtr data;                       // a stream's bytes (never null for a stream)
  std::vector<StorageEntry> children;  // a storage's streams and storages
};

// Reads a compound file from memory. Every field of the file is checked
// before use: sector numbers in range, chains without loops and used by one
// owner only, sizes capped by what the file holds. False (with a reason in
// `why`) when the file is not a well-formed compound file.
bool ReadCompoundFile(std::span<const uint8_t> file, StorageEntry &root, std::string *why);

// Writes a compound file (version 3, 512-byte sectors) holding the tree.
Bytes WriteCompoundFile(const StorageEntry &root);

// The order of names inside a storage's directory tree: shorter names first,
// then by upper-cased code units.
int CompareEntryNames(std::u16string_view a, std::u16string_view b);

// The longest name an entry can have.
constexpr size_t kMaxEntryName = 31;

// Values of the container format shared by its reader and writer.
namespace cfb {
constexpr uint32_t kFree = 0xFFFFFFFF;        // an unused sector
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;  // the end of a sector chain
constexpr uint32_t kFatSector = 0xFFFFFFFD;   // a sector of the FAT itself
constexpr uint32_t kDifatSector = 0xFFFFFFFC;
constexpr uint32_t kMaxRegular = 0xFFFFFFFA;  // sector numbers are below this
constexpr uint32_t kNoEntry = 0xFFFFFFFF;     // no sibling or child entry
constexpr uint32_t kMiniCutoff = 4096;        // smaller streams live in the mini stream
constexpr uint32_t kMiniSectorSize = 64;
constexpr uint32_t kEntrySize = 128;
constexpr uint32_t kHeaderDifatEntries = 109;
constexpr uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
}  // namespace cfb

}  // namespace hw::msi
