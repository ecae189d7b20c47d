// Stored tables and system tables behind one interface.
#include "relation.h"

#include <winerror.h>

#include "storage.h"
#include "text.h"

#include <map>
#include <span>

namespace hw::msi {
namespace {

constexpr uint16_t kNameType = kTypeValid | kTypeString | kTypeCharString | kTypeKey | 62;
constexpr uint16_t kDataType = kTypeValid | kTypeString | kTypeNullable;

bool KeysComplete(const Relation &relation, const Row &row) {
  for (size_t c : relation.KeyColumns()) {
    if (row[c].IsNull()) return false;
  }
  return true;
}

class StoredRelation : public Relation {
 public:
  StoredRelation(Database &db, Table &table) : m_db(db), m_table(table) {}
  const std::vector<Column> &Columns() const override { return m_table.columns; }
  size_t Count() const override { return m_table.rows.size(); }
  Field Get(size_t row, size_t column) const override { return m_db.CellValue(m_table, m_table.rows[row], column); }
  bool Persistent() const override { return !m_table.temporary; }

  UINT Insert(const Row &row, bool temporary) override {
    StoredRow stored{{}, temporary || m_table.temporary};
    if (!KeysComplete(*this, row) || Find(KeyOf(row)) || !ToCells(row, stored.cells)) return ERROR_FUNCTION_FAILED;
    m_table.rows.push_back(std::move(stored));
    WriteStreams(m_table.rows.back().cells, row);
    return ERROR_SUCCESS;
  }

  UINT Replace(size_t index, const Row &row) override {
    std::vector<uint32_t> cells;
    if (!KeysComplete(*this, row) || !ToCells(row, cells)) return ERROR_FUNCTION_FAILED;
    const auto other = Find(KeyOf(row));
    if (other && *other != index) return ERROR_FUNCTION_FAILED;
    EraseStreams(m_table.rows[index].cells);
    m_table.rows[index].cells = std::move(cells);
    WriteStreams(m_table.rows[index].cells, row);
    return ERROR_SUCCESS;
  }

  // Compares cells in place: this runs for every insert.
  std::optional<size_t> Find(const std::vector<Field> &key) const override {
    const std::vector<size_t> keys = KeyColumns();
    if (keys.empty() || key.size() != keys.size()) return std::nullopt;
    std::vector<std::u16string> texts(keys.size());
    std::vector<uint32_t> integers(keys.size());
    for (size_t k = 0; k < keys.size(); ++k) {
      if (m_table.columns[keys[k]].IsInteger()) {
        const int32_t value = key[k].AsInteger();
        integers[k] = value == kNullInteger ? 0 : IntegerCell(value);
      } else {
        texts[k] = key[k].AsString();
      }
    }
    for (size_t r = 0; r < m_table.rows.size(); ++r) {
      const std::vector<uint32_t> &cells = m_table.rows[r].cells;
      bool same = true;
      for (size_t k = 0; k < keys.size() && same; ++k) {
        same = m_table.columns[keys[k]].IsInteger() ? cells[keys[k]] == integers[k]
                                                    : m_db.Pool().Text(cells[keys[k]]) == texts[k];
      }
      if (same) return r;
    }
    return std::nullopt;
  }

  UINT Erase(size_t index) override {
    EraseStreams(m_table.rows[index].cells);
    m_table.rows.erase(m_table.rows.begin() + static_cast<ptrdiff_t>(index));
    return ERROR_SUCCESS;
  }

 private:
  bool ToCells(const Row &row, std::vector<uint32_t> &cells) {
    cells.resize(m_table.columns.size());
    for (size_t c = 0; c < cells.size(); ++c) {
      if (!m_db.ToCell(m_table.columns[c], row[c], cells[c])) return false;
    }
    return true;
  }
  bool HasStreams() const {
    for (const Column &column : m_table.columns) {
      if (column.IsStream()) return true;
    }
    return false;
  }
  void EraseStreams(const std::vector<uint32_t> &cells) {
    if (HasStreams()) m_db.Streams().erase(m_db.StreamNameOf(m_table, cells));
  }
  void WriteStreams(const std::vector<uint32_t> &cells, const Row &row) {
    for (size_t c = 0; c < row.size(); ++c) {
      if (m_table.columns[c].IsStream() && row[c].type == Field::Type::Stream) {
        m_db.Streams()[m_db.StreamNameOf(m_table, cells)] = row[c].stream;
      }
    }
  }

  Database &m_db;
  Table &m_table;
};

// _Streams and _Storages: a name and its data, over one of the database's maps.
class NamedDataRelation : public Relation {
 public:
  NamedDataRelation(std::map<std::u16string, BytesPtr> &map, bool storages) : m_map(map), m_storages(storages) {
    for (const auto &[name, data] : map) m_names.push_back(name);
  }
  const std::vector<Column> &Columns() const override {
    static const std::vector<Column> columns = {{u"Name", kNameType}, {u"Data", kDataType}};
    return columns;
  }
  size_t Count() const override { return m_names.size(); }
  Field Get(size_t row, size_t column) const override {
    if (column == 0) return Field::Str(m_names[row]);
    auto it = m_map.find(m_names[row]);
    return it == m_map.end() ? Field() : Field::Blob(it->second);
  }

