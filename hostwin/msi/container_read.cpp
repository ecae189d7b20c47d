// Reading the compound file container. The file is untrusted: every sector
// number is range-checked, each sector may belong to one chain only (which
// also ends every loop), and sizes are capped by the sectors that hold them.
#include "storage.h"

#include "hw/text.h"
#include "hw/byte_order.h"

#include <algorithm>
#include <cstring>

namespace hw::msi {
namespace {

using namespace cfb;
constexpr unsigned kMaxStorageDepth = 16;

enum EntryType : uint8_t { kUnused = 0, kStorage = 1, kStream = 2, kRoot = 5 };

struct DirEntry {
  std::u16string name;
  uint8_t type = kUnused;
  uint32_t left = kNoEntry, right = kNoEntry, child = kNoEntry;
  uint8_t clsid[16] = {};
  uint32_t stateBits = 0;
  uint64_t created = 0, modified = 0;
  uint32_t start = 0;
  uint64_t size = 0;
};

class Reader {
 public:
  explicit Reader(std::span<const uint8_t> file) : m_file(file) {}

  bool Read(StorageEntry &root) {
    if (!ReadHeader() || !ReadFat() || !ReadDirectory() || !ReadMiniStream()) return false;
    const DirEntry &top = m_dir[0];
    root = StorageEntry{};
    root.name = top.name;
    root.isStorage = true;
    CopyMeta(top, root);
    m_visited.assign(m_dir.size(), false);
    m_visited[0] = true;
    return ReadChildren(top.child, root, 0);
  }

  std::string why;

 private:
  bool Fail(const char *reason) {
    why = reason;
    return false;
  }

  bool ReadHeader() {
    if (m_file.size() < 512) return Fail("shorter than a header");
    const uint8_t *h = m_file.data();
    if (memcmp(h, kSignature, sizeof kSignature) != 0) return Fail("no compound file signature");
    if (Le16(h + 28) != 0xFFFE) return Fail("bad byte order mark");
    const uint16_t major = Le16(h + 26), shift = Le16(h + 30), miniShift = Le16(h + 32);
    if (!((major == 3 && shift == 9) || (major == 4 && shift == 12))) return Fail("unsupported sector size");
    if (miniShift != 6) return Fail("unsupported mini sector size");
    if (Le32(h + 56) != kMiniCutoff) return Fail("unsupported mini stream cutoff");
    m_major = major;
    m_sectorSize = 1u << shift;
    if (m_file.size() < m_sectorSize) return Fail("shorter than its header sector");
    m_sectorCount = (m_file.size() - m_sectorSize + m_sectorSize - 1) / m_sectorSize;
    if (m_sectorCount >= kMaxRegular) return Fail("too many sectors");
    m_used.assign(m_sectorCount, false);
    m_fatCount = Le32(h + 44);
    m_dirStart = Le32(h + 48);
    m_miniFatStart = Le32(h + 60);
    m_miniFatCount = Le32(h + 64);
    m_difatStart = Le32(h + 68);
    m_difatCount = Le32(h + 72);
    return true;
  }

  // The bytes of one sector; only the first `need` bytes must lie in the file.
  const uint8_t *Sector(uint32_t sector, size_t need) {
    if (sector >= m_sectorCount) return nullptr;
    const uint64_t offset = (static_cast<uint64_t>(sector) + 1) * m_sectorSize;
    if (offset + need > m_file.size()) return nullptr;
    return m_file.data() + offset;
  }

  // Claims a sector for one owner; a second claim means overlapping chains
  // or a loop.
  bool Claim(uint32_t sector) {
    if (sector >= m_sectorCount || m_used[sector]) return false;
    m_used[sector] = true;
    return true;
  }

