// Statements of a resource script and the binary layouts Windows gives them.
#include "Parser.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

namespace rc {
namespace {

constexpr uint16_t kRtIcon = 3, kRtBitmap = 2, kRtString = 6, kRtRcdata = 10, kRtGroupIcon = 14, kRtVersion = 16,
                   kRtHtml = 23;

std::string Upper(std::string text) {
  for (char &c : text) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  return text;
}

void PutWord(std::vector<uint8_t> &out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutDword(std::vector<uint8_t> &out, uint32_t value) {
  PutWord(out, static_cast<uint16_t>(value & 0xFFFF));
  PutWord(out, static_cast<uint16_t>(value >> 16));
}

void PutText(std::vector<uint8_t> &out, const std::u16string &text, bool terminate) {
  for (char16_t c : text) PutWord(out, c);
  if (terminate) PutWord(out, 0);
}

void Align4(std::vector<uint8_t> &out) {
  while (out.size() % 4) out.push_back(0);
}

uint16_t ReadWord(const std::string &data, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(data[at]) | (static_cast<uint8_t>(data[at + 1]) << 8));
}

uint32_t ReadDword(const std::string &data, size_t at) {
  return ReadWord(data, at) | (static_cast<uint32_t>(ReadWord(data, at + 2)) << 16);
}

// A node of a version block: a key with a text or binary value and children.
struct VersionNode {
  std::u16string key;
  bool text = true;
  std::vector<uint8_t> value;
  uint16_t valueLength = 0;  // characters for text (with the terminator), bytes for binary
  std::vector<VersionNode> children;
};

std::vector<uint8_t> Serialize(const VersionNode &node) {
  std::vector<uint8_t> out;
  PutWord(out, 0);  // wLength, filled in below
  PutWord(out, node.valueLength);
  PutWord(out, node.text ? 1 : 0);
  PutText(out, node.key, true);
  Align4(out);
  out.insert(out.end(), node.value.begin(), node.value.end());
  for (const VersionNode &child : node.children) {
    Align4(out);
    std::vector<uint8_t> bytes = Serialize(child);
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  out[0] = static_cast<uint8_t>(out.size() & 0xFF);
  out[1] = static_cast<uint8_t>(out.size() >> 8);
  return out;
}

class Compiler {
 public:
  Compiler(const std::vector<Token> &tokens, const FileFinder &findFile) : m_tokens(tokens), m_findFile(findFile) {}

  std::vector<Resource> Run() {
    while (Peek().kind != TokenKind::End) Statement();
    EmitStringTables();
    return std::move(m_resources);
  }

 private:
  // --- tokens ---
  const Token &Peek(size_t ahead = 0) const {
    size_t k = std::min(m_pos + ahead, m_tokens.size() - 1);
    return m_tokens[k];
  }
  const Token &Next() {
    const Token &token = Peek();
    if (m_pos < m_tokens.size() - 1) ++m_pos;
    return token;
  }
  [[noreturn]] void Fail(const Token &at, const std::string &message) const {
    const SourceLine *where = at.where;
    throw CompileError{where ? where->file : std::string(), where ? where->line : 0, message};
  }
  std::string Describe(const Token &token) const {
    switch (token.kind) {
      case TokenKind::End: return "the end of the script";
      case TokenKind::String: return "a string";
      default: return "'" + token.text + "'";
    }
  }
  bool IsWord(const Token &token, const char *word) const {
    return token.kind == TokenKind::Word && Upper(token.text) == word;
  }
  bool IsPunct(const Token &token, char c) const { return token.kind == TokenKind::Punct && token.text[0] == c; }
  bool IsBegin(const Token &token) const { return IsWord(token, "BEGIN") || IsPunct(token, '{'); }
  bool IsEnd(const Token &token) const { return IsWord(token, "END") || IsPunct(token, '}'); }
  void ExpectBegin() {
    if (!IsBegin(Peek())) Fail(Peek(), "expected BEGIN, found " + Describe(Peek()));
    Next();
  }
  bool SkipComma() {
    if (IsPunct(Peek(), ',')) {
      Next();
      return true;
    }
    return false;
  }
  const Token &ExpectString() {
    if (Peek().kind != TokenKind::String) Fail(Peek(), "expected a string, found " + Describe(Peek()));
    return Next();
  }

  // --- numeric expressions: numbers, ( ), unary - and ~, binary + - * / | & ---
  bool StartsNumber(const Token &token) const {
    return token.kind == TokenKind::Number || IsPunct(token, '(') || IsPunct(token, '-') || IsPunct(token, '~') ||
           IsWord(token, "NOT");
  }
  uint32_t Primary(bool &isLong) {
    const Token &token = Next();
    if (token.kind == TokenKind::Number) {
      isLong = isLong || token.isLong;
      return token.number;
    }
    if (IsPunct(token, '(')) {
      uint32_t value = Expression(isLong);
      if (!IsPunct(Peek(), ')')) Fail(Peek(), "expected ')', found " + Describe(Peek()));
      Next();
      return value;
    }
    if (IsPunct(token, '-')) return 0u - Primary(isLong);
    if (IsPunct(token, '~') || IsWord(token, "NOT")) return ~Primary(isLong);
    Fail(token, "expected a number, found " + Describe(token));
  }
  uint32_t Expression(bool &isLong) {
    uint32_t value = Primary(isLong);
    for (;;) {
      const Token &op = Peek();
      if (op.kind != TokenKind::Punct || std::string_view("+-*/|&").find(op.text[0]) == std::string_view::npos) break;
      Next();
      uint32_t right = Primary(isLong);
      switch (op.text[0]) {
        case '+': value += right; break;
        case '-': value -= right; break;
        case '*': value *= right; break;
        case '/':
          if (!right) Fail(op, "division by zero");
          value /= right;
          break;
        case '|': value |= right; break;
        default: value &= right; break;
      }
    }
    return value;
  }
  uint32_t Number() {
    bool isLong = false;
    return Expression(isLong);
  }
  uint16_t Word16(const Token &at) {
    uint32_t value = Number();
    if (value > 0xFFFF) Fail(at, "number " + std::to_string(value) + " does not fit in 16 bits");
    return static_cast<uint16_t>(value);
  }

  // --- statements ---
  void Statement() {
    const Token &first = Peek();
    if (IsWord(first, "LANGUAGE")) {
      Next();
      m_language = Language(first);
      return;
    }
    if (IsWord(first, "STRINGTABLE")) {
      Next();
      StringTable(first);
      return;
    }
    ResId name = ResourceName();
    const Token &typeToken = Peek();
    if (typeToken.kind == TokenKind::End) Fail(typeToken, "expected a resource type after the name");
    std::string keyword = typeToken.kind == TokenKind::Word ? Upper(typeToken.text) : std::string();
    if (keyword == "VERSIONINFO") {
      Next();
      VersionInfo(name, typeToken);
    } else if (keyword == "ICON") {
      Next();
      Icon(name, typeToken);
    } else if (keyword == "RCDATA") {
      Next();
      Data(NumberId(kRtRcdata), name, false);
    } else if (keyword == "BITMAP") {
      Next();
      Data(NumberId(kRtBitmap), name, true);
    } else if (keyword == "HTML") {
      Next();
      Data(NumberId(kRtHtml), name, false);
    } else if (keyword == "DIALOG" || keyword == "DIALOGEX" || keyword == "MENU" || keyword == "MENUEX" ||
               keyword == "ACCELERATORS" || keyword == "CURSOR" || keyword == "FONT" || keyword == "MESSAGETABLE" ||
               keyword == "TOOLBAR" || keyword == "DLGINIT") {
      Fail(typeToken, keyword + " resources are not supported by this resource compiler");
    } else {
      ResId type = ResourceName();  // a user-defined type: a number or a name
      Data(type, name, false);
    }
  }

  static ResId NumberId(uint16_t number) {
    ResId id;
    id.number = number;
    return id;
  }

  ResId ResourceName() {
    const Token &token = Peek();
    ResId id;
    if (StartsNumber(token)) {
      id.number = Word16(token);
      return id;
    }
    if (token.kind == TokenKind::Word || token.kind == TokenKind::String) {
      Next();
      std::u16string text = token.kind == TokenKind::String ? token.value : Utf8ToUtf16(token.text);
      if (text.empty()) Fail(token, "an empty resource name");
      for (char16_t &c : text) {
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
      }
      id.isNumber = false;
      id.name = text;
      return id;
    }
    Fail(token, "expected a resource name or statement, found " + Describe(token));
  }

  uint16_t Language(const Token &at) {
    uint32_t primary = Number();
    if (!SkipComma()) Fail(Peek(), "LANGUAGE needs a primary and a sub-language, separated by a comma");
    uint32_t sub = Number();
    if (primary > 0x3FF || sub > 0x3F) Fail(at, "LANGUAGE values out of range");
    return static_cast<uint16_t>((sub << 10) | primary);
  }

  // Memory flags and the optional statements before BEGIN or a file name.
  uint16_t Options() {
    uint16_t language = m_language;
    for (;;) {
      const Token &token = Peek();
      if (token.kind != TokenKind::Word) return language;
      std::string word = Upper(token.text);
      if (word == "PRELOAD" || word == "LOADONCALL" || word == "MOVEABLE" || word == "FIXED" ||
          word == "DISCARDABLE" || word == "PURE" || word == "IMPURE" || word == "SHARED" || word == "NONSHARED") {
        Next();
      } else if (word == "LANGUAGE") {
        Next();
        language = Language(token);
      } else if (word == "CHARACTERISTICS" || word == "VERSION") {
        Next();
        Number();
      } else {
        return language;
      }
    }
  }

  void Add(ResId type, ResId name, uint16_t language, std::vector<uint8_t> data, const Token &at) {
    for (const Resource &r : m_resources) {
      if (r.type == type && r.name == name && r.language == language) Fail(at, "duplicate resource");
    }
    m_resources.push_back(Resource{std::move(type), std::move(name), language, std::move(data)});
  }

  std::string ReadNamedFile(const Token &at) {
    std::string name = at.kind == TokenKind::String ? at.bytes : at.text;
    std::string path = m_findFile(name, *at.where);
    if (path.empty()) Fail(at, "cannot find the file \"" + name + "\"");
    std::ifstream file(path, std::ios::binary);
    if (!file) Fail(at, "cannot read the file \"" + path + "\"");
    std::stringstream contents;
    contents << file.rdbuf();
    return contents.str();
  }

  // RCDATA, BITMAP, HTML and user types: from a file or inline.
  void Data(ResId type, ResId name, bool isBitmap) {
    const Token &start = Peek();
    uint16_t language = Options();
    std::vector<uint8_t> data;
    const Token &source = Peek();
    if (IsBegin(source)) {
      Next();
      data = InlineData();
    } else if (source.kind == TokenKind::String || source.kind == TokenKind::Word) {
      Next();
      std::string contents = ReadNamedFile(source);
      if (isBitmap) {
        // The resource holds the bitmap without its 14-byte file header.
        if (contents.size() < 14 || contents.compare(0, 2, "BM") != 0) Fail(source, "not a bitmap file");
        contents.erase(0, 14);
      }
      data.assign(contents.begin(), contents.end());
    } else {
      Fail(source, "expected a file name or BEGIN, found " + Describe(source));
    }
    Add(std::move(type), std::move(name), language, std::move(data), start);
  }

  std::vector<uint8_t> InlineData() {
    std::vector<uint8_t> data;
    while (!IsEnd(Peek())) {
      const Token &token = Peek();
      if (token.kind == TokenKind::End) Fail(token, "expected END");
      if (token.kind == TokenKind::String) {
        Next();
        if (token.wide) {
          PutText(data, token.value, false);
        } else {
          data.insert(data.end(), token.bytes.begin(), token.bytes.end());
        }
      } else {
        bool isLong = false;
        uint32_t value = Expression(isLong);
        if (isLong) {
          PutDword(data, value);
        } else {
          PutWord(data, static_cast<uint16_t>(value));
        }
      }
      SkipComma();
    }
    Next();
    return data;
  }

  void StringTable(const Token &at) {
    uint16_t language = Options();
    ExpectBegin();
    while (!IsEnd(Peek())) {
      const Token &idToken = Peek();
      if (idToken.kind == TokenKind::End) Fail(idToken, "expected END");
      uint16_t id = Word16(idToken);
      SkipComma();
      std::u16string text = ExpectString().value;
      while (Peek().kind == TokenKind::String) text += Next().value;
      auto &strings = m_strings[language];
      if (strings.count(id)) Fail(idToken, "duplicate string id " + std::to_string(id));
      if (text.size() > 4097) Fail(idToken, "string " + std::to_string(id) + " is too long");
      strings[id] = StringEntry{text, &idToken};
    }
    Next();
  }

  // Strings go into blocks of 16 (block id / 16 + 1), each a counted string.
  void EmitStringTables() {
    for (const auto &[language, strings] : m_strings) {
      std::map<uint16_t, std::vector<const std::pair<const uint16_t, StringEntry> *>> blocks;
      for (const auto &entry : strings) blocks[static_cast<uint16_t>(entry.first / 16 + 1)].push_back(&entry);
      for (const auto &[block, entries] : blocks) {
        std::u16string slots[16];
        for (const auto *entry : entries) slots[entry->first % 16] = entry->second.text;
        std::vector<uint8_t> data;
        for (const std::u16string &slot : slots) {
          PutWord(data, static_cast<uint16_t>(slot.size()));
          PutText(data, slot, false);
        }
        Add(NumberId(kRtString), NumberId(block), language, std::move(data), *entries.front()->second.token);
      }
    }
  }

  void Icon(ResId name, const Token &at) {
    uint16_t language = Options();
    const Token &fileToken = Peek();
    if (fileToken.kind != TokenKind::String && fileToken.kind != TokenKind::Word)
      Fail(fileToken, "ICON needs a file name");
    Next();
    std::string file = ReadNamedFile(fileToken);
    // ICONDIR (6 bytes) and ICONDIRENTRY (16 bytes) each.
    if (file.size() < 6 || ReadWord(file, 0) != 0 || ReadWord(file, 2) != 1) Fail(fileToken, "not an icon file");
    uint16_t count = ReadWord(file, 4);
    if (count == 0 || file.size() < 6 + 16u * count) Fail(fileToken, "the icon file is truncated");
    std::vector<uint8_t> group;
    PutWord(group, 0);
    PutWord(group, 1);
    PutWord(group, count);
    for (uint16_t k = 0; k < count; ++k) {
      size_t entry = 6 + 16u * k;
      uint32_t size = ReadDword(file, entry + 8);
      uint32_t offset = ReadDword(file, entry + 12);
      if (offset > file.size() || size > file.size() - offset) Fail(fileToken, "the icon file is truncated");
      uint16_t id = ++m_lastIconId;
      Add(NumberId(kRtIcon), NumberId(id), language,
          std::vector<uint8_t>(file.begin() + offset, file.begin() + offset + size), fileToken);
      // GRPICONDIRENTRY: the first 12 bytes of the file's entry, then the id.
      group.insert(group.end(), file.begin() + static_cast<long>(entry), file.begin() + static_cast<long>(entry) + 12);
      PutWord(group, id);
    }
    Add(NumberId(kRtGroupIcon), std::move(name), language, std::move(group), at);
  }

  void VersionInfo(ResId name, const Token &at) {
    uint32_t fixed[13] = {0xFEEF04BD, 0x00010000, 0, 0, 0, 0, 0x3F, 0, 0x00040004, 1, 0, 0, 0};
    uint16_t language = m_language;
    for (;;) {
      const Token &token = Peek();
      if (IsBegin(token)) break;
      if (token.kind != TokenKind::Word) Fail(token, "expected a VERSIONINFO statement or BEGIN, found " + Describe(token));
      std::string word = Upper(token.text);
      Next();
      if (word == "FILEVERSION" || word == "PRODUCTVERSION") {
        uint32_t parts[4] = {0, 0, 0, 0};
        for (int k = 0; k < 4; ++k) {
          parts[k] = Word16(Peek());
          if (k < 3 && !SkipComma()) break;
        }
        int slot = word == "FILEVERSION" ? 2 : 4;
        fixed[slot] = (parts[0] << 16) | parts[1];
        fixed[slot + 1] = (parts[2] << 16) | parts[3];
      } else if (word == "FILEFLAGSMASK") {
        fixed[6] = Number();
      } else if (word == "FILEFLAGS") {
        fixed[7] = Number();
      } else if (word == "FILEOS") {
        fixed[8] = Number();
      } else if (word == "FILETYPE") {
        fixed[9] = Number();
      } else if (word == "FILESUBTYPE") {
        fixed[10] = Number();
      } else if (word == "LANGUAGE") {
        language = Language(token);
      } else {
        Fail(token, "unknown VERSIONINFO statement '" + token.text + "'");
      }
    }
    VersionNode root;
    root.key = u"VS_VERSION_INFO";
    root.text = false;
    for (uint32_t value : fixed) PutDword(root.value, value);
    root.valueLength = static_cast<uint16_t>(root.value.size());
    root.children = VersionBlock();
    Add(NumberId(kRtVersion), std::move(name), language, Serialize(root), at);
  }

  // BEGIN { BLOCK "key" BEGIN ... END | VALUE "key", values } END
  std::vector<VersionNode> VersionBlock() {
    ExpectBegin();
    std::vector<VersionNode> nodes;
    while (!IsEnd(Peek())) {
      const Token &token = Next();
      if (IsWord(token, "BLOCK")) {
        VersionNode node;
        node.key = ExpectString().value;
        node.children = VersionBlock();
        nodes.push_back(std::move(node));
      } else if (IsWord(token, "VALUE")) {
        nodes.push_back(VersionValue());
      } else {
        Fail(token, "expected BLOCK, VALUE or END, found " + Describe(token));
      }
    }
    Next();
    return nodes;
  }

  VersionNode VersionValue() {
    VersionNode node;
    node.key = ExpectString().value;
    if (!SkipComma()) return node;
    bool anyText = false;
    std::u16string text;
    std::vector<uint8_t> binary;
    for (;;) {
      const Token &token = Peek();
      if (token.kind == TokenKind::String) {
        Next();
        anyText = true;
        text += token.value;
      } else if (StartsNumber(token)) {
        bool isLong = false;
        uint32_t value = Expression(isLong);
        if (isLong) {
          PutDword(binary, value);
        } else {
          PutWord(binary, static_cast<uint16_t>(value));
        }
      } else {
        Fail(token, "expected a string or number in VALUE, found " + Describe(token));
      }
      if (!SkipComma() && Peek().kind != TokenKind::String) break;
    }
    if (anyText && !binary.empty()) Fail(Peek(), "a VALUE mixes text and numbers");
    if (anyText) {
      PutText(node.value, text, true);
      node.valueLength = static_cast<uint16_t>(text.size() + 1);
    } else {
      node.text = false;
      node.value = binary;
      node.valueLength = static_cast<uint16_t>(binary.size());
    }
    return node;
  }

  struct StringEntry {
    std::u16string text;
    const Token *token = nullptr;
  };

  const std::vector<Token> &m_tokens;
  const FileFinder &m_findFile;
  size_t m_pos = 0;
  uint16_t m_language = 0x0409;  // English (United States) until a LANGUAGE statement
  uint16_t m_lastIconId = 0;
  std::vector<Resource> m_resources;
  std::map<uint16_t, std::map<uint16_t, StringEntry>> m_strings;
};

}  // namespace

std::vector<Resource> Compile(const std::vector<Token> &tokens, const FileFinder &findFile) {
  return Compiler(tokens, findFile).Run();
}

}  // namespace rc
