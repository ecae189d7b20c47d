// A minimal compound file writer (version 3, 512-byte sectors, up to a few
// megabytes) for tests of the database digest and of malformed files: it
// reports where it put each directory entry and stream, so that a test can
// damage exactly one structure.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace testsign {

struct CfbNode {
  std::u16string name;
  bool storage = false;
  std::string data;                 // a stream's content
  std::array<uint8_t, 16> clsid{};  // a storage's class id
  std::vector<CfbNode> children;    // a storage's entries
};

inline CfbNode MakeStream(std::u16string name, std::string data) {
  CfbNode node;
  node.name = std::move(name);
  node.data = std::move(data);
  return node;
}

inline CfbNode MakeStorage(std::u16string name, uint8_t clsidFill = 0) {
  CfbNode node;
  node.name = std::move(name);
  node.storage = true;
  node.clsid.fill(clsidFill);
  return node;
}

struct CfbFile {
  std::vector<uint8_t> bytes;
  // Directory entries in the order they were written (the root first, then
  // a storage's children in the order given, each followed by its own).
  std::vector<uint64_t> entryOffsets;
  std::vector<std::u16string> entryNames;
  uint64_t fatOffset = 0;  // the first FAT sector
  // Where each stream's first byte is, by entry index (0 for storages).
  std::vector<uint64_t> dataOffsets;

  int64_t EntryIndex(const std::u16string &name) const;
};

CfbFile WriteCompoundFile(const CfbNode &root);

// Offsets of the fields of a directory entry.
inline constexpr int kEntryLeft = 68, kEntryRight = 72, kEntryChild = 76, kEntryStart = 116, kEntrySize = 120;

}  // namespace testsign
