// String pool and table stream formats. Both are read from an untrusted
// file: lengths are checked against the bytes present before any use.
#include "codec.h"
#include "text.h"

namespace hw::msi {
namespace {

constexpr uint32_t kLongRefsFlag = 0x80000000;

uint32_t Le16(const uint8_t *p) { return p[0] | (p[1] << 8); }
uint32_t Le24(const uint8_t *p) { return p[0] | (p[1] << 8) | (p[2] << 16); }
uint32_t Le32(const uint8_t *p) { return Le24(p) | (static_cast<uint32_t>(p[3]) << 24); }
void PutLe(Bytes &out, uint32_t value, int bytes) {
  for (int k = 0; k < bytes; ++k) out.push_back(static_cast<uint8_t>(value >> (8 * k)));
}

bool Fail(std::string *why, const char *reason) {
  if (why) *why = reason;
  return false;
}

}  // namespace

bool LoadStringPool(const Bytes &pool, const Bytes &data, StringPool &out, uint32_t &codePage, int &refBytes,
                    std::string *why) {
  if (pool.size() < 4 || pool.size() % 4 != 0) return Fail(why, "bad string pool size");
  const uint32_t header = Le32(pool.data());
  codePage = header & ~kLongRefsFlag;
  refBytes = (header & kLongRefsFlag) ? 3 : 2;
  if (!CodePageSupported(codePage)) return Fail(why, "unsupported code page");
  size_t offset = 0;
  const size_t entries = pool.size() / 4;
  for (size_t i = 1; i < entries; ++i) {
    const uint8_t *e = pool.data() + 4 * i;
    uint64_t length = Le16(e);
    if (length == 0 && Le16(e + 2) != 0) {
      // A string of 64 KiB or more: the high half of its length, then an
      // entry with the low half and the reference count.
      if (++i >= entries) return Fail(why, "truncated long string entry");
      length = (static_cast<uint64_t>(Le16(e + 2)) << 16) | Le16(pool.data() + 4 * i);
    }
    if (length > data.size() - offset) return Fail(why, "string data shorter than the pool says");
    std::u16string text;
    if (!DecodeText(codePage, std::string_view(reinterpret_cast<const char *>(data.data()) + offset, length), text)) {
      return Fail(why, "string not valid in the code page");
    }
    out.AppendLoaded(std::move(text));
    offset += length;
  }
  if (out.Size() > (refBytes == 3 ? 0xFFFFFFu : 0xFFFFu) + 1) return Fail(why, "too many strings for the reference width");
  return true;
}

uint32_t PoolBuilder::Add(std::u16string_view text) {
  if (text.empty()) return 0;
  auto [it, added] = m_ids.try_emplace(std::u16string(text), static_cast<uint32_t>(m_strings.size()));
  if (added) {
    m_strings.emplace_back(text);
    m_refs.push_back(0);
  }
  ++m_refs[it->second];
  return it->second;
}

bool PoolBuilder::Write(uint32_t codePage, Bytes &pool, Bytes &data, std::string *why) const {
  if (m_strings.size() > 0xFFFFFF) return Fail(why, "too many strings");
  pool.clear();
  data.clear();
  PutLe(pool, codePage | (RefBytes() == 3 ? kLongRefsFlag : 0), 4);
  std::string bytes;
  for (size_t id = 1; id < m_strings.size(); ++id) {
    if (!EncodeText(codePage, m_strings[id], bytes)) return Fail(why, "text not representable in the code page");
    const uint32_t refs = m_refs[id] > 0xFFFF ? 0xFFFF : m_refs[id];
    if (bytes.size() > 0xFFFF) {
      PutLe(pool, 0, 2);
      PutLe(pool, static_cast<uint32_t>(bytes.size() >> 16), 2);
      PutLe(pool, static_cast<uint32_t>(bytes.size() & 0xFFFF), 2);
    } else {
      PutLe(pool, static_cast<uint32_t>(bytes.size()), 2);
    }
    PutLe(pool, refs, 2);
    data.insert(data.end(), bytes.begin(), bytes.end());
  }
  return true;
}

int CellBytes(const Column &column, int refBytes) {
  if (column.IsStream()) return 2;
  if (column.IsString()) return refBytes;
  return column.Width() == 4 ? 4 : 2;
}

bool DecodeTable(const Bytes &stream, const std::vector<Column> &columns, int refBytes, size_t poolSize,
                 std::vector<StoredRow> &rows, std::string *why) {
  size_t rowBytes = 0;
  for (const Column &column : columns) rowBytes += CellBytes(column, refBytes);
  if (rowBytes == 0 || stream.size() % rowBytes != 0) return Fail(why, "table stream size is not whole rows");
  const size_t count = stream.size() / rowBytes;
  rows.assign(count, StoredRow{std::vector<uint32_t>(columns.size())});
  const uint8_t *p = stream.data();
  for (size_t c = 0; c < columns.size(); ++c) {
    const Column &column = columns[c];
    const int width = CellBytes(column, refBytes);
    for (size_t r = 0; r < count; ++r, p += width) {
      uint32_t cell;
      if (column.IsString()) {
        cell = width == 3 ? Le24(p) : Le16(p);
        if (cell >= poolSize) return Fail(why, "string id beyond the pool");
      } else if (column.IsStream()) {
        cell = Le16(p) ? 1 : 0;
      } else if (width == 4) {
        cell = Le32(p);
      } else {
        const uint32_t stored = Le16(p);
        cell = stored ? IntegerCell(static_cast<int16_t>(stored ^ 0x8000)) : 0;
      }
      rows[r].cells[c] = cell;
    }
  }
  return true;
}

Bytes EncodeTable(const std::vector<std::vector<uint32_t>> &rows, const std::vector<Column> &columns, int refBytes) {
  Bytes out;
  size_t rowBytes = 0;
  for (const Column &column : columns) rowBytes += CellBytes(column, refBytes);
  out.reserve(rowBytes * rows.size());
  for (size_t c = 0; c < columns.size(); ++c) {
    const Column &column = columns[c];
    const int width = CellBytes(column, refBytes);
    for (const auto &row : rows) {
      const uint32_t cell = row[c];
      if (column.IsInteger() && width == 2) {
        PutLe(out, cell ? (static_cast<uint32_t>(CellInteger(cell)) ^ 0x8000) & 0xFFFF : 0, 2);
      } else {
        PutLe(out, cell, width);
      }
    }
  }
  return out;
}

}  // namespace hw::msi
