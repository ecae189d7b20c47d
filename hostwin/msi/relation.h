// What a view reads and changes: a stored table, or one of the database's
// system tables (_Tables, _Columns, _Streams, _Storages), all seen as rows
// of values with key columns.
#pragma once

#include "hw/msi_database.h"

#include <windef.h>

#include <memory>
#include <optional>
#include <vector>

namespace hw::msi {

class Relation {
 public:
  virtual ~Relation() = default;
  virtual const std::vector<Column> &Columns() const = 0;
  virtual size_t Count() const = 0;
  virtual Field Get(size_t row, size_t column) const = 0;
  virtual bool Persistent() const { return true; }
  // Changes; ERROR_FUNCTION_FAILED when the values do not fit the columns,
  // a key is null or taken, or the relation cannot be changed.
  virtual UINT Insert(const Row &row, bool temporary);
  virtual UINT Replace(size_t index, const Row &row);
  virtual UINT Erase(size_t index);

  std::vector<size_t> KeyColumns() const;
  Row RowAt(size_t index) const;
  std::vector<Field> KeyOf(const Row &row) const;
  virtual std::optional<size_t> Find(const std::vector<Field> &key) const;
};

// Null when the database has no such table.
std::unique_ptr<Relation> OpenRelation(Database &db, std::u16string_view name);

}  // namespace hw::msi
