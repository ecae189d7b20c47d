// Validation against _Validation: whether a column may be null, integer
// bounds, string widths, foreign keys (KeyTable/KeyColumn), the value sets
// and the categories whose form can be checked without the engine
// (identifiers, properties, GUIDs, upper/lower case, versions, languages).
// Categories whose grammar belongs to the engine (conditions, formatted
// text, paths, file names) are accepted as they are.
#include "validation.h"

#include "hw/text.h"

#include <optional>

namespace hw::msi {
namespace {

struct Rule {
  bool missing = false;  // the database validates, but has no row for the column
  bool nullable = true;
  std::optional<int32_t> minValue, maxValue;
  std::u16string keyTable;
  int32_t keyColumn = 0;
  std::u16string category;
  std::u16string set;
};

// The _Validation row of a column; null when the database has none.
std::optional<Rule> FindRule(Database &db, std::u16string_view table, std::u16string_view column) {
  const Table *validation = db.FindTable(u"_Validation");
  if (!validation) return std::nullopt;
  auto index = [&](std::u16string_view name) -> int {
    for (size_t c = 0; c < validation->columns.size(); ++c) {
      if (validation->columns[c].name == name) return static_cast<int>(c);
    }
    return -1;
  };
  const int cTable = index(u"Table"), cColumn = index(u"Column");
  if (cTable < 0 || cColumn < 0) return std::nullopt;
  for (const StoredRow &row : validation->rows) {
    if (db.CellValue(*validation, row, cTable).AsString() != table ||
        db.CellValue(*validation, row, cColumn).AsString() != column) {
      continue;
    }
    Rule rule;
    auto value = [&](std::u16string_view name) {
      const int c = index(name);
      return c < 0 ? Field() : db.CellValue(*validation, row, c);
    };
    rule.nullable = value(u"Nullable").AsString() != u"N";
    if (Field f = value(u"MinValue"); !f.IsNull()) rule.minValue = f.AsInteger();
    if (Field f = value(u"MaxValue"); !f.IsNull()) rule.maxValue = f.AsInteger();
    rule.keyTable = value(u"KeyTable").AsString();
    rule.keyColumn = value(u"KeyColumn").AsInteger();
    rule.category = value(u"Category").AsString();
    rule.set = value(u"Set").AsString();
    return rule;
  }
  Rule missing;
  missing.missing = true;
  return missing;
}

std::vector<std::u16string_view> Split(std::u16string_view text, char16_t separator) {
  std::vector<std::u16string_view> parts;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::u16string_view::npos ? std::u16string_view::npos : end - start));
    if (end == std::u16string_view::npos) return parts;
    start = end + 1;
  }
}

bool IsIdentifier(std::u16string_view s) {
  if (s.empty()) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    const char16_t c = s[i];
    const bool letter = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
    const bool digitOrDot = (c >= u'0' && c <= u'9') || c == u'.';
    if (!letter && !(i > 0 && digitOrDot)) return false;
  }
  return true;
}

bool IsHex(char16_t c) { return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'); }

bool IsGuid(std::u16string_view s) {
  if (s.size() != 38 || s[0] != u'{' || s[37] != u'}') return false;
  for (size_t i = 1; i < 37; ++i) {
    const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash ? s[i] != u'-' : !IsHex(s[i])) return false;
  }
  return true;
}

bool IsNumberUpTo(std::u16string_view s, int32_t max) {
  int32_t value;
  return !s.empty() && s[0] != u'-' && s[0] != u'+' && ParseInteger(s, value) && value <= max;
}

bool IsVersion(std::u16string_view s) {
  const auto parts = Split(s, u'.');
  if (parts.size() > 4) return false;
  for (auto part : parts) {
    if (!IsNumberUpTo(part, 65535)) return false;
  }
  return true;
}

bool IsLanguageList(std::u16string_view s) {
  for (auto part : Split(s, u',')) {
    if (!IsNumberUpTo(part, 65535)) return false;
  }
  return true;
}

