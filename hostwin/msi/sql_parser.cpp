// Tokenizer and recursive-descent parser of the installer's SQL subset:
// SELECT, INSERT, UPDATE, DELETE, CREATE TABLE and DROP TABLE. Names are
// case-sensitive and may be quoted in backticks; keywords are not
// case-sensitive.
#include "sql.h"

#include <winerror.h>

#include "hw/text.h"

namespace hw::msi {
namespace {

constexpr size_t kMaxConditionDepth = 64;

struct Token {
  enum class Kind { End, Word, Name, String, Integer, Symbol };
  Kind kind = Kind::End;
  std::u16string text;  // word or name or string; symbols: "=", "<>", "<=", ...
  int32_t integer = 0;
};

bool IsNameStart(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_'; }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsNameChar(char16_t c) { return IsNameStart(c) || IsDigit(c); }

bool Tokenize(std::u16string_view s, std::vector<Token> &out) {
  size_t i = 0;
  while (i < s.size()) {
    const char16_t c = s[i];
    Token t;
    if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n') {
      ++i;
      continue;
    }
    if (c == u'`' || c == u'\'') {
      const size_t end = s.find(c, i + 1);
      if (end == std::u16string_view::npos) return false;
      t.kind = c == u'`' ? Token::Kind::Name : Token::Kind::String;
      t.text.assign(s.substr(i + 1, end - i - 1));
      if (t.kind == Token::Kind::Name && t.text.empty()) return false;
      i = end + 1;
    } else if (IsDigit(c) || (c == u'-' && i + 1 < s.size() && IsDigit(s[i + 1]))) {
      size_t end = i + 1;
      while (end < s.size() && IsDigit(s[end])) ++end;
      t.kind = Token::Kind::Integer;
      if (!ParseInteger(s.substr(i, end - i), t.integer)) return false;
      i = end;
    } else if (IsNameStart(c)) {
      size_t end = i + 1;
      while (end < s.size() && IsNameChar(s[end])) ++end;
      t.kind = Token::Kind::Word;
      t.text.assign(s.substr(i, end - i));
      i = end;
    } else {
      t.kind = Token::Kind::Symbol;
      const std::u16string_view two = s.substr(i, 2);
      if (two == u"<>" || two == u"<=" || two == u">=") {
        t.text.assign(two);
        i += 2;
      } else if (std::u16string_view(u"=<>(),*?.").find(c) != std::u16string_view::npos) {
        t.text.assign(1, c);
        ++i;
      } else {
        return false;
      }
    }
    out.push_back(std::move(t));
  }
  out.push_back(Token{});
  return true;
}

class Parser {
 public:
  explicit Parser(std::vector<Token> tokens) : m_tokens(std::move(tokens)) {}

  bool Parse(Statement &st) {
    if (Keyword(u"SELECT")) return Select(st) && AtEnd();
    if (Keyword(u"INSERT")) return Insert(st) && AtEnd();
    if (Keyword(u"UPDATE")) return Update(st) && AtEnd();
    if (Keyword(u"DELETE")) return Delete(st) && AtEnd();
    if (Keyword(u"CREATE")) return Create(st) && AtEnd();
    if (Keyword(u"DROP")) return Drop(st) && AtEnd();
    return false;
  }

 private:
  const Token &Peek() const { return m_tokens[m_pos]; }
  bool AtEnd() const { return Peek().kind == Token::Kind::End; }

  bool IsKeyword(const Token &t, std::u16string_view word) const {
    return t.kind == Token::Kind::Word && EqualsNoCase(t.text, word);
  }
  bool Keyword(std::u16string_view word) {
    if (!IsKeyword(Peek(), word)) return false;
    ++m_pos;
    return true;
  }
  bool Symbol(std::u16string_view symbol) {
    if (Peek().kind != Token::Kind::Symbol || Peek().text != symbol) return false;
    ++m_pos;
    return true;
  }

  // A table or column name: a word that is not a reserved keyword, or a
  // backtick-quoted name.
  bool Name(std::u16string &out) {
    const Token &t = Peek();
    if (t.kind == Token::Kind::Name || (t.kind == Token::Kind::Word && !IsReserved(t.text))) {
      out = t.text;
      ++m_pos;
      return true;
    }
    return false;
  }

  static bool IsReserved(std::u16string_view word) {
    static const char16_t *const kReserved[] = {
        u"SELECT", u"FROM",  u"WHERE",  u"AND",   u"OR",     u"NOT",     u"IS",     u"NULL",    u"ORDER",
        u"BY",     u"INSERT", u"INTO",  u"VALUES", u"UPDATE", u"SET",    u"DELETE", u"CREATE",  u"TABLE",
        u"DROP",   u"PRIMARY", u"KEY",  u"DISTINCT", u"TEMPORARY", u"HOLD", u"FREE", u"LOCALIZABLE"};
    for (const char16_t *reserved : kReserved) {
      if (EqualsNoCase(word, reserved)) return true;
    }
    return false;
  }