  bool ReadFat() {
    if (m_fatCount == 0 || m_fatCount > m_sectorCount) return Fail("bad FAT sector count");
    std::vector<uint32_t> fatSectors;
    const uint8_t *h = m_file.data();
    for (size_t k = 0; k < kHeaderDifatEntries && fatSectors.size() < m_fatCount; ++k) {
      fatSectors.push_back(Le32(h + 76 + 4 * k));
    }
    const size_t perDifat = m_sectorSize / 4 - 1;
    uint32_t next = m_difatStart;
    for (uint32_t k = 0; fatSectors.size() < m_fatCount; ++k) {
      if (k >= m_difatCount || !Claim(next)) return Fail("bad DIFAT chain");
      const uint8_t *p = Sector(next, m_sectorSize);
      if (!p) return Fail("DIFAT sector beyond the end");
      for (size_t i = 0; i < perDifat && fatSectors.size() < m_fatCount; ++i) fatSectors.push_back(Le32(p + 4 * i));
      next = Le32(p + 4 * perDifat);
    }
    m_fat.reserve(static_cast<size_t>(m_fatCount) * (m_sectorSize / 4));
    for (uint32_t sector : fatSectors) {
      const uint8_t *p = Sector(sector, m_sectorSize);
      if (!p || !Claim(sector)) return Fail("bad FAT sector");
      for (size_t i = 0; i < m_sectorSize / 4; ++i) m_fat.push_back(Le32(p + 4 * i));
    }
    return true;
  }

  uint32_t Next(uint32_t sector) const { return sector < m_fat.size() ? m_fat[sector] : kNoEntry; }

  // Reads `size` bytes along a chain of regular sectors.
  bool ReadChain(uint32_t start, uint64_t size, Bytes &out) {
    if (size > static_cast<uint64_t>(m_sectorCount) * m_sectorSize) return false;
    out.clear();
    out.reserve(size);
    uint32_t sector = start;
    while (out.size() < size) {
      const size_t need = std::min<uint64_t>(m_sectorSize, size - out.size());
      const uint8_t *p = Sector(sector, need);
      if (!p || !Claim(sector)) return false;
      out.insert(out.end(), p, p + need);
      sector = Next(sector);
    }
    return true;
  }

  // Reads a chain of whole sectors up to its end marker.
  bool ReadWholeChain(uint32_t start, Bytes &out) {
    out.clear();
    for (uint32_t sector = start; sector != kEndOfChain; sector = Next(sector)) {
      const uint8_t *p = Sector(sector, m_sectorSize);
      if (!p || !Claim(sector)) return false;
      out.insert(out.end(), p, p + m_sectorSize);
    }
    return true;
  }

  bool ReadDirectory() {
    Bytes bytes;
    if (!ReadWholeChain(m_dirStart, bytes) || bytes.empty()) return Fail("bad directory chain");
    const size_t count = bytes.size() / kEntrySize;
    m_dir.resize(count);
    for (size_t i = 0; i < count; ++i) {
      const uint8_t *e = bytes.data() + i * kEntrySize;
      DirEntry &d = m_dir[i];
      d.type = e[66];
      if (d.type == kUnused) continue;
      if (d.type != kStorage && d.type != kStream && d.type != kRoot) return Fail("bad entry type");
      const uint16_t nameBytes = Le16(e + 64);
      if (nameBytes < 2 || nameBytes > 64 || nameBytes % 2 != 0) return Fail("bad entry name length");
      for (size_t k = 0; k + 1 < nameBytes / 2u; ++k) d.name.push_back(static_cast<char16_t>(Le16(e + 2 * k)));
      d.left = Le32(e + 68);
      d.right = Le32(e + 72);
      d.child = Le32(e + 76);
      memcpy(d.clsid, e + 80, 16);
      d.stateBits = Le32(e + 96);
      d.created = Le64(e + 100);
      d.modified = Le64(e + 108);
      d.start = Le32(e + 116);
      // Version 3 files may carry junk in the high half of the size.
      d.size = m_major == 3 ? Le32(e + 120) : Le64(e + 120);
    }
    if (m_dir[0].type != kRoot) return Fail("first entry is not the root");
    return true;
  }

