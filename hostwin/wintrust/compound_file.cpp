#include "compound_file.h"

#include "hw/byte_order.h"

#include <algorithm>
#include <cstring>

namespace hw::trust {
namespace {

constexpr uint8_t kMagic[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr uint32_t kMaxRegularSector = 0xFFFFFFFA;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kNoStream = 0xFFFFFFFF;
constexpr uint32_t kMiniSectorSize = 64;
constexpr uint32_t kMiniStreamCutoff = 4096;
constexpr size_t kEntrySize = 128;
constexpr size_t kHeaderDifatEntries = 109;
// Limits of what this reader accepts. Installation databases hold one
// stream per table, binary and cabinet: a few hundred entries, one or two
// levels deep.
constexpr size_t kMaxEntries = 65536;
constexpr int kMaxStorageDepth = 32;
// Stream pieces are read through a buffer of this size.
constexpr size_t kBufferSize = 1 << 20;

constexpr HRESULT kMalformed = TRUST_E_SUBJECT_FORM_UNKNOWN;

// Notices a chain that comes back to a sector it passed (Brent's method:
// constant memory, found within a few times the loop's length). Chains are
// bounded by their stream's size anyway; this turns a loop into an error
// instead of repeated content.
class LoopGuard {
 public:
  bool Revisits(uint32_t sector) {
    if (sector == m_saved) return true;
    if (++m_steps == m_power) {
      m_saved = sector;
      m_power *= 2;
      m_steps = 0;
    }
    return false;
  }

 private:
  uint32_t m_saved = kNoStream;
  uint64_t m_power = 1;
  uint64_t m_steps = 0;
};

}  // namespace

// An allocation table (the FAT or the mini FAT), looked up through a small
// cache of its sectors rather than held whole.
class CompoundFile::SectorTable {
 public:
  SectorTable(CompoundFile &file, std::vector<uint32_t> sectors)
      : m_file(file), m_sectors(std::move(sectors)), m_perSector(file.m_sectorSize / 4) {
    m_tags.fill(-1);
    m_cache.resize(kSlots * m_perSector);
    m_raw.resize(file.m_sectorSize);
  }

  // The entry that follows `index` in its chain.
  HRESULT Next(uint32_t index, uint32_t *next) {
    const size_t tableSector = index / m_perSector;
    if (tableSector >= m_sectors.size()) return kMalformed;
    const size_t slot = tableSector % kSlots;
    uint32_t *entries = m_cache.data() + slot * m_perSector;
    if (m_tags[slot] != static_cast<int64_t>(tableSector)) {
      HRESULT hr = m_file.ReadSector(m_sectors[tableSector], m_raw.data());
      if (FAILED(hr)) return hr;
      for (uint32_t i = 0; i < m_perSector; ++i) entries[i] = Le32(m_raw.data() + 4 * i);
      m_tags[slot] = static_cast<int64_t>(tableSector);
    }
    *next = entries[index % m_perSector];
    return S_OK;
  }