  // A column reference, optionally qualified by the statement's table.
  bool ColumnRef(const Statement &st, Operand &out) {
    std::u16string first;
    if (!Name(first)) return false;
    out.kind = Operand::Kind::Column;
    out.text = first;
    if (Symbol(u".")) {
      if (!st.table.empty() && first != st.table) return false;
      m_qualifiers.push_back(first);
      if (!Name(out.text)) return false;
    }
    return true;
  }

  bool Value(Statement &st, Operand &out) {
    const Token &t = Peek();
    if (t.kind == Token::Kind::String) {
      out.kind = Operand::Kind::String;
      out.text = t.text;
    } else if (t.kind == Token::Kind::Integer) {
      out.kind = Operand::Kind::Integer;
      out.integer = t.integer;
    } else if (t.kind == Token::Kind::Symbol && t.text == u"?") {
      out.kind = Operand::Kind::Param;
      out.param = ++st.paramCount;
    } else if (IsKeyword(t, u"NULL")) {
      out.kind = Operand::Kind::Null;
    } else {
      return false;
    }
    ++m_pos;
    return true;
  }

  bool Operand_(Statement &st, Operand &out) { return Value(st, out) || ColumnRef(st, out); }

  bool ConditionOr(Statement &st, std::unique_ptr<Condition> &out, size_t depth) {
    if (depth > kMaxConditionDepth || !ConditionAnd(st, out, depth + 1)) return false;
    while (Keyword(u"OR")) {
      auto node = std::make_unique<Condition>();
      node->kind = Condition::Kind::Or;
      node->a = std::move(out);
      if (!ConditionAnd(st, node->b, depth + 1)) return false;
      out = std::move(node);
    }
    return true;
  }

  bool ConditionAnd(Statement &st, std::unique_ptr<Condition> &out, size_t depth) {
    if (!ConditionPrimary(st, out, depth)) return false;
    while (Keyword(u"AND")) {
      auto node = std::make_unique<Condition>();
      node->kind = Condition::Kind::And;
      node->a = std::move(out);
      if (!ConditionPrimary(st, node->b, depth)) return false;
      out = std::move(node);
    }
    return true;
  }

  bool ConditionPrimary(Statement &st, std::unique_ptr<Condition> &out, size_t depth) {
    if (Symbol(u"(")) return ConditionOr(st, out, depth + 1) && Symbol(u")");
    out = std::make_unique<Condition>();
    if (!Operand_(st, out->left)) return false;
    if (Keyword(u"IS")) {
      out->kind = Keyword(u"NOT") ? Condition::Kind::IsNotNull : Condition::Kind::IsNull;
      return Keyword(u"NULL");
    }
    static const std::pair<const char16_t *, Condition::Op> kOps[] = {
        {u"=", Condition::Op::Eq}, {u"<>", Condition::Op::Ne}, {u"<", Condition::Op::Lt},
        {u">", Condition::Op::Gt}, {u"<=", Condition::Op::Le}, {u">=", Condition::Op::Ge}};
    for (const auto &[symbol, op] : kOps) {
      if (Symbol(symbol)) {
        out->op = op;
        return Operand_(st, out->right);
      }
    }
    return false;
  }

  bool ColumnList(Statement &st, std::vector<Operand> &out) {
    do {
      Operand column;
      if (!ColumnRef(st, column)) return false;
      out.push_back(std::move(column));
    } while (Symbol(u","));
    return true;
  }

  bool Select(Statement &st) {
    st.kind = Statement::Kind::Select;
    st.distinct = Keyword(u"DISTINCT");
    if (!Symbol(u"*")) {
      // The table is not known yet: qualifiers are checked after FROM.
      if (!ColumnList(st, st.columns)) return false;
    }
    if (!Keyword(u"FROM") || !Name(st.table)) return false;
    for (const std::u16string &qualifier : m_qualifiers) {
      if (qualifier != st.table) return false;
    }
    if (Keyword(u"WHERE") && !ConditionOr(st, st.where, 0)) return false;
    if (Keyword(u"ORDER")) {
      if (!Keyword(u"BY") || !ColumnList(st, st.orderBy)) return false;
    }
    return true;
  }