  UINT Insert(const Row &row, bool temporary) override {
    if (temporary || !Acceptable(row) || m_map.count(row[0].text)) return ERROR_FUNCTION_FAILED;
    m_map[row[0].text] = Data(row);
    m_names.push_back(row[0].text);
    return ERROR_SUCCESS;
  }

  UINT Replace(size_t index, const Row &row) override {
    if (!Acceptable(row)) return ERROR_FUNCTION_FAILED;
    if (row[0].text != m_names[index]) {
      if (m_map.count(row[0].text)) return ERROR_FUNCTION_FAILED;
      m_map.erase(m_names[index]);
      m_names[index] = row[0].text;
    }
    m_map[row[0].text] = Data(row);
    return ERROR_SUCCESS;
  }

  UINT Erase(size_t index) override {
    m_map.erase(m_names[index]);
    m_names.erase(m_names.begin() + static_cast<ptrdiff_t>(index));
    return ERROR_SUCCESS;
  }

 private:
  bool Acceptable(const Row &row) const {
    if (row[0].type != Field::Type::String || row[1].type == Field::Type::Integer) return false;
    if (row[0].text.empty() || row[0].text[0] < 0x20 || EncodeStreamName(row[0].text, false).size() > kMaxEntryName) {
      return false;
    }
    if (!m_storages) return true;
    // A storage is given as a whole compound file.
    StorageEntry root;
    return row[1].stream && ReadCompoundFile(std::span<const uint8_t>(*row[1].stream), root, nullptr);
  }
  static BytesPtr Data(const Row &row) { return row[1].stream ? row[1].stream : std::make_shared<Bytes>(); }

  std::map<std::u16string, BytesPtr> &m_map;
  bool m_storages;
  std::vector<std::u16string> m_names;
};

// _Tables and _Columns, read-only, as of the moment the view executes.
class CatalogRelation : public Relation {
 public:
  CatalogRelation(const Database &db, bool columns) {
    if (columns) {
      m_columns = {{u"Table", kTypeValid | kTypeString | kTypeCharString | kTypeKey | 64},
                   {u"Number", kTypeValid | kTypeCharString | kTypeKey | 2},
                   {u"Name", kTypeValid | kTypeString | kTypeCharString | 64},
                   {u"Type", kTypeValid | kTypeCharString | 2}};
      for (const Table &table : db.Tables()) {
        for (size_t c = 0; c < table.columns.size(); ++c) {
          m_rows.push_back({Field::Str(table.name), Field::Int(static_cast<int32_t>(c + 1)),
                            Field::Str(table.columns[c].name), Field::Int(static_cast<int16_t>(table.columns[c].type))});
        }
      }
    } else {
      m_columns = {{u"Name", kTypeValid | kTypeString | kTypeCharString | kTypeKey | 64}};
      for (const Table &table : db.Tables()) m_rows.push_back({Field::Str(table.name)});
    }
  }
  const std::vector<Column> &Columns() const override { return m_columns; }
  size_t Count() const override { return m_rows.size(); }
  Field Get(size_t row, size_t column) const override { return m_rows[row][column]; }

 private:
  std::vector<Column> m_columns;
  std::vector<Row> m_rows;
};

}  // namespace

UINT Relation::Insert(const Row &, bool) { return ERROR_FUNCTION_FAILED; }
UINT Relation::Replace(size_t, const Row &) { return ERROR_FUNCTION_FAILED; }
UINT Relation::Erase(size_t) { return ERROR_FUNCTION_FAILED; }

std::vector<size_t> Relation::KeyColumns() const {
  std::vector<size_t> keys;
  const auto &columns = Columns();
  for (size_t c = 0; c < columns.size(); ++c) {
    if (columns[c].IsKey()) keys.push_back(c);
  }
  return keys;
}

Row Relation::RowAt(size_t index) const {
  Row row;
  for (size_t c = 0; c < Columns().size(); ++c) row.push_back(Get(index, c));
  return row;
}

std::vector<Field> Relation::KeyOf(const Row &row) const {
  std::vector<Field> key;
  for (size_t c : KeyColumns()) key.push_back(row[c]);
  return key;
}

std::optional<size_t> Relation::Find(const std::vector<Field> &key) const {
  const std::vector<size_t> keys = KeyColumns();
  if (keys.empty() || key.size() != keys.size()) return std::nullopt;
  for (size_t r = 0; r < Count(); ++r) {
    bool same = true;
    for (size_t k = 0; k < keys.size() && same; ++k) {
      const Field value = Get(r, keys[k]);
      same = Columns()[keys[k]].IsInteger() ? value.AsInteger() == key[k].AsInteger()
                                            : value.AsString() == key[k].AsString();
    }
    if (same) return r;
  }
  return std::nullopt;
}

std::unique_ptr<Relation> OpenRelation(Database &db, std::u16string_view name) {
  if (name == u"_Tables" || name == u"_Columns") return std::make_unique<CatalogRelation>(db, name == u"_Columns");
  if (name == u"_Streams") return std::make_unique<NamedDataRelation>(db.Streams(), false);
  if (name == u"_Storages") return std::make_unique<NamedDataRelation>(db.Storages(), true);
  Table *table = db.FindTable(name);
  if (!table) return nullptr;
  return std::make_unique<StoredRelation>(db, *table);
}

}  // namespace hw::msi