MSIDBERROR CheckCategory(std::u16string_view category, std::u16string_view value) {
  if (category == u"Identifier") return IsIdentifier(value) ? MSIDBERROR_NOERROR : MSIDBERROR_BADIDENTIFIER;
  if (category == u"Property") {
    return IsIdentifier(value.substr(!value.empty() && value[0] == u'%' ? 1 : 0)) ? MSIDBERROR_NOERROR
                                                                                 : MSIDBERROR_BADPROPERTY;
  }
  if (category == u"GUID") return IsGuid(value) ? MSIDBERROR_NOERROR : MSIDBERROR_BADGUID;
  if (category == u"UpperCase") return ToUpper(value) == value ? MSIDBERROR_NOERROR : MSIDBERROR_BADCASE;
  if (category == u"LowerCase") {
    for (char16_t c : value) {
      if (ToLower(c) != c) return MSIDBERROR_BADCASE;
    }
    return MSIDBERROR_NOERROR;
  }
  if (category == u"Version") return IsVersion(value) ? MSIDBERROR_NOERROR : MSIDBERROR_BADVERSION;
  if (category == u"Language") return IsLanguageList(value) ? MSIDBERROR_NOERROR : MSIDBERROR_BADLANGUAGE;
  return MSIDBERROR_NOERROR;
}

bool KeyExists(Database &db, std::u16string_view tables, int32_t keyColumn, const Field &value) {
  if (keyColumn < 1) keyColumn = 1;
  for (auto name : Split(tables, u';')) {
    std::unique_ptr<Relation> target = OpenRelation(db, name);
    if (!target || static_cast<size_t>(keyColumn) > target->Columns().size()) continue;
    const std::u16string text = value.AsString();
    for (size_t r = 0; r < target->Count(); ++r) {
      if (target->Get(r, keyColumn - 1).AsString() == text) return true;
    }
  }
  return false;
}

MSIDBERROR CheckValue(Database &db, const Column &column, const Rule &rule, const Field &value) {
  if (value.IsNull()) return rule.nullable && column.IsNullable() ? MSIDBERROR_NOERROR : MSIDBERROR_REQUIRED;
  if (column.IsInteger()) {
    const int32_t number = value.AsInteger();
    if (number == kNullInteger) return MSIDBERROR_OVERFLOW;
    if (rule.minValue && number < *rule.minValue) return MSIDBERROR_UNDERFLOW;
    if (rule.maxValue && number > *rule.maxValue) return MSIDBERROR_OVERFLOW;
    if (column.Width() == 2 && (number < -32767 || number > 32767)) return MSIDBERROR_OVERFLOW;
  }
  if (column.IsString()) {
    if (column.Width() > 0 && value.AsString().size() > static_cast<size_t>(column.Width())) {
      return MSIDBERROR_STRINGOVERFLOW;
    }
    const MSIDBERROR error = CheckCategory(rule.category, value.AsString());
    if (error != MSIDBERROR_NOERROR) return error;
  }
  if (!rule.set.empty()) {
    bool found = false;
    for (auto member : Split(rule.set, u';')) found = found || member == value.AsString();
    if (!found) return MSIDBERROR_NOTINSET;
  }
  if (!rule.keyTable.empty() && !KeyExists(db, rule.keyTable, rule.keyColumn, value)) return MSIDBERROR_BADLINK;
  return MSIDBERROR_NOERROR;
}

}  // namespace

ValidationErrors ValidateRow(Database &db, std::u16string_view table, const Relation &relation, const Row &row,
                             const std::vector<int> &columns, bool newRow) {
  ValidationErrors errors;
  const auto &schema = relation.Columns();
  if (newRow && relation.Find(relation.KeyOf(row))) {
    for (size_t c : relation.KeyColumns()) errors.emplace_back(MSIDBERROR_DUPLICATEKEY, schema[c].name);
  }
  for (int c : columns) {
    const Column &column = schema[c];
    std::optional<Rule> rule = FindRule(db, table, column.name);
    MSIDBERROR error;
    if (!rule) {
      error = row[c].IsNull() && !column.IsNullable() ? MSIDBERROR_REQUIRED : MSIDBERROR_NOERROR;
    } else if (rule->missing) {
      error = MSIDBERROR_MISSINGDATA;
    } else {
      error = CheckValue(db, column, *rule, row[c]);
    }
    if (error != MSIDBERROR_NOERROR) errors.emplace_back(error, column.name);
  }
  return errors;
}

}  // namespace hw::msi