  bool Insert(Statement &st) {
    st.kind = Statement::Kind::Insert;
    if (!Keyword(u"INTO") || !Name(st.table) || !Symbol(u"(") || !ColumnList(st, st.columns) || !Symbol(u")")) {
      return false;
    }
    if (!Keyword(u"VALUES") || !Symbol(u"(")) return false;
    do {
      Operand value;
      if (!Value(st, value)) return false;
      st.values.push_back(std::move(value));
    } while (Symbol(u","));
    if (!Symbol(u")") || st.values.size() != st.columns.size()) return false;
    st.temporary = Keyword(u"TEMPORARY");
    return true;
  }

  bool Update(Statement &st) {
    st.kind = Statement::Kind::Update;
    if (!Name(st.table) || !Keyword(u"SET")) return false;
    do {
      Operand column, value;
      if (!ColumnRef(st, column) || !Symbol(u"=") || !Value(st, value)) return false;
      st.columns.push_back(std::move(column));
      st.values.push_back(std::move(value));
    } while (Symbol(u","));
    if (Keyword(u"WHERE") && !ConditionOr(st, st.where, 0)) return false;
    return true;
  }

  bool Delete(Statement &st) {
    st.kind = Statement::Kind::Delete;
    if (!Keyword(u"FROM") || !Name(st.table)) return false;
    if (Keyword(u"WHERE") && !ConditionOr(st, st.where, 0)) return false;
    return true;
  }

  bool ColumnType(Column &column) {
    uint16_t type = kTypeValid | kTypeNullable;
    if (Keyword(u"CHAR") || Keyword(u"CHARACTER")) {
      type |= kTypeString | kTypeCharString;
      if (Symbol(u"(")) {
        const Token &t = Peek();
        if (t.kind != Token::Kind::Integer || t.integer < 0 || t.integer > 255) return false;
        type |= static_cast<uint16_t>(t.integer);
        ++m_pos;
        if (!Symbol(u")")) return false;
      }
    } else if (Keyword(u"LONGCHAR")) {
      type |= kTypeString | kTypeCharString;
    } else if (Keyword(u"SHORT") || Keyword(u"INT") || Keyword(u"INTEGER")) {
      type |= kTypeCharString | 2;
    } else if (Keyword(u"LONG")) {
      type |= 4;
    } else if (Keyword(u"OBJECT")) {
      type |= kTypeString;
    } else {
      return false;
    }
    for (;;) {
      if (Keyword(u"NOT")) {
        if (!Keyword(u"NULL")) return false;
        type &= ~kTypeNullable;
      } else if (Keyword(u"TEMPORARY")) {
        type |= kTypeTemporary;
      } else if (Keyword(u"LOCALIZABLE")) {
        if (!(type & kTypeCharString) || !(type & kTypeString)) return false;
        type |= kTypeLocalizable;
      } else {
        break;
      }
    }
    column.type = type;
    return true;
  }

  bool Create(Statement &st) {
    st.kind = Statement::Kind::Create;
    if (!Keyword(u"TABLE") || !Name(st.table) || !Symbol(u"(")) return false;
    for (;;) {
      if (Keyword(u"PRIMARY")) break;
      Column column;
      if (!Name(column.name) || !ColumnType(column)) return false;
      for (const Column &other : st.definitions) {
        if (other.name == column.name) return false;
      }
      st.definitions.push_back(std::move(column));
      if (!Symbol(u",") && !IsKeyword(Peek(), u"PRIMARY")) return false;
    }
    if (!Keyword(u"KEY")) return false;
    do {
      std::u16string key;
      if (!Name(key)) return false;
      bool found = false;
      for (Column &column : st.definitions) {
        if (column.name == key && !column.IsKey() && !column.IsStream()) {
          column.type |= kTypeKey;
          found = true;
        }
      }
      if (!found) return false;
    } while (Symbol(u","));
    if (!Symbol(u")") || st.definitions.size() > 255) return false;
    Keyword(u"HOLD");
    return true;
  }

  bool Drop(Statement &st) {
    st.kind = Statement::Kind::Drop;
    return Keyword(u"TABLE") && Name(st.table);
  }

  std::vector<Token> m_tokens;
  size_t m_pos = 0;
  std::vector<std::u16string> m_qualifiers;  // of the SELECT list, checked against FROM
};

}  // namespace

UINT ParseSql(std::u16string_view text, Statement &out) {
  std::vector<Token> tokens;
  if (!Tokenize(text, tokens)) return ERROR_BAD_QUERY_SYNTAX;
  out = Statement{};
  Parser parser(std::move(tokens));
  return parser.Parse(out) ? ERROR_SUCCESS : ERROR_BAD_QUERY_SYNTAX;
}

}  // namespace hw::msi
