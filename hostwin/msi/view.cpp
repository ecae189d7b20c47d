// Views: binding a parsed statement to its table, executing it with
// parameters, fetching rows as records and changing rows through them.
#include "hw/msi_view.h"

#include "relation.h"
#include "sql.h"
#include "validation.h"

#include <algorithm>
#include <atomic>

namespace hw::msi {
namespace {

int ColumnIndex(const Relation &relation, std::u16string_view name) {
  const auto &columns = relation.Columns();
  for (size_t c = 0; c < columns.size(); ++c) {
    if (columns[c].name == name) return static_cast<int>(c);
  }
  return -1;
}

bool BindOperand(const Relation &relation, Operand &operand) {
  if (operand.kind != Operand::Kind::Column) return true;
  operand.column = ColumnIndex(relation, operand.text);
  return operand.column >= 0;
}

bool BindCondition(const Relation &relation, Condition *condition) {
  if (!condition) return true;
  if (condition->kind == Condition::Kind::And || condition->kind == Condition::Kind::Or) {
    return BindCondition(relation, condition->a.get()) && BindCondition(relation, condition->b.get());
  }
  return BindOperand(relation, condition->left) && BindOperand(relation, condition->right);
}

struct Context {
  const Relation &relation;
  size_t row;
  const std::vector<Field> &params;
};

Field Evaluate(const Context &ctx, const Operand &operand) {
  switch (operand.kind) {
    case Operand::Kind::Column:
      return ctx.relation.Get(ctx.row, operand.column);
    case Operand::Kind::String:
      return Field::Str(operand.text);
    case Operand::Kind::Integer:
      return Field::Int(operand.integer);
    case Operand::Kind::Param:
      return operand.param <= static_cast<int>(ctx.params.size()) ? ctx.params[operand.param - 1] : Field();
    case Operand::Kind::Null:
      break;
  }
  return Field();
}

bool IsIntegerOperand(const Context &ctx, const Operand &operand) {
  if (operand.kind == Operand::Kind::Column) return ctx.relation.Columns()[operand.column].IsInteger();
  return operand.kind == Operand::Kind::Integer;
}

template <class T>
bool Compare(const T &a, const T &b, Condition::Op op) {
  switch (op) {
    case Condition::Op::Eq:
      return a == b;
    case Condition::Op::Ne:
      return a != b;
    case Condition::Op::Lt:
      return a < b;
    case Condition::Op::Gt:
      return a > b;
    case Condition::Op::Le:
      return a <= b;
    case Condition::Op::Ge:
      return a >= b;
  }
  return false;
}

bool Matches(const Context &ctx, const Condition *condition) {
  if (!condition) return true;
  switch (condition->kind) {
    case Condition::Kind::And:
      return Matches(ctx, condition->a.get()) && Matches(ctx, condition->b.get());
    case Condition::Kind::Or:
      return Matches(ctx, condition->a.get()) || Matches(ctx, condition->b.get());
    case Condition::Kind::IsNull:
      return Evaluate(ctx, condition->left).IsNull();
    case Condition::Kind::IsNotNull:
      return !Evaluate(ctx, condition->left).IsNull();
    case Condition::Kind::Compare:
      break;
  }
  const Field a = Evaluate(ctx, condition->left), b = Evaluate(ctx, condition->right);
  if (a.IsNull() || b.IsNull()) {
    if (condition->op == Condition::Op::Eq) return a.IsNull() && b.IsNull();
    if (condition->op == Condition::Op::Ne) return a.IsNull() != b.IsNull();
    return false;
  }
  if (IsIntegerOperand(ctx, condition->left) || IsIntegerOperand(ctx, condition->right)) {
    const int32_t x = a.AsInteger(), y = b.AsInteger();
    return x != kNullInteger && y != kNullInteger && Compare(x, y, condition->op);
  }
  return Compare(a.AsString(), b.AsString(), condition->op);
}

bool FieldLess(const Field &a, const Field &b) {
  if (a.IsNull() || b.IsNull()) return !a.IsNull() ? false : !b.IsNull();
  if (a.type == Field::Type::Integer && b.type == Field::Type::Integer) return a.integer < b.integer;
  return a.AsString() < b.AsString();
}

std::vector<Field> Parameters(const Record *params, int count) {
  std::vector<Field> values;
  for (int i = 1; i <= count; ++i) values.push_back(params && params->Has(i) ? params->fields[i] : Field());
  return values;
}

bool SameKey(const std::vector<Field> &a, const std::vector<Field> &b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].AsString() != b[i].AsString()) return false;
  }
  return true;
}

}  // namespace

