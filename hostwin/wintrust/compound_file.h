// A bounded reader of compound files (the container of installation
// databases), enough to find and hash streams. The file is untrusted: every
// sector number, chain and size is checked, chains cannot loop beyond what
// the file can hold, and the memory taken does not grow with the size of
// the streams read.
#pragma once

#include "hw/byte_source.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace hw::trust {

enum class EntryType : uint8_t { kEmpty = 0, kStorage = 1, kStream = 2, kRoot = 5 };

struct DirectoryEntry {
  std::array<uint8_t, 64> name{};  // UTF-16LE as stored, terminator included
  uint16_t nameLength = 0;         // in bytes, terminator included
  EntryType type = EntryType::kEmpty;
  uint32_t left = 0, right = 0, child = 0;
  std::array<uint8_t, 16> clsid{};
  uint32_t start = 0;
  uint64_t size = 0;  // already cut to 32 bits for version 3 files

  std::span<const uint8_t> NameBytes() const { return {name.data(), nameLength}; }
  bool IsStream() const { return type == EntryType::kStream; }
  bool IsStorage() const { return type == EntryType::kStorage || type == EntryType::kRoot; }
};

class CompoundFile {
 public:
  using Sink = std::function<HRESULT(std::span<const uint8_t>)>;

  // True when the file begins with the compound file signature.
  static bool HasMagic(ByteSource &source);
  // Reads and checks the header, the allocation tables' locations and the
  // whole directory tree. TRUST_E_SUBJECT_FORM_UNKNOWN when the file is not
  // a well-formed compound file, CRYPT_E_FILE_ERROR when a read fails.
  static HRESULT Open(ByteSource &source, std::unique_ptr<CompoundFile> *file);
  ~CompoundFile();
  CompoundFile(const CompoundFile &) = delete;
  CompoundFile &operator=(const CompoundFile &) = delete;

  static constexpr uint32_t kRootId = 0;
  const DirectoryEntry &Entry(uint32_t id) const { return m_entries[id]; }
  // The entries of a storage, in the file's directory order.
  const std::vector<uint32_t> &Children(uint32_t storage) const { return m_children[storage]; }
  // The id of the named child of a storage (UTF-16LE name without its
  // terminator), or -1.
  int64_t FindChild(uint32_t storage, std::span<const uint8_t> utf16leName) const;
  // Passes the content of a stream entry to `sink`, piece by piece.
  HRESULT ReadStream(const DirectoryEntry &entry, const Sink &sink);

 private:
  class SectorTable;

  explicit CompoundFile(ByteSource &source);

  HRESULT ReadHeader();
  HRESULT ReadFatLocations(const uint8_t *header);
  HRESULT ReadDirectory(uint32_t firstSector);
  HRESULT BuildTree();
  HRESULT LoadMiniStreamLocations();
  HRESULT ReadSector(uint32_t sector, uint8_t *buffer);
  HRESULT ReadRegularStream(uint32_t start, uint64_t size, const Sink &sink);
  HRESULT ReadMiniStream(uint32_t start, uint64_t size, const Sink &sink);
  uint64_t SectorOffset(uint32_t sector) const { return (uint64_t{sector} + 1) * m_sectorSize; }

  ByteSource &m_source;
  uint32_t m_sectorSize = 512;
  uint32_t m_sectorCount = 0;  // sectors that start inside the file
  bool m_version3 = true;
  uint32_t m_firstMiniFatSector = 0;
  uint32_t m_miniFatSectorCount = 0;
  std::unique_ptr<SectorTable> m_fat;
  std::unique_ptr<SectorTable> m_miniFat;
  std::vector<uint32_t> m_miniStreamSectors;
  bool m_miniStreamLoaded = false;
  std::vector<DirectoryEntry> m_entries;
  std::vector<std::vector<uint32_t>> m_children;
  std::vector<uint8_t> m_buffer;
  // What can still be read: the streams of a sound file never overlap, so
  // together they fit in the file (or, for small streams, in the mini
  // stream). This keeps crafted overlapping chains from multiplying work.
  uint64_t m_regularBudget = 0;
  uint64_t m_miniBudget = 0;
};

}  // namespace hw::trust