  bool ReadMiniStream() {
    const DirEntry &root = m_dir[0];
    if (root.size > 0 && !ReadChain(root.start, root.size, m_miniStream)) return Fail("bad mini stream chain");
    if (m_miniFatCount == 0) return true;
    Bytes bytes;
    if (m_miniFatCount > m_sectorCount || !ReadChain(m_miniFatStart, static_cast<uint64_t>(m_miniFatCount) * m_sectorSize, bytes)) {
      return Fail("bad mini FAT chain");
    }
    m_miniFat.resize(bytes.size() / 4);
    for (size_t i = 0; i < m_miniFat.size(); ++i) m_miniFat[i] = Le32(bytes.data() + 4 * i);
    m_miniUsed.assign(m_miniStream.size() / 64 + 1, false);
    return true;
  }

  bool ReadMiniChain(uint32_t start, uint64_t size, Bytes &out) {
    if (size > m_miniStream.size()) return false;
    out.clear();
    out.reserve(size);
    uint32_t sector = start;
    while (out.size() < size) {
      const size_t need = std::min<uint64_t>(64, size - out.size());
      const uint64_t offset = static_cast<uint64_t>(sector) * 64;
      if (sector >= m_miniUsed.size() || m_miniUsed[sector] || offset + need > m_miniStream.size()) return false;
      m_miniUsed[sector] = true;
      out.insert(out.end(), m_miniStream.begin() + offset, m_miniStream.begin() + offset + need);
      sector = sector < m_miniFat.size() ? m_miniFat[sector] : kNoEntry;
    }
    return true;
  }

  static void CopyMeta(const DirEntry &d, StorageEntry &s) {
    memcpy(s.clsid, d.clsid, 16);
    s.stateBits = d.stateBits;
    s.created = d.created;
    s.modified = d.modified;
  }

  // Adds the entries of one storage's sibling tree, in order.
  bool ReadChildren(uint32_t top, StorageEntry &parent, unsigned depth) {
    if (depth > kMaxStorageDepth) return Fail("storages nested too deep");
    std::vector<uint32_t> stack;
    uint32_t node = top;
    while (node != kNoEntry || !stack.empty()) {
      while (node != kNoEntry) {
        if (node >= m_dir.size() || m_visited[node]) return Fail("bad directory tree");
        const DirEntry &d = m_dir[node];
        if (d.type != kStorage && d.type != kStream) return Fail("bad directory tree entry");
        m_visited[node] = true;
        stack.push_back(node);
        node = d.left;
      }
      const uint32_t id = stack.back();
      stack.pop_back();
      if (!AddEntry(m_dir[id], parent, depth)) return false;
      node = m_dir[id].right;
    }
    return true;
  }

  bool AddEntry(const DirEntry &d, StorageEntry &parent, unsigned depth) {
    StorageEntry entry;
    entry.name = d.name;
    CopyMeta(d, entry);
    if (d.type == kStorage) {
      entry.isStorage = true;
      if (!ReadChildren(d.child, entry, depth + 1)) return false;
    } else {
      auto data = std::make_shared<Bytes>();
      const bool ok = d.size == 0 ? true
                      : d.size < kMiniCutoff ? ReadMiniChain(d.start, d.size, *data)
                                             : ReadChain(d.start, d.size, *data);
      if (!ok) return Fail("bad stream chain");
      entry.data = std::move(data);
    }
    parent.children.push_back(std::move(entry));
    return true;
  }

  std::span<const uint8_t> m_file;
  uint16_t m_major = 3;
  uint32_t m_sectorSize = 512;
  uint32_t m_sectorCount = 0;
  uint32_t m_fatCount = 0, m_dirStart = 0, m_miniFatStart = 0, m_miniFatCount = 0;
  uint32_t m_difatStart = 0, m_difatCount = 0;
  std::vector<bool> m_used, m_miniUsed, m_visited;
  std::vector<uint32_t> m_fat, m_miniFat;
  std::vector<DirEntry> m_dir;
  Bytes m_miniStream;
};

}  // namespace

bool ReadCompoundFile(std::span<const uint8_t> file, StorageEntry &root, std::string *why) {
  Reader reader(file);
  if (reader.Read(root)) return true;
  if (why) *why = reader.why;
  return false;
}

int CompareEntryNames(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (size_t i = 0; i < a.size(); ++i) {
    const char16_t x = hw::ToUpper(a[i]), y = hw::ToUpper(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

}  // namespace hw::msi
