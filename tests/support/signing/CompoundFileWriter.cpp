#include "CompoundFileWriter.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace testsign {
namespace {

constexpr uint32_t kSector = 512;
constexpr uint32_t kMiniSector = 64;
constexpr uint32_t kCutoff = 4096;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFatSector = 0xFFFFFFFD;
constexpr uint32_t kFree = 0xFFFFFFFF;
constexpr uint32_t kNoStream = 0xFFFFFFFF;

struct Flat {
  const CfbNode *node;
  uint32_t left = kNoStream, right = kNoStream, child = kNoStream;
  uint32_t start = kEndOfChain;
  uint64_t size = 0;
  uint64_t dataOffset = 0;  // in the mini stream or in the big-stream area
};

uint32_t Sectors(uint64_t bytes, uint32_t unit) { return static_cast<uint32_t>((bytes + unit - 1) / unit); }

char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

// The container's own order of siblings: shorter names first, then by
// upper-cased code units.
bool ContainerOrder(const std::u16string &a, const std::u16string &b) {
  if (a.size() != b.size()) return a.size() < b.size();
  for (size_t i = 0; i < a.size(); ++i) {
    if (Upper(a[i]) != Upper(b[i])) return Upper(a[i]) < Upper(b[i]);
  }
  return false;
}

uint32_t BalancedTree(std::vector<Flat> &flat, const std::vector<uint32_t> &ids, size_t lo, size_t hi) {
  if (lo >= hi) return kNoStream;
  const size_t mid = (lo + hi) / 2;
  const uint32_t id = ids[mid];
  flat[id].left = BalancedTree(flat, ids, lo, mid);
  flat[id].right = BalancedTree(flat, ids, mid + 1, hi);
  return id;
}

uint32_t Flatten(const CfbNode &node, std::vector<Flat> &flat) {
  const uint32_t id = static_cast<uint32_t>(flat.size());
  flat.push_back(Flat{&node});
  if (!node.storage) return id;
  std::vector<uint32_t> children;
  for (const CfbNode &child : node.children) children.push_back(Flatten(child, flat));
  std::sort(children.begin(), children.end(),
            [&flat](uint32_t a, uint32_t b) { return ContainerOrder(flat[a].node->name, flat[b].node->name); });
  flat[id].child = BalancedTree(flat, children, 0, children.size());
  return id;
}

void Put16(std::vector<uint8_t> &b, uint64_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t> &b, uint64_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

int64_t CfbFile::EntryIndex(const std::u16string &name) const {
  for (size_t i = 0; i < entryNames.size(); ++i) {
    if (entryNames[i] == name) return static_cast<int64_t>(i);
  }
  return -1;
}

CfbFile WriteCompoundFile(const CfbNode &root) {
  std::vector<Flat> flat;
  Flatten(root, flat);

  // Small streams go to the mini stream, the others to their own sectors.
  std::string mini;
  std::vector<uint32_t> miniFat;
  uint32_t bigSectors = 0;
  for (size_t id = 1; id < flat.size(); ++id) {
    const CfbNode &node = *flat[id].node;
    if (node.storage) {
      flat[id].start = 0;
      continue;
    }
    flat[id].size = node.data.size();
    if (node.data.size() < kCutoff) {
      const uint32_t first = Sectors(mini.size(), kMiniSector);
      const uint32_t count = Sectors(node.data.size(), kMiniSector);
      flat[id].start = count ? first : kEndOfChain;
      flat[id].dataOffset = uint64_t{first} * kMiniSector;
      mini.resize(uint64_t{first} * kMiniSector);
      mini += node.data;
      mini.resize(uint64_t{first + count} * kMiniSector);
      for (uint32_t i = 0; i < count; ++i) miniFat.push_back(i + 1 < count ? first + i + 1 : kEndOfChain);
    } else {
      flat[id].dataOffset = uint64_t{bigSectors} * kSector;
      flat[id].start = bigSectors;  // relative for now
      bigSectors += Sectors(node.data.size(), kSector);
    }
  }

  const uint32_t directorySectors = Sectors(flat.size() * 128, kSector);
  const uint32_t miniFatSectors = Sectors(miniFat.size() * 4, kSector);
  const uint32_t containerSectors = Sectors(mini.size(), kSector);
  const uint32_t others = directorySectors + miniFatSectors + containerSectors + bigSectors;
  uint32_t fatSectors = 1;
  while (fatSectors * (kSector / 4) < fatSectors + others) ++fatSectors;
  if (fatSectors > 109) throw std::length_error("compound file too large for this writer");

  const uint32_t directoryStart = fatSectors;
  const uint32_t miniFatStart = directoryStart + directorySectors;
  const uint32_t containerStart = miniFatStart + miniFatSectors;
  const uint32_t bigStart = containerStart + containerSectors;
  const uint32_t total = bigStart + bigSectors;

  CfbFile file;
  file.bytes.assign(uint64_t{total + 1} * kSector, 0);
  std::vector<uint8_t> &b = file.bytes;
  auto sectorOffset = [](uint32_t sector) { return uint64_t{sector + 1} * kSector; };

  // Header.
  const uint8_t magic[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  memcpy(b.data(), magic, sizeof magic);
  Put16(b, 24, 0x3E);
  Put16(b, 26, 3);
  Put16(b, 28, 0xFFFE);
  Put16(b, 30, 9);
  Put16(b, 32, 6);
  Put32(b, 44, fatSectors);
  Put32(b, 48, directoryStart);
  Put32(b, 56, kCutoff);
  Put32(b, 60, miniFatSectors ? miniFatStart : kEndOfChain);
  Put32(b, 64, miniFatSectors);
  Put32(b, 68, kEndOfChain);
  for (uint32_t i = 0; i < 109; ++i) Put32(b, 76 + 4 * i, i < fatSectors ? i : kFree);

  // FAT: its own sectors, then one chain per structure and per big stream.
  std::vector<uint32_t> fat(uint64_t{fatSectors} * (kSector / 4), kFree);
  for (uint32_t i = 0; i < fatSectors; ++i) fat[i] = kFatSector;
  auto chain = [&fat](uint32_t first, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) fat[first + i] = i + 1 < count ? first + i + 1 : kEndOfChain;
  };
  chain(directoryStart, directorySectors);
  chain(miniFatStart, miniFatSectors);
  chain(containerStart, containerSectors);
  for (size_t id = 1; id < flat.size(); ++id) {
    if (flat[id].node->storage || flat[id].size < kCutoff) continue;
    flat[id].start += bigStart;
    chain(flat[id].start, Sectors(flat[id].size, kSector));
  }
  file.fatOffset = sectorOffset(0);
  for (size_t i = 0; i < fat.size(); ++i) Put32(b, file.fatOffset + 4 * i, fat[i]);
  for (size_t i = 0; i < miniFat.size(); ++i) Put32(b, sectorOffset(miniFatStart) + 4 * i, miniFat[i]);
  if (!mini.empty()) memcpy(&b[sectorOffset(containerStart)], mini.data(), mini.size());

  // Directory and stream contents.
  flat[0].start = containerSectors ? containerStart : kEndOfChain;
  flat[0].size = mini.size();
  for (size_t id = 0; id < flat.size(); ++id) {
    const Flat &entry = flat[id];
    const CfbNode &node = *entry.node;
    const uint64_t at = sectorOffset(directoryStart) + id * 128;
    for (size_t i = 0; i < node.name.size() && i < 31; ++i) Put16(b, at + 2 * i, node.name[i]);
    Put16(b, at + 64, static_cast<uint16_t>((std::min<size_t>(node.name.size(), 31) + 1) * 2));
    b[at + 66] = id == 0 ? 5 : node.storage ? 1 : 2;
    b[at + 67] = 1;  // black
    Put32(b, at + kEntryLeft, entry.left);
    Put32(b, at + kEntryRight, entry.right);
    Put32(b, at + kEntryChild, entry.child);
    if (node.storage) memcpy(&b[at + 80], node.clsid.data(), 16);
    Put32(b, at + kEntryStart, entry.start);
    Put32(b, at + kEntrySize, static_cast<uint32_t>(entry.size));
    file.entryOffsets.push_back(at);
    file.entryNames.push_back(node.name);
    uint64_t data = 0;
    if (!node.storage && id != 0 && entry.size > 0) {
      data = entry.size < kCutoff ? sectorOffset(containerStart) + entry.dataOffset : sectorOffset(entry.start);
      if (entry.size >= kCutoff) memcpy(&b[data], node.data.data(), node.data.size());
    }
    file.dataOffsets.push_back(data);
  }
  for (uint64_t id = flat.size(); id < uint64_t{directorySectors} * 4; ++id) {
    const uint64_t at = sectorOffset(directoryStart) + id * 128;
    Put32(b, at + kEntryLeft, kNoStream);
    Put32(b, at + kEntryRight, kNoStream);
    Put32(b, at + kEntryChild, kNoStream);
  }
  return file;
}

}  // namespace testsign
