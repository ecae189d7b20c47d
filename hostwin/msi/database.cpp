// Loading a database from its container, writing it back, and committing
// it to disk.
#include "hw/msi_database.h"

#include <winerror.h>

#include "atomic_file.h"
#include "codec.h"
#include "hw/paths.h"
#include "storage.h"
#include "text.h"

#include <algorithm>
#include <cstring>

#include <unistd.h>

namespace hw::msi {
namespace {

constexpr char16_t kSummaryName[] = u"\x05SummaryInformation";
constexpr size_t kMaxColumns = 255;

// The root storage class of an installation database.
constexpr uint8_t kDatabaseClsid[16] = {0x84, 0x10, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00,
                                        0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

const std::vector<Column> &TablesSchema() {
  static const std::vector<Column> schema = {{u"Name", kTypeValid | kTypeString | kTypeCharString | kTypeKey | 64}};
  return schema;
}

const std::vector<Column> &ColumnsSchema() {
  static const std::vector<Column> schema = {
      {u"Table", kTypeValid | kTypeString | kTypeCharString | kTypeKey | 64},
      {u"Number", kTypeValid | kTypeCharString | kTypeKey | 2},
      {u"Name", kTypeValid | kTypeString | kTypeCharString | 64},
      {u"Type", kTypeValid | kTypeCharString | 2},
  };
  return schema;
}

bool Fail(std::string *why, const char *reason) {
  if (why) *why = reason;
  return false;
}

bool IsSystemTableName(std::u16string_view name) {
  return name == u"_Tables" || name == u"_Columns" || name == u"_Streams" || name == u"_Storages" ||
         name == u"_StringPool" || name == u"_StringData";
}

bool ValidColumnType(uint16_t type) {
  if (type & kTypeString) return true;
  const int width = type & kWidthMask;
  return width == 2 || width == 4;
}

BytesPtr StorageAsFile(const StorageEntry &storage) {
  StorageEntry root = storage;
  root.name = u"Root Entry";
  return std::make_shared<Bytes>(WriteCompoundFile(root));
}

}  // namespace

uint32_t StringPool::Intern(std::u16string_view text) {
  if (text.empty()) return 0;
  for (; m_indexed < m_strings.size(); ++m_indexed) m_index.try_emplace(m_strings[m_indexed], m_indexed);
  auto it = m_index.find(std::u16string(text));
  if (it != m_index.end()) return it->second;
  m_strings.emplace_back(text);
  m_index.emplace(m_strings.back(), m_indexed);
  return static_cast<uint32_t>(m_indexed++);
}

std::u16string Column::TypeText() const {
  char16_t letter;
  int width = Width();
  if (IsStream()) {
    letter = u'v';
    width = 0;
  } else if (IsString()) {
    letter = (type & kTypeLocalizable) ? u'l' : u's';
  } else {
    letter = u'i';
  }
  if (IsNullable()) letter = static_cast<char16_t>(letter - u'a' + u'A');
  std::string digits = std::to_string(width);
  std::u16string text(1, letter);
  text.append(digits.begin(), digits.end());
  return text;
}

std::shared_ptr<Database> Database::CreateEmpty() {
  std::shared_ptr<Database> db(new Database);
  db->m_mode = OpenMode::Create;
  memcpy(db->m_clsid, kDatabaseClsid, sizeof kDatabaseClsid);
  return db;
}

std::shared_ptr<Database> Database::FromBytes(std::span<const uint8_t> bytes, std::string *why) {
  std::shared_ptr<Database> db(new Database);
  if (!db->Load(bytes, why)) return nullptr;
  return db;
}

UINT Database::Open(std::u16string_view path, OpenMode mode, std::u16string_view outputPath,
                    std::shared_ptr<Database> &out) {
  out.reset();
  const bool create = mode == OpenMode::Create || mode == OpenMode::CreateDirect;
  HostPath host = ToHostPath(path);
  if (host.error || host.path.empty()) return create ? ERROR_CREATE_FAILED : ERROR_OPEN_FAILED;
  std::shared_ptr<Database> db;
  if (create) {
    // Nothing is written before the first commit, but a folder that cannot
    // take the file fails now, as the caller expects.
    const std::string folder = host.path.substr(0, host.path.rfind('/') + 1);
    if (folder.empty() || access(folder.c_str(), W_OK) != 0) return ERROR_CREATE_FAILED;
    db = CreateEmpty();
  } else {
    Bytes bytes;
    if (ReadWholeFile(host.path, bytes) != 0) return ERROR_OPEN_FAILED;
    db.reset(new Database);
    if (!db->Load(bytes, nullptr)) return ERROR_OPEN_FAILED;
  }
  db->m_mode = mode;
  db->m_path.assign(path);
  db->m_outputPath.assign(outputPath);
  out = std::move(db);
  return ERROR_SUCCESS;
}

bool Database::Load(std::span<const uint8_t> bytes, std::string *why) {
  StorageEntry root;
  if (!ReadCompoundFile(bytes, root, why)) return false;
  memcpy(m_clsid, root.clsid, sizeof m_clsid);
  std::map<std::u16string, BytesPtr> tableStreams;
  for (const StorageEntry &entry : root.children) {
    bool isTable = false;
    std::u16string name = DecodeStreamName(entry.name, &isTable);
    // Two entries whose names decode alike would overwrite each other.
    if (entry.isStorage) {
      if (!m_storages.emplace(name, StorageAsFile(entry)).second) return Fail(why, "repeated storage name");
    } else if (isTable) {
      if (!tableStreams.emplace(name, entry.data).second) return Fail(why, "repeated table stream");
    } else if (entry.name == kSummaryName) {
      m_summaryStream = entry.data;
    } else if (!entry.name.empty() && entry.name[0] < 0x20) {
      m_otherStreams.emplace_back(entry.name, entry.data);
    } else if (!m_streams.emplace(name, entry.data).second) {
      return Fail(why, "repeated stream name");
    }
  }
  auto stream = [&](const char16_t *name) -> const Bytes & {
    static const Bytes empty;
    auto it = tableStreams.find(name);
    return it == tableStreams.end() ? empty : *it->second;
  };
  if (!tableStreams.count(u"_StringPool")) return Fail(why, "no string pool: not an installation database");
  int refBytes = 2;
  if (!LoadStringPool(stream(u"_StringPool"), stream(u"_StringData"), m_pool, m_codePage, refBytes, why)) return false;

  std::vector<StoredRow> tableRows, columnRows;
  if (!DecodeTable(stream(u"_Tables"), TablesSchema(), refBytes, m_pool.Size(), tableRows, why) ||
      !DecodeTable(stream(u"_Columns"), ColumnsSchema(), refBytes, m_pool.Size(), columnRows, why)) {
    return false;
  }
  std::map<std::u16string, std::vector<std::pair<int32_t, Column>>> columnsByTable;
  for (const StoredRow &row : columnRows) {
    if (!row.cells[1] || !row.cells[3]) return Fail(why, "null column number or type");
    // A column stored in the file is persistent whatever its type says.
    Column column{m_pool.Text(row.cells[2]),
                  static_cast<uint16_t>(static_cast<uint16_t>(CellInteger(row.cells[3])) & ~kTypeTemporary)};
    if (column.name.empty() || !ValidColumnType(column.type)) return Fail(why, "bad column definition");
    columnsByTable[m_pool.Text(row.cells[0])].emplace_back(CellInteger(row.cells[1]), std::move(column));
  }
  for (const StoredRow &row : tableRows) {
    Table table;
    table.name = m_pool.Text(row.cells[0]);
    if (table.name.empty() || IsSystemTableName(table.name) || FindTable(table.name)) {
      return Fail(why, "bad or repeated table name");
    }
    auto &columns = columnsByTable[table.name];
    std::sort(columns.begin(), columns.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    if (columns.empty() || columns.size() > kMaxColumns) return Fail(why, "table without usable columns");
    for (size_t i = 0; i < columns.size(); ++i) {
      if (columns[i].first != static_cast<int32_t>(i + 1)) return Fail(why, "column numbers not 1..n");
      table.columns.push_back(columns[i].second);
    }
    if (!DecodeTable(stream(table.name.c_str()), table.columns, refBytes, m_pool.Size(), table.rows, why)) return false;
    m_tables.push_back(std::move(table));
  }
  if (m_summaryStream && !SummaryInfo::Parse(*m_summaryStream, m_summary)) return Fail(why, "bad summary information");
  return true;
}

Table *Database::FindTable(std::u16string_view name) {
  for (Table &table : m_tables) {
    if (table.name == name) return &table;
  }
  return nullptr;
}

const Table *Database::FindTable(std::u16string_view name) const {
  return const_cast<Database *>(this)->FindTable(name);
}

bool Database::SetCodePage(uint32_t codePage) {
  if (!CodePageSupported(codePage)) return false;
  m_codePage = codePage;
  return true;
}

void Database::SetSummary(const SummaryInfo &summary) {
  m_summary = summary;
  m_summaryChanged = true;
}

std::u16string Database::StreamNameOf(const Table &table, const std::vector<uint32_t> &cells) const {
  std::u16string name = table.name;
  for (size_t c = 0; c < table.columns.size(); ++c) {
    const Column &column = table.columns[c];
    if (!column.IsKey()) continue;
    name += u'.';
    if (column.IsString()) {
      name += m_pool.Text(cells[c]);
    } else if (cells[c]) {
      name += Field::Int(CellInteger(cells[c])).AsString();
    }
  }
  return name;
}

Field Database::CellValue(const Table &table, const StoredRow &row, size_t column) const {
  const Column &col = table.columns[column];
  const uint32_t cell = row.cells[column];
  if (col.IsString()) return Field::Str(m_pool.Text(cell));
  if (col.IsInteger()) return cell ? Field::Int(CellInteger(cell)) : Field();
  if (!cell) return Field();
  auto it = m_streams.find(StreamNameOf(table, row.cells));
  return it == m_streams.end() ? Field() : Field::Blob(it->second);
}

bool Database::ToCell(const Column &column, const Field &value, uint32_t &cell) {
  cell = 0;
  if (value.IsNull()) return true;
  if (column.IsStream()) {
    if (value.type != Field::Type::Stream) return false;
    cell = 1;
    return true;
  }
  if (value.type == Field::Type::Stream) return false;
  if (column.IsString()) {
    cell = m_pool.Intern(value.AsString());
    return true;
  }
  const int32_t number = value.AsInteger();
  if (number == kNullInteger) return false;
  if (column.Width() == 2 && (number < -32767 || number > 32767)) return false;
  cell = IntegerCell(number);
  return true;
}

bool Database::Serialize(Bytes &out, std::string *why) const {
  PoolBuilder pool;
  std::vector<const Table *> tables;
  for (const Table &table : m_tables) {
    if (!table.temporary) tables.push_back(&table);
  }
  std::vector<std::vector<uint32_t>> tableRows, columnRows;
  std::vector<std::vector<Column>> persistentColumns(tables.size());
  for (size_t t = 0; t < tables.size(); ++t) {
    tableRows.push_back({pool.Add(tables[t]->name)});
    int32_t number = 0;
    for (const Column &column : tables[t]->columns) {
      if (column.IsTemporary()) continue;
      persistentColumns[t].push_back(column);
      columnRows.push_back({pool.Add(tables[t]->name), IntegerCell(++number), pool.Add(column.name),
                            IntegerCell(static_cast<int16_t>(column.type))});
    }
  }
  StorageEntry root;
  root.name = u"Root Entry";
  root.isStorage = true;
  memcpy(root.clsid, m_clsid, sizeof m_clsid);
  auto addStream = [&](std::u16string storedName, BytesPtr data) {
    if (storedName.size() > kMaxEntryName) return Fail(why, "stream name too long");
    StorageEntry entry;
    entry.name = std::move(storedName);
    entry.data = std::move(data);
    root.children.push_back(std::move(entry));
    return true;
  };
  for (size_t t = 0; t < tables.size(); ++t) {
    const Table &table = *tables[t];
    std::vector<size_t> keep;
    for (size_t c = 0; c < table.columns.size(); ++c) {
      if (!table.columns[c].IsTemporary()) keep.push_back(c);
    }
    std::vector<std::vector<uint32_t>> rows;
    for (const StoredRow &row : table.rows) {
      if (row.temporary) continue;
      std::vector<uint32_t> cells;
      for (size_t c : keep) {
        const Column &column = table.columns[c];
        uint32_t cell = row.cells[c];
        if (column.IsString()) cell = pool.Add(m_pool.Text(cell));
        if (column.IsStream()) cell = cell && m_streams.count(StreamNameOf(table, row.cells)) ? 1 : 0;
        cells.push_back(cell);
      }
      rows.push_back(std::move(cells));
    }
    if (rows.empty() || persistentColumns[t].empty()) continue;
    // Rows are kept in key order, as the installer stores them.
    std::vector<size_t> keys;
    for (size_t c = 0; c < persistentColumns[t].size(); ++c) {
      if (persistentColumns[t][c].IsKey()) keys.push_back(c);
    }
    std::stable_sort(rows.begin(), rows.end(), [&](const auto &a, const auto &b) {
      for (size_t c : keys) {
        if (a[c] != b[c]) return a[c] < b[c];
      }
      return false;
    });
    if (!addStream(EncodeStreamName(table.name, true),
                   std::make_shared<Bytes>(EncodeTable(rows, persistentColumns[t], pool.RefBytes())))) {
      return false;
    }
  }
  std::sort(tableRows.begin(), tableRows.end());
  std::sort(columnRows.begin(), columnRows.end());
  const int refBytes = pool.RefBytes();
  auto poolBytes = std::make_shared<Bytes>(), dataBytes = std::make_shared<Bytes>();
  if (!pool.Write(m_codePage, *poolBytes, *dataBytes, why)) return false;
  addStream(EncodeStreamName(u"_StringPool", true), poolBytes);
  addStream(EncodeStreamName(u"_StringData", true), dataBytes);
  addStream(EncodeStreamName(u"_Tables", true), std::make_shared<Bytes>(EncodeTable(tableRows, TablesSchema(), refBytes)));
  addStream(EncodeStreamName(u"_Columns", true),
            std::make_shared<Bytes>(EncodeTable(columnRows, ColumnsSchema(), refBytes)));
  for (const auto &[name, data] : m_streams) {
    if (!addStream(EncodeStreamName(name, false), data)) return false;
  }
  if (m_summaryChanged) {
    auto summary = std::make_shared<Bytes>();
    if (!m_summary.Serialize(*summary)) return Fail(why, "summary text not representable in its code page");
    addStream(kSummaryName, summary);
  } else if (m_summaryStream) {
    addStream(kSummaryName, m_summaryStream);
  }
  for (const auto &[name, data] : m_otherStreams) addStream(name, data);
  for (const auto &[name, data] : m_storages) {
    StorageEntry storage;
    if (!ReadCompoundFile(*data, storage, why)) return false;
    storage.name = EncodeStreamName(name, false);
    if (storage.name.size() > kMaxEntryName) return Fail(why, "storage name too long");
    root.children.push_back(std::move(storage));
  }
  out = WriteCompoundFile(root);
  return true;
}

UINT Database::Commit() {
  if (ReadOnly()) return ERROR_SUCCESS;
  Bytes bytes;
  if (!Serialize(bytes)) return ERROR_FUNCTION_FAILED;
  HostPath host = ToHostPath(m_outputPath.empty() ? m_path : m_outputPath);
  if (host.error) return ERROR_FUNCTION_FAILED;
  return ReplaceFileAtomically(host.path, bytes) == 0 ? ERROR_SUCCESS : ERROR_FUNCTION_FAILED;
}

}  // namespace hw::msi