View::View() {
  static std::atomic<uint64_t> serials{0};
  m_serial = ++serials;
}

View::~View() = default;

UINT View::Open(std::shared_ptr<Database> db, std::u16string_view sql, std::shared_ptr<View> &out) {
  std::shared_ptr<View> view(new View);
  view->m_db = std::move(db);
  view->m_statement = std::make_unique<Statement>();
  Statement &st = *view->m_statement;
  if (ParseSql(sql, st) != ERROR_SUCCESS) return ERROR_BAD_QUERY_SYNTAX;
  std::unique_ptr<Relation> relation = OpenRelation(*view->m_db, st.table);
  if (st.kind == Statement::Kind::Create) {
    if (relation) return ERROR_BAD_QUERY_SYNTAX;
    out = std::move(view);
    return ERROR_SUCCESS;
  }
  if (!relation) return ERROR_BAD_QUERY_SYNTAX;
  for (Operand &column : st.columns) {
    if (!BindOperand(*relation, column)) return ERROR_BAD_QUERY_SYNTAX;
  }
  for (Operand &column : st.orderBy) {
    if (!BindOperand(*relation, column)) return ERROR_BAD_QUERY_SYNTAX;
    view->m_order.push_back(column.column);
  }
  if (!BindCondition(*relation, st.where.get())) return ERROR_BAD_QUERY_SYNTAX;
  if (st.kind == Statement::Kind::Select) {
    if (st.columns.empty()) {
      for (size_t c = 0; c < relation->Columns().size(); ++c) view->m_selected.push_back(static_cast<int>(c));
    } else {
      for (const Operand &column : st.columns) view->m_selected.push_back(column.column);
    }
  }
  out = std::move(view);
  return ERROR_SUCCESS;
}

UINT View::Execute(const Record *params) {
  Statement &st = *m_statement;
  m_results.clear();
  m_next = 0;
  m_executed = false;
  const std::vector<Field> values = Parameters(params, st.paramCount);
  Database &db = *m_db;

  if (st.kind == Statement::Kind::Create) {
    if (db.FindTable(st.table) || OpenRelation(db, st.table)) return ERROR_FUNCTION_FAILED;
    Table table{st.table, st.definitions, {}, true};
    for (const Column &column : st.definitions) table.temporary = table.temporary && column.IsTemporary();
    if (db.ReadOnly() && !table.temporary) return ERROR_FUNCTION_FAILED;
    db.Tables().push_back(std::move(table));
    m_executed = true;
    return ERROR_SUCCESS;
  }
  std::unique_ptr<Relation> relation = OpenRelation(db, st.table);
  if (!relation) return ERROR_FUNCTION_FAILED;
  const bool temporaryInsert = st.kind == Statement::Kind::Insert && st.temporary;
  if (st.kind != Statement::Kind::Select && db.ReadOnly() && !temporaryInsert) return ERROR_FUNCTION_FAILED;

  auto evaluateValue = [&](const Operand &operand) {
    Context ctx{*relation, 0, values};
    return Evaluate(ctx, operand);
  };
  std::vector<size_t> matching;
  if (st.kind != Statement::Kind::Insert && st.kind != Statement::Kind::Drop) {
    for (size_t r = 0; r < relation->Count(); ++r) {
      if (Matches(Context{*relation, r, values}, st.where.get())) matching.push_back(r);
    }
  }
  switch (st.kind) {
    case Statement::Kind::Select: {
      for (size_t r : matching) {
        Result result;
        const Row row = relation->RowAt(r);
        for (int c : m_selected) result.values.push_back(row[c]);
        result.key = relation->KeyOf(row);
        m_results.push_back(std::move(result));
      }
      if (!m_order.empty()) {
        std::vector<size_t> order;
        for (int c : m_order) {
          auto it = std::find(m_selected.begin(), m_selected.end(), c);
          order.push_back(static_cast<size_t>(it - m_selected.begin()));
        }
        // Ordering by a column that is not selected reads it from the row.
        std::vector<std::pair<Row, Result>> keyed;
        for (size_t i = 0; i < m_results.size(); ++i) keyed.emplace_back(relation->RowAt(matching[i]), std::move(m_results[i]));
        std::stable_sort(keyed.begin(), keyed.end(), [&](const auto &a, const auto &b) {
          for (int c : m_order) {
            if (FieldLess(a.first[c], b.first[c])) return true;
            if (FieldLess(b.first[c], a.first[c])) return false;
          }
          return false;
        });
        m_results.clear();
        for (auto &entry : keyed) m_results.push_back(std::move(entry.second));
      }
      if (st.distinct) {
        std::vector<Result> unique;
        for (Result &result : m_results) {
          bool seen = false;
          for (const Result &other : unique) seen = seen || other.values == result.values;
          if (!seen) unique.push_back(std::move(result));
        }
        m_results = std::move(unique);
      }
      break;
    }
    case Statement::Kind::Insert: {
      Row row(relation->Columns().size());
      for (size_t i = 0; i < st.columns.size(); ++i) row[st.columns[i].column] = evaluateValue(st.values[i]);
      const UINT rc = relation->Insert(row, st.temporary);
      if (rc != ERROR_SUCCESS) return rc;
      break;
    }
    case Statement::Kind::Update: {
      for (const Operand &column : st.columns) {
        if (relation->Columns()[column.column].IsKey()) return ERROR_FUNCTION_FAILED;
      }
      for (size_t r : matching) {
        Row row = relation->RowAt(r);
        for (size_t i = 0; i < st.columns.size(); ++i) row[st.columns[i].column] = evaluateValue(st.values[i]);
        const UINT rc = relation->Replace(r, row);
        if (rc != ERROR_SUCCESS) return rc;
      }
      break;
    }
    case Statement::Kind::Delete:
      for (auto it = matching.rbegin(); it != matching.rend(); ++it) relation->Erase(*it);
      break;
    case Statement::Kind::Drop: {
      auto &tables = db.Tables();
      for (auto it = tables.begin(); it != tables.end(); ++it) {
        if (it->name != st.table) continue;
        for (size_t r = relation->Count(); r-- > 0;) relation->Erase(r);
        tables.erase(it);
        break;
      }
      break;
    }
    case Statement::Kind::Create:
      break;
  }
  m_executed = true;
  return ERROR_SUCCESS;
}

