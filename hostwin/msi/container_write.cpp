// Writing the compound file container: version 3 (512-byte sectors), small
// streams in the mini stream, each storage's entries in a balanced
// red-black tree.
#include "storage.h"

#include <algorithm>
#include <cstring>

namespace hw::msi {
namespace {

using namespace cfb;
constexpr uint32_t kSectorSize = 512;
constexpr uint32_t kEntriesPerSector = kSectorSize / kEntrySize;
constexpr uint32_t kIdsPerSector = kSectorSize / 4;

void Put16(uint8_t *p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t *p, uint32_t v) {
  for (int k = 0; k < 4; ++k) p[k] = static_cast<uint8_t>(v >> (8 * k));
}
void Put64(uint8_t *p, uint64_t v) {
  Put32(p, static_cast<uint32_t>(v));
  Put32(p + 4, static_cast<uint32_t>(v >> 32));
}

uint32_t SectorsFor(uint64_t bytes, uint32_t unit) { return static_cast<uint32_t>((bytes + unit - 1) / unit); }

struct Node {
  const StorageEntry *entry;
  uint8_t type;
  uint32_t left = kNoEntry, right = kNoEntry, child = kNoEntry;
  bool red = false;
  uint32_t start = kEndOfChain;
  uint64_t size = 0;
};

class Writer {
 public:
  Bytes Write(const StorageEntry &root) {
    m_nodes.push_back(Node{&root, 5});
    AddChildren(0);
    PlaceStreams();
    return Assemble();
  }

 private:
  // Gives the storage's entries their directory slots and links them as a
  // balanced tree under the storage.
  void AddChildren(uint32_t parent) {
    const StorageEntry &storage = *m_nodes[parent].entry;
    std::vector<const StorageEntry *> sorted;
    for (const StorageEntry &child : storage.children) sorted.push_back(&child);
    std::sort(sorted.begin(), sorted.end(), [](const StorageEntry *a, const StorageEntry *b) {
      return CompareEntryNames(a->name, b->name) < 0;
    });
    const uint32_t first = static_cast<uint32_t>(m_nodes.size());
    for (const StorageEntry *child : sorted) m_nodes.push_back(Node{child, static_cast<uint8_t>(child->isStorage ? 1 : 2)});
    const uint32_t count = static_cast<uint32_t>(sorted.size());
    int height = 0;
    while ((1u << height) - 1 < count) ++height;
    const bool perfect = ((1u << height) - 1) == count;
    m_nodes[parent].child = Balance(first, 0, count, 0, height - 1, perfect);
    for (uint32_t i = first; i < first + count; ++i) {
      if (m_nodes[i].type == 1) AddChildren(i);
    }
  }

  // Builds the subtree of sorted slots [lo, hi); nodes on the last, partly
  // filled level are red, so every path has the same number of black nodes.
  uint32_t Balance(uint32_t base, uint32_t lo, uint32_t hi, int depth, int lastLevel, bool perfect) {
    if (lo >= hi) return kNoEntry;
    const uint32_t mid = lo + (hi - lo) / 2;
    Node &node = m_nodes[base + mid];
    node.red = !perfect && depth == lastLevel;
    const uint32_t left = Balance(base, lo, mid, depth + 1, lastLevel, perfect);
    const uint32_t right = Balance(base, mid + 1, hi, depth + 1, lastLevel, perfect);
    m_nodes[base + mid].left = left;
    m_nodes[base + mid].right = right;
    return base + mid;
  }

  void PlaceStreams() {
    for (Node &node : m_nodes) {
      if (node.type != 2) continue;
      const Bytes &data = *node.entry->data;
      node.size = data.size();
      if (data.empty()) continue;
      if (data.size() < kMiniCutoff) {
        const uint32_t first = static_cast<uint32_t>(m_miniFat.size());
        const uint32_t count = SectorsFor(data.size(), kMiniSectorSize);
        for (uint32_t k = 0; k < count; ++k) m_miniFat.push_back(k + 1 < count ? first + k + 1 : kEndOfChain);
        node.start = first;
        m_miniStream.insert(m_miniStream.end(), data.begin(), data.end());
        m_miniStream.resize(static_cast<size_t>(first + count) * kMiniSectorSize, 0);
      } else {
        m_bigStreams.push_back(&node);
      }
    }
  }

  // Appends a chain of `count` sectors to the FAT; returns its first sector.
  uint32_t Chain(uint32_t count) {
    if (count == 0) return kEndOfChain;
    const uint32_t first = static_cast<uint32_t>(m_fat.size());
    for (uint32_t k = 0; k < count; ++k) m_fat.push_back(k + 1 < count ? first + k + 1 : kEndOfChain);
    return first;
  }