 private:
  static constexpr size_t kSlots = 8;
  CompoundFile &m_file;
  std::vector<uint32_t> m_sectors;
  uint32_t m_perSector;
  std::array<int64_t, kSlots> m_tags;
  std::vector<uint32_t> m_cache;
  std::vector<uint8_t> m_raw;
};

CompoundFile::CompoundFile(ByteSource &source) : m_source(source) {}
CompoundFile::~CompoundFile() = default;

bool CompoundFile::HasMagic(ByteSource &source) {
  uint8_t magic[sizeof kMagic];
  return source.Contains(0, sizeof magic) && source.ReadAt(0, magic, sizeof magic) &&
         memcmp(magic, kMagic, sizeof magic) == 0;
}

HRESULT CompoundFile::Open(ByteSource &source, std::unique_ptr<CompoundFile> *file) {
  std::unique_ptr<CompoundFile> opened(new CompoundFile(source));
  HRESULT hr = opened->ReadHeader();
  if (SUCCEEDED(hr)) hr = opened->BuildTree();
  if (SUCCEEDED(hr)) *file = std::move(opened);
  return hr;
}

HRESULT CompoundFile::ReadHeader() {
  uint8_t header[512];
  if (!m_source.Contains(0, sizeof header)) return kMalformed;
  if (!m_source.ReadAt(0, header, sizeof header)) return CRYPT_E_FILE_ERROR;
  if (memcmp(header, kMagic, sizeof kMagic) != 0) return kMalformed;
  const uint16_t major = Le16(header + 26);
  const uint16_t sectorShift = Le16(header + 30);
  if (Le16(header + 28) != 0xFFFE || Le16(header + 32) != 6 || Le32(header + 56) != kMiniStreamCutoff) return kMalformed;
  if (!((major == 3 && sectorShift == 9) || (major == 4 && sectorShift == 12))) return kMalformed;
  m_version3 = major == 3;
  m_sectorSize = 1u << sectorShift;
  const uint64_t size = m_source.Size();
  if (size < m_sectorSize) return kMalformed;
  m_sectorCount = static_cast<uint32_t>(
      std::min<uint64_t>((size - m_sectorSize + m_sectorSize - 1) / m_sectorSize, kMaxRegularSector));
  m_regularBudget = size;
  // Whole runs of sectors are read at once, up to the buffer's size; a small
  // file needs no more than itself.
  m_buffer.resize(static_cast<size_t>(std::clamp<uint64_t>(size, m_sectorSize, kBufferSize)));
  m_firstMiniFatSector = Le32(header + 60);
  m_miniFatSectorCount = Le32(header + 64);

  HRESULT hr = ReadFatLocations(header);
  if (FAILED(hr)) return hr;
  return ReadDirectory(Le32(header + 48));
}

// The FAT's sectors: the first 109 are named by the header, the rest by the
// chain of DIFAT sectors.
HRESULT CompoundFile::ReadFatLocations(const uint8_t *header) {
  const uint32_t fatSectors = Le32(header + 44);
  const uint32_t difatSectors = Le32(header + 72);
  if (fatSectors > m_sectorCount) return kMalformed;
  std::vector<uint32_t> locations;
  locations.reserve(fatSectors);
  for (size_t i = 0; i < kHeaderDifatEntries && locations.size() < fatSectors; ++i)
    locations.push_back(Le32(header + 76 + 4 * i));
  uint32_t difat = Le32(header + 68);
  const uint32_t perDifatSector = m_sectorSize / 4 - 1;
  for (uint32_t read = 0; locations.size() < fatSectors; ++read) {
    if (read >= difatSectors || read >= m_sectorCount) return kMalformed;
    HRESULT hr = ReadSector(difat, m_buffer.data());
    if (FAILED(hr)) return hr;
    for (uint32_t i = 0; i < perDifatSector && locations.size() < fatSectors; ++i)
      locations.push_back(Le32(m_buffer.data() + 4 * i));
    difat = Le32(m_buffer.data() + 4 * perDifatSector);
  }
  m_fat = std::make_unique<SectorTable>(*this, std::move(locations));
  return S_OK;
}

HRESULT CompoundFile::ReadDirectory(uint32_t sector) {
  const size_t perSector = m_sectorSize / kEntrySize;
  std::vector<uint8_t> raw(m_sectorSize);
  while (sector != kEndOfChain) {
    if (m_entries.size() + perSector > kMaxEntries) return kMalformed;
    HRESULT hr = ReadSector(sector, raw.data());
    if (FAILED(hr)) return hr;
    for (size_t i = 0; i < perSector; ++i) {
      const uint8_t *p = raw.data() + i * kEntrySize;
      DirectoryEntry entry;
      memcpy(entry.name.data(), p, entry.name.size());
      entry.nameLength = Le16(p + 64);
      entry.type = static_cast<EntryType>(p[66]);
      entry.left = Le32(p + 68);
      entry.right = Le32(p + 72);
      entry.child = Le32(p + 76);
      memcpy(entry.clsid.data(), p + 80, entry.clsid.size());
      entry.start = Le32(p + 116);
      entry.size = m_version3 ? Le32(p + 120) : Le64(p + 120);  // version 3 writers may leave junk above
      m_entries.push_back(entry);
    }
    if (FAILED(hr = m_fat->Next(sector, &sector))) return hr;
  }
  return m_entries.empty() || m_entries[kRootId].type != EntryType::kRoot ? kMalformed : S_OK;
}

// Walks every storage's tree of children once. An entry reached twice (a
// loop, or a subtree shared by two storages), an id outside the directory,
// an unused entry or a bad name makes the file malformed.
HRESULT CompoundFile::BuildTree() {
  m_children.assign(m_entries.size(), {});
  std::vector<bool> reached(m_entries.size(), false);
  reached[kRootId] = true;
  std::vector<std::pair<uint32_t, int>> storages = {{kRootId, 0}};
  std::vector<uint32_t> pending;
  while (!storages.empty()) {
    auto [storage, depth] = storages.back();
    storages.pop_back();
    pending.assign(1, m_entries[storage].child);
    while (!pending.empty()) {
      uint32_t id = pending.back();
      pending.pop_back();
      if (id == kNoStream) continue;
      if (id >= m_entries.size() || reached[id]) return kMalformed;
      reached[id] = true;
      const DirectoryEntry &entry = m_entries[id];
      if (entry.type != EntryType::kStorage && entry.type != EntryType::kStream) return kMalformed;
      if (entry.nameLength < 2 || entry.nameLength > 64 || entry.nameLength % 2) return kMalformed;
      m_children[storage].push_back(id);
      pending.push_back(entry.left);
      pending.push_back(entry.right);
      if (entry.type == EntryType::kStorage) {
        if (depth + 1 > kMaxStorageDepth) return kMalformed;
        storages.emplace_back(id, depth + 1);
      }
    }
  }
  return S_OK;
}

int64_t CompoundFile::FindChild(uint32_t storage, std::span<const uint8_t> name) const {
  for (uint32_t id : m_children[storage]) {
    const DirectoryEntry &entry = m_entries[id];
    if (entry.nameLength == name.size() + 2 && memcmp(entry.name.data(), name.data(), name.size()) == 0) return id;
  }
  return -1;
}

HRESULT CompoundFile::ReadSector(uint32_t sector, uint8_t *buffer) {
  if (sector >= m_sectorCount || !m_source.Contains(SectorOffset(sector), m_sectorSize)) return kMalformed;
  return m_source.ReadAt(SectorOffset(sector), buffer, m_sectorSize) ? S_OK : CRYPT_E_FILE_ERROR;
}

HRESULT CompoundFile::ReadStream(const DirectoryEntry &entry, const Sink &sink) {
  if (!entry.IsStream()) return kMalformed;
  if (entry.size < kMiniStreamCutoff) {
    HRESULT hr = LoadMiniStreamLocations();
    if (FAILED(hr)) return hr;
    if (entry.size > m_miniBudget) return kMalformed;
    m_miniBudget -= entry.size;
    return ReadMiniStream(entry.start, entry.size, sink);
  }
  if (entry.size > m_regularBudget) return kMalformed;
  m_regularBudget -= entry.size;
  return ReadRegularStream(entry.start, entry.size, sink);
}

// Follows the FAT chain, reading runs of consecutive sectors at once.
HRESULT CompoundFile::ReadRegularStream(uint32_t sector, uint64_t size, const Sink &sink) {
  uint64_t remaining = size;
  LoopGuard loop;
  while (remaining > 0) {
    if (sector >= m_sectorCount || loop.Revisits(sector)) return kMalformed;
    const uint32_t first = sector;
    uint64_t run = 1;
    uint32_t next = 0;
    bool haveNext = false;
    while (run * m_sectorSize < remaining && (run + 1) * m_sectorSize <= m_buffer.size()) {
      HRESULT hr = m_fat->Next(sector, &next);
      if (FAILED(hr)) return hr;
      if (next != sector + 1) {
        haveNext = true;
        break;
      }
      sector = next;
      if (loop.Revisits(sector)) return kMalformed;
      ++run;
    }
    const uint64_t bytes = std::min<uint64_t>(remaining, run * m_sectorSize);
    if (!m_source.Contains(SectorOffset(first), bytes)) return kMalformed;
    if (!m_source.ReadAt(SectorOffset(first), m_buffer.data(), bytes)) return CRYPT_E_FILE_ERROR;
    HRESULT hr = sink(std::span<const uint8_t>(m_buffer.data(), bytes));
    if (FAILED(hr)) return hr;
    remaining -= bytes;
    if (remaining == 0) break;
    if (!haveNext && FAILED(hr = m_fat->Next(sector, &next))) return hr;
    sector = next;
  }
  return S_OK;
}

// The mini stream lives in the root entry's chain; small streams are chains
// of 64-byte mini sectors in it, linked by the mini FAT.
HRESULT CompoundFile::LoadMiniStreamLocations() {
  if (m_miniStreamLoaded) return S_OK;
  const DirectoryEntry &root = m_entries[kRootId];
  if (root.size > m_source.Size() || m_miniFatSectorCount > m_sectorCount) return kMalformed;
  const uint64_t sectors = (root.size + m_sectorSize - 1) / m_sectorSize;
  std::vector<uint32_t> container;
  container.reserve(sectors);
  uint32_t sector = root.start;
  LoopGuard containerLoop;
  for (uint64_t i = 0; i < sectors; ++i) {
    if (sector >= m_sectorCount || containerLoop.Revisits(sector)) return kMalformed;
    container.push_back(sector);
    if (i + 1 < sectors) {
      HRESULT hr = m_fat->Next(sector, &sector);
      if (FAILED(hr)) return hr;
    }
  }
  std::vector<uint32_t> miniFat;
  miniFat.reserve(m_miniFatSectorCount);
  sector = m_firstMiniFatSector;
  LoopGuard miniFatLoop;
  for (uint32_t i = 0; i < m_miniFatSectorCount; ++i) {
    if (sector >= m_sectorCount || miniFatLoop.Revisits(sector)) return kMalformed;
    miniFat.push_back(sector);
    if (i + 1 < m_miniFatSectorCount) {
      HRESULT hr = m_fat->Next(sector, &sector);
      if (FAILED(hr)) return hr;
    }
  }
  m_miniStreamSectors = std::move(container);
  m_miniFat = std::make_unique<SectorTable>(*this, std::move(miniFat));
  m_miniBudget = root.size;
  m_miniStreamLoaded = true;
  return S_OK;
}

HRESULT CompoundFile::ReadMiniStream(uint32_t miniSector, uint64_t size, const Sink &sink) {
  uint8_t piece[kMiniSectorSize];
  uint64_t remaining = size;
  LoopGuard loop;
  while (remaining > 0) {
    if (loop.Revisits(miniSector)) return kMalformed;
    const uint64_t offset = uint64_t{miniSector} * kMiniSectorSize;
    const uint64_t containerIndex = offset / m_sectorSize;
    if (containerIndex >= m_miniStreamSectors.size()) return kMalformed;
    const uint64_t fileOffset = SectorOffset(m_miniStreamSectors[containerIndex]) + offset % m_sectorSize;
    const size_t bytes = static_cast<size_t>(std::min<uint64_t>(remaining, kMiniSectorSize));
    if (!m_source.Contains(fileOffset, bytes)) return kMalformed;
    if (!m_source.ReadAt(fileOffset, piece, bytes)) return CRYPT_E_FILE_ERROR;
    HRESULT hr = sink(std::span<const uint8_t>(piece, bytes));
    if (FAILED(hr)) return hr;
    remaining -= bytes;
    if (remaining > 0 && FAILED(hr = m_miniFat->Next(miniSector, &miniSector))) return hr;
  }
  return S_OK;
}

}  // namespace hw::trust
