// The installer's SQL subset, parsed into a statement.
#pragma once

#include "hw/msi_database.h"

#include <windef.h>

#include <memory>
#include <string>
#include <vector>

namespace hw::msi {

struct Operand {
  enum class Kind { Column, String, Integer, Param, Null };
  Kind kind = Kind::Null;
  std::u16string text;  // a column's name or a string literal
  int32_t integer = 0;
  int param = 0;        // 1-based index of a '?'
  int column = -1;      // the column's index once bound
};

struct Condition {
  enum class Kind { Compare, And, Or, IsNull, IsNotNull };
  enum class Op { Eq, Ne, Lt, Gt, Le, Ge };
  Kind kind = Kind::Compare;
  Op op = Op::Eq;
  Operand left, right;
  std::unique_ptr<Condition> a, b;
};

struct Statement {
  enum class Kind { Select, Insert, Update, Delete, Create, Drop };
  Kind kind = Kind::Select;
  std::u16string table;
  bool distinct = false;
  bool temporary = false;               // INSERT ... TEMPORARY
  std::vector<Operand> columns;         // SELECT list (empty: *), INSERT columns, UPDATE targets
  std::vector<Operand> values;          // INSERT values, UPDATE new values
  std::unique_ptr<Condition> where;
  std::vector<Operand> orderBy;
  std::vector<Column> definitions;      // CREATE TABLE
  int paramCount = 0;
};

// ERROR_SUCCESS or ERROR_BAD_QUERY_SYNTAX.
UINT ParseSql(std::u16string_view text, Statement &out);

}  // namespace hw::msi