  Bytes Assemble() {
    const uint32_t dirSectors = SectorsFor(m_nodes.size(), kEntriesPerSector);
    const uint32_t miniFatSectors = SectorsFor(m_miniFat.size(), kIdsPerSector);
    const uint32_t miniStreamSectors = SectorsFor(m_miniStream.size(), kSectorSize);
    uint64_t content = dirSectors + miniFatSectors + miniStreamSectors;
    for (const Node *node : m_bigStreams) content += SectorsFor(node->size, kSectorSize);
    // The FAT must also describe its own sectors and the DIFAT's.
    uint32_t fatSectors = 1, difatSectors = 0;
    for (;;) {
      difatSectors = fatSectors > 109 ? SectorsFor(fatSectors - 109, kIdsPerSector - 1) : 0;
      if (static_cast<uint64_t>(fatSectors) * kIdsPerSector >= content + fatSectors + difatSectors) break;
      ++fatSectors;
    }
    for (uint32_t k = 0; k < fatSectors; ++k) m_fat.push_back(kFatSector);
    for (uint32_t k = 0; k < difatSectors; ++k) m_fat.push_back(kDifatSector);
    const uint32_t dirStart = Chain(dirSectors);
    const uint32_t miniFatStart = Chain(miniFatSectors);
    m_nodes[0].start = Chain(miniStreamSectors);
    m_nodes[0].size = m_miniStream.size();
    for (Node *node : m_bigStreams) node->start = Chain(SectorsFor(node->size, kSectorSize));
    const uint32_t totalSectors = static_cast<uint32_t>(m_fat.size());
    m_fat.resize(static_cast<size_t>(fatSectors) * kIdsPerSector, kFree);

    Bytes out(static_cast<size_t>(totalSectors + 1) * kSectorSize, 0);
    WriteHeader(out.data(), fatSectors, difatSectors, dirStart, miniFatStart, miniFatSectors);
    auto sector = [&](uint32_t s) { return out.data() + static_cast<size_t>(s + 1) * kSectorSize; };
    for (size_t i = 0; i < m_fat.size(); ++i) Put32(sector(0) + 4 * i, m_fat[i]);
    for (uint32_t d = 0; d < difatSectors; ++d) {
      uint8_t *p = sector(fatSectors + d);
      for (uint32_t i = 0; i < kIdsPerSector - 1; ++i) {
        const uint32_t index = 109 + d * (kIdsPerSector - 1) + i;
        Put32(p + 4 * i, index < fatSectors ? index : kFree);
      }
      Put32(p + 4 * (kIdsPerSector - 1), d + 1 < difatSectors ? fatSectors + d + 1 : kEndOfChain);
    }
    for (size_t i = 0; i < m_nodes.size(); ++i) WriteEntry(sector(dirStart) + 128 * i, m_nodes[i]);
    for (size_t i = m_nodes.size(); i < static_cast<size_t>(dirSectors) * kEntriesPerSector; ++i) {
      uint8_t *e = sector(dirStart) + 128 * i;
      Put32(e + 68, kNoEntry);
      Put32(e + 72, kNoEntry);
      Put32(e + 76, kNoEntry);
    }
    for (size_t i = 0; i < static_cast<size_t>(miniFatSectors) * kIdsPerSector; ++i) {
      Put32(sector(miniFatStart) + 4 * i, i < m_miniFat.size() ? m_miniFat[i] : kFree);
    }
    if (!m_miniStream.empty()) memcpy(sector(m_nodes[0].start), m_miniStream.data(), m_miniStream.size());
    for (const Node *node : m_bigStreams) memcpy(sector(node->start), node->entry->data->data(), node->size);
    return out;
  }

  void WriteHeader(uint8_t *h, uint32_t fatSectors, uint32_t difatSectors, uint32_t dirStart, uint32_t miniFatStart,
                   uint32_t miniFatSectors) {
    memcpy(h, kSignature, sizeof kSignature);
    Put16(h + 24, 0x003E);
    Put16(h + 26, 3);
    Put16(h + 28, 0xFFFE);
    Put16(h + 30, 9);
    Put16(h + 32, 6);
    Put32(h + 44, fatSectors);
    Put32(h + 48, dirStart);
    Put32(h + 56, kMiniCutoff);
    Put32(h + 60, miniFatSectors ? miniFatStart : kEndOfChain);
    Put32(h + 64, miniFatSectors);
    Put32(h + 68, difatSectors ? fatSectors : kEndOfChain);
    Put32(h + 72, difatSectors);
    for (uint32_t i = 0; i < 109; ++i) Put32(h + 76 + 4 * i, i < fatSectors ? i : kFree);
  }

  static void WriteEntry(uint8_t *e, const Node &node) {
    const std::u16string &name = node.entry->name;
    const size_t length = std::min(name.size(), kMaxEntryName);
    for (size_t k = 0; k < length; ++k) Put16(e + 2 * k, name[k]);
    Put16(e + 64, static_cast<uint16_t>((length + 1) * 2));
    e[66] = node.type;
    e[67] = node.red ? 0 : 1;
    Put32(e + 68, node.left);
    Put32(e + 72, node.right);
    Put32(e + 76, node.child);
    memcpy(e + 80, node.entry->clsid, 16);
    Put32(e + 96, node.entry->stateBits);
    if (node.type != 5) {
      Put64(e + 100, node.entry->created);
    }
    Put64(e + 108, node.entry->modified);
    Put32(e + 116, node.size ? node.start : (node.type == 1 ? 0 : kEndOfChain));
    Put64(e + 120, node.size);
  }

  std::vector<Node> m_nodes;
  std::vector<uint32_t> m_fat, m_miniFat;
  Bytes m_miniStream;
  std::vector<Node *> m_bigStreams;
};

}  // namespace

Bytes WriteCompoundFile(const StorageEntry &root) { return Writer().Write(root); }

}  // namespace hw::msi