UINT View::Fetch(std::shared_ptr<Record> &out) {
  out.reset();
  if (!m_executed || m_statement->kind != Statement::Kind::Select) return ERROR_FUNCTION_FAILED;
  if (m_next >= m_results.size()) return ERROR_NO_MORE_ITEMS;
  const Result &result = m_results[m_next++];
  auto record = std::make_shared<Record>(static_cast<unsigned>(result.values.size()));
  for (size_t i = 0; i < result.values.size(); ++i) record->fields[i + 1] = result.values[i];
  record->sourceView = m_serial;
  record->sourceKey = result.key;
  out = std::move(record);
  return ERROR_SUCCESS;
}

UINT View::Close() {
  m_executed = false;
  m_results.clear();
  m_next = 0;
  return ERROR_SUCCESS;
}

MSIDBERROR View::NextError(std::u16string &column, bool consume) {
  if (m_errors.empty()) {
    column.clear();
    return MSIDBERROR_NOERROR;
  }
  auto [error, name] = m_errors.front();
  if (consume) m_errors.pop_front();
  column = name;
  return error;
}

UINT View::ColumnInfo(MSICOLINFO kind, std::shared_ptr<Record> &out) {
  std::unique_ptr<Relation> relation = OpenRelation(*m_db, m_statement->table);
  if (!relation || m_statement->kind != Statement::Kind::Select) return ERROR_FUNCTION_FAILED;
  auto record = std::make_shared<Record>(static_cast<unsigned>(m_selected.size()));
  for (size_t i = 0; i < m_selected.size(); ++i) {
    const Column &column = relation->Columns()[m_selected[i]];
    record->fields[i + 1] = Field::Str(kind == MSICOLINFO_NAMES ? column.name : column.TypeText());
  }
  out = std::move(record);
  return ERROR_SUCCESS;
}

