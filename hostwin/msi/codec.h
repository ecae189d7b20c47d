// The file formats of a database's string pool and table streams.
#pragma once

#include "hw/msi_database.h"
#include "storage.h"

#include <string>

namespace hw::msi {

// The string pool: _StringPool holds the code page and each string's byte
// length and reference count, _StringData the strings back to back.
// `refBytes` receives how wide a string reference in a table is (2 or 3).
bool LoadStringPool(const Bytes &pool, const Bytes &data, StringPool &out, uint32_t &codePage, int &refBytes,
                    std::string *why);

// The strings of a database being written: new ids in first-use order,
// with reference counts.
class PoolBuilder {
 public:
  uint32_t Add(std::u16string_view text);
  size_t Size() const { return m_strings.size(); }
  int RefBytes() const { return m_strings.size() > 0xFFFF ? 3 : 2; }
  bool Write(uint32_t codePage, Bytes &pool, Bytes &data, std::string *why) const;

 private:
  std::vector<std::u16string> m_strings{std::u16string()};
  std::vector<uint32_t> m_refs{0};
  std::unordered_map<std::u16string, uint32_t> m_ids;
};

// Bytes one cell of a column takes in a table stream.
int CellBytes(const Column &column, int refBytes);

// Table streams are stored column by column. Decoding checks every string
// id against the pool size.
bool DecodeTable(const Bytes &stream, const std::vector<Column> &columns, int refBytes, size_t poolSize,
                 std::vector<StoredRow> &rows, std::string *why);
Bytes EncodeTable(const std::vector<std::vector<uint32_t>> &rows, const std::vector<Column> &columns, int refBytes);

}  // namespace hw::msi
