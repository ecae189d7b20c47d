// The installation database in memory: string pool, tables, streams,
// storages and summary information, read from and written to the compound
// file container. The installer's API (msiquery.h) and the engine work on
// this; every change stays in memory until Commit writes a whole new file
// beside the old one and renames it into place.
#pragma once

#include "hw/msi_field.h"

#include <msi.h>
#include <windef.h>

#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace hw::msi {

// Column type bits, as the _Columns table stores them.
enum ColumnBits : uint16_t {
  kWidthMask = 0x00FF,
  kTypeValid = 0x0100,
  kTypeLocalizable = 0x0200,
  kTypeCharString = 0x0400,  // with kTypeString: text, not a stream; without: a 2-byte integer
  kTypeString = 0x0800,
  kTypeNullable = 0x1000,
  kTypeKey = 0x2000,
  kTypeTemporary = 0x4000,
};

struct Column {
  std::u16string name;
  uint16_t type = 0;

  bool IsStream() const { return (type & kTypeString) && !(type & kTypeCharString); }
  bool IsString() const { return (type & kTypeString) && (type & kTypeCharString); }
  bool IsInteger() const { return !(type & kTypeString); }
  bool IsKey() const { return type & kTypeKey; }
  bool IsNullable() const { return type & kTypeNullable; }
  bool IsTemporary() const { return type & kTypeTemporary; }
  int Width() const { return type & kWidthMask; }
  // The column in the text archive format: s72, I2, L0, v0, ...
  std::u16string TypeText() const;
};

// Pooled strings: table cells hold string ids; 0 is null.
class StringPool {
 public:
  StringPool() : m_strings(1) {}
  uint32_t Intern(std::u16string_view text);
  const std::u16string &Text(uint32_t id) const { return id < m_strings.size() ? m_strings[id] : m_strings[0]; }
  size_t Size() const { return m_strings.size(); }
  // Appends a string read from a file (duplicates and empty entries kept so
  // that ids stay as the file has them).
  void AppendLoaded(std::u16string text) { m_strings.push_back(std::move(text)); }

 private:
  std::vector<std::u16string> m_strings;
  std::unordered_map<std::u16string, uint32_t> m_index;
  size_t m_indexed = 1;
};

// A stored table. Cells are raw: string ids, integers biased as the file
// stores them (value ^ 0x80000000, 0 for null), 0/1 for streams (the data
// lives in the database's streams under "<table>.<key>[.<key>...]").
struct StoredRow {
  std::vector<uint32_t> cells;
  bool temporary = false;
};

struct Table {
  std::u16string name;
  std::vector<Column> columns;
  std::vector<StoredRow> rows;
  bool temporary = false;
};

enum class OpenMode { ReadOnly, Transact, Direct, Create, CreateDirect };

struct SummaryProperty {
  uint16_t type = 0;  // VT_I2, VT_I4, VT_LPSTR or VT_FILETIME
  int32_t integer = 0;
  uint64_t time = 0;
  std::u16string text;
};

struct SummaryInfo {
  std::map<uint32_t, SummaryProperty> properties;
  // Parses an OLE property set stream; false when it is malformed.
  static bool Parse(std::span<const uint8_t> stream, SummaryInfo &out);
  // False when a string cannot be written in the set's code page.
  bool Serialize(Bytes &out) const;
  // The variant type a property identifier takes; 0 for an unknown one.
  static uint16_t TypeOf(uint32_t pid);
};

class Database {
 public:
  // Opens the database file at a Windows path. Returns ERROR_SUCCESS,
  // ERROR_OPEN_FAILED (missing, unreadable or malformed file) or
  // ERROR_CREATE_FAILED (the file cannot be created).
  static UINT Open(std::u16string_view path, OpenMode mode, std::u16string_view outputPath,
                   std::shared_ptr<Database> &out);
  // Reads a database from bytes (read-only); null when malformed.
  static std::shared_ptr<Database> FromBytes(std::span<const uint8_t> bytes, std::string *why = nullptr);
  // A new, empty database in memory.
  static std::shared_ptr<Database> CreateEmpty();

  // Writes the database to its file atomically. ERROR_SUCCESS for a
  // read-only database (nothing to write), ERROR_FUNCTION_FAILED when the
  // content cannot be written (text not representable in the code page, a
  // stream name too long) or the file system fails.
  UINT Commit();
  // The whole database as a compound file; false when it cannot be written.
  bool Serialize(Bytes &out, std::string *why = nullptr) const;

  bool ReadOnly() const { return m_mode == OpenMode::ReadOnly; }
  uint32_t CodePage() const { return m_codePage; }
  // The code page text is written in from the next commit on (what an
  // imported _ForceCodepage sets); false for one the host cannot convert.
  bool SetCodePage(uint32_t codePage);

  Table *FindTable(std::u16string_view name);
  const Table *FindTable(std::u16string_view name) const;
  std::vector<Table> &Tables() { return m_tables; }
  const std::vector<Table> &Tables() const { return m_tables; }
  StringPool &Pool() { return m_pool; }
  const StringPool &Pool() const { return m_pool; }
  std::map<std::u16string, BytesPtr> &Streams() { return m_streams; }
  std::map<std::u16string, BytesPtr> &Storages() { return m_storages; }
  SummaryInfo &Summary() { return m_summary; }
  void SetSummary(const SummaryInfo &summary);

  // A cell as a value, and a value as a raw cell (strings are interned).
  Field CellValue(const Table &table, const StoredRow &row, size_t column) const;
  // The name of the stream behind a stream cell of a row.
  std::u16string StreamNameOf(const Table &table, const std::vector<uint32_t> &cells) const;
  // Converts a value for a column; false when it does not fit the type.
  bool ToCell(const Column &column, const Field &value, uint32_t &cell);

 private:
  Database() = default;
  bool Load(std::span<const uint8_t> bytes, std::string *why);

  OpenMode m_mode = OpenMode::ReadOnly;
  std::u16string m_path;        // the file read, or to create
  std::u16string m_outputPath;  // where Commit writes
  uint32_t m_codePage = 0;
  StringPool m_pool;
  std::vector<Table> m_tables;
  std::map<std::u16string, BytesPtr> m_streams;   // by decoded name
  std::map<std::u16string, BytesPtr> m_storages;  // sub-storages, each as a compound file
  std::vector<std::pair<std::u16string, BytesPtr>> m_otherStreams;  // \005 streams kept as they are
  SummaryInfo m_summary;
  BytesPtr m_summaryStream;
  bool m_summaryChanged = false;
  uint8_t m_clsid[16] = {};
};

// Database handles (MsiOpenDatabaseW, and the engine's MsiGetActiveDatabase).
MSIHANDLE AllocDatabaseHandle(std::shared_ptr<Database> db);
std::shared_ptr<Database> DatabaseFromHandle(MSIHANDLE handle);

// Raw integer cells.
inline uint32_t IntegerCell(int32_t value) { return static_cast<uint32_t>(value) ^ 0x80000000u; }
inline int32_t CellInteger(uint32_t cell) { return static_cast<int32_t>(cell ^ 0x80000000u); }

}  // namespace hw::msi