UINT View::Modify(MSIMODIFY mode, Record &record) {
  m_errors.clear();
  if (m_statement->kind != Statement::Kind::Select) return ERROR_FUNCTION_FAILED;
  std::unique_ptr<Relation> relation = OpenRelation(*m_db, m_statement->table);
  if (!relation) return ERROR_FUNCTION_FAILED;
  if (record.Count() < m_selected.size()) return ERROR_INVALID_DATA;
  const bool fetched = record.sourceView == m_serial;

  // The record's values laid over a row (null where the view has no column).
  auto overlay = [&](Row row) {
    for (size_t i = 0; i < m_selected.size(); ++i) row[m_selected[i]] = record.fields[i + 1];
    return row;
  };
  const Row blank(relation->Columns().size());
  const Row proposed = overlay(blank);
  const std::vector<size_t> keyColumns = relation->KeyColumns();
  const bool keysSelected = std::all_of(keyColumns.begin(), keyColumns.end(), [&](size_t c) {
    return std::find(m_selected.begin(), m_selected.end(), static_cast<int>(c)) != m_selected.end();
  });
  const std::vector<Field> recordKey = relation->KeyOf(proposed);

  switch (mode) {
    case MSIMODIFY_VALIDATE:
    case MSIMODIFY_VALIDATE_NEW:
    case MSIMODIFY_VALIDATE_FIELD: {
      Row full = proposed;
      if (fetched) {
        if (auto index = relation->Find(record.sourceKey)) full = overlay(relation->RowAt(*index));
      }
      ValidationErrors errors = ValidateRow(*m_db, m_statement->table, *relation, full, m_selected,
                                            mode == MSIMODIFY_VALIDATE_NEW);
      if (errors.empty()) return ERROR_SUCCESS;
      m_errors.assign(errors.begin(), errors.end());
      return ERROR_INVALID_DATA;
    }
    case MSIMODIFY_VALIDATE_DELETE:
      return ERROR_SUCCESS;
    case MSIMODIFY_SEEK:
    case MSIMODIFY_REFRESH: {
      if (mode == MSIMODIFY_REFRESH && !fetched) return ERROR_FUNCTION_FAILED;
      if (mode == MSIMODIFY_SEEK && !keysSelected) return ERROR_FUNCTION_FAILED;
      auto index = relation->Find(mode == MSIMODIFY_SEEK ? recordKey : record.sourceKey);
      if (!index) return ERROR_FUNCTION_FAILED;
      const Row row = relation->RowAt(*index);
      for (size_t i = 0; i < m_selected.size(); ++i) record.Set(static_cast<unsigned>(i + 1), row[m_selected[i]]);
      record.sourceView = m_serial;
      record.sourceKey = relation->KeyOf(row);
      return ERROR_SUCCESS;
    }
    default:
      break;
  }

  if (m_db->ReadOnly() && mode != MSIMODIFY_INSERT_TEMPORARY) return ERROR_FUNCTION_FAILED;
  UINT rc = ERROR_FUNCTION_FAILED;
  Row written = proposed;
  switch (mode) {
    case MSIMODIFY_INSERT:
    case MSIMODIFY_INSERT_TEMPORARY:
      rc = relation->Insert(proposed, mode == MSIMODIFY_INSERT_TEMPORARY);
      break;
    case MSIMODIFY_UPDATE: {
      if (!fetched || (keysSelected && !SameKey(recordKey, record.sourceKey))) return ERROR_FUNCTION_FAILED;
      auto index = relation->Find(record.sourceKey);
      if (!index) return ERROR_FUNCTION_FAILED;
      written = overlay(relation->RowAt(*index));
      rc = relation->Replace(*index, written);
      break;
    }
    case MSIMODIFY_REPLACE:
    case MSIMODIFY_ASSIGN:
    case MSIMODIFY_MERGE: {
      std::optional<size_t> index;
      if (mode == MSIMODIFY_REPLACE && fetched) index = relation->Find(record.sourceKey);
      if (!index) {
        if (!keysSelected) return ERROR_FUNCTION_FAILED;
        index = relation->Find(recordKey);
      }
      if (!index) {
        rc = relation->Insert(proposed, false);
        break;
      }
      const Row current = relation->RowAt(*index);
      const Row merged = overlay(current);
      written = merged;
      if (mode == MSIMODIFY_MERGE) {
        rc = merged == current ? ERROR_SUCCESS : ERROR_FUNCTION_FAILED;
      } else {
        rc = relation->Replace(*index, merged);
      }
      break;
    }
    case MSIMODIFY_DELETE: {
      if (!fetched && !keysSelected) return ERROR_FUNCTION_FAILED;
      auto index = relation->Find(fetched ? record.sourceKey : recordKey);
      if (!index) return ERROR_FUNCTION_FAILED;
      rc = relation->Erase(*index);
      if (rc == ERROR_SUCCESS) record.sourceView = 0;
      return rc;
    }
    default:
      return ERROR_INVALID_PARAMETER;
  }
  if (rc == ERROR_SUCCESS) {
    record.sourceView = m_serial;
    record.sourceKey = relation->KeyOf(written);
  }
  return rc;
}

}  // namespace hw::msi
