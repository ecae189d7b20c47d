// Splitting a preprocessed script into words, numbers, strings and marks.
#include "Lexer.h"

#include "Resource.h"

#include <cctype>

namespace rc {
namespace {

bool IsPunct(char c) { return std::string_view(",|&+-*/()~{}=").find(c) != std::string_view::npos; }

[[noreturn]] void Fail(const SourceLine &where, const std::string &message) {
  throw CompileError{where.file, where.line, message};
}

void AppendUtf8(std::string &out, uint32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// Decodes a string literal starting at text[i] (the opening quote); moves i
// past it. Escapes: \n \r \t \a \\ \" \0 \xHH.. and "" for a quote.
Token ReadString(const SourceLine &where, const std::string &text, size_t &i, bool wide) {
  Token token;
  token.kind = TokenKind::String;
  token.wide = wide;
  std::string utf8;
  ++i;
  for (;;) {
    if (i >= text.size()) Fail(where, "unterminated string");
    char c = text[i++];
    if (c == '"') {
      if (i < text.size() && text[i] == '"') {
        utf8.push_back('"');
        ++i;
        continue;
      }
      break;
    }
    if (c != '\\') {
      utf8.push_back(c);
      continue;
    }
    if (i >= text.size()) Fail(where, "unterminated string");
    char e = text[i++];
    switch (e) {
      case 'n': utf8.push_back('\n'); break;
      case 'r': utf8.push_back('\r'); break;
      case 't': utf8.push_back('\t'); break;
      case 'a': utf8.push_back('\a'); break;
      case '0': utf8.push_back('\0'); break;
      case '\\': utf8.push_back('\\'); break;
      case '"': utf8.push_back('"'); break;
      case 'x': case 'X': {
        uint32_t value = 0;
        int digits = 0;
        while (i < text.size() && digits < (wide ? 4 : 2) && isxdigit(static_cast<unsigned char>(text[i]))) {
          char h = static_cast<char>(tolower(static_cast<unsigned char>(text[i++])));
          value = value * 16 + static_cast<uint32_t>(h <= '9' ? h - '0' : h - 'a' + 10);
          ++digits;
        }
        if (!digits) Fail(where, "\\x without hexadecimal digits");
        if (wide) {
          AppendUtf8(utf8, value);
        } else {
          utf8.push_back(static_cast<char>(value));
        }
        break;
      }
      default:
        utf8.push_back('\\');
        utf8.push_back(e);
        break;
    }
  }
  token.bytes = utf8;
  token.value = Utf8ToUtf16(utf8);
  return token;
}

Token ReadNumber(const SourceLine &where, const std::string &text, size_t &i) {
  Token token;
  token.kind = TokenKind::Number;
  size_t start = i;
  uint64_t value = 0;
  if (text[i] == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    i += 2;
    size_t digitsStart = i;
    while (i < text.size() && isxdigit(static_cast<unsigned char>(text[i]))) {
      char h = static_cast<char>(tolower(static_cast<unsigned char>(text[i++])));
      value = value * 16 + static_cast<uint64_t>(h <= '9' ? h - '0' : h - 'a' + 10);
      if (value > 0xFFFFFFFFu) Fail(where, "number too large");
    }
    if (i == digitsStart) Fail(where, "malformed number '" + text.substr(start, i - start) + "'");
  } else {
    while (i < text.size() && isdigit(static_cast<unsigned char>(text[i]))) {
      value = value * 10 + static_cast<uint64_t>(text[i++] - '0');
      if (value > 0xFFFFFFFFu) Fail(where, "number too large");
    }
  }
  while (i < text.size() && (text[i] == 'L' || text[i] == 'l' || text[i] == 'U' || text[i] == 'u')) {
    if (text[i] == 'L' || text[i] == 'l') token.isLong = true;
    ++i;
  }
  if (i < text.size() && (isalnum(static_cast<unsigned char>(text[i])) || text[i] == '_'))
    Fail(where, "malformed number '" + text.substr(start, i - start + 1) + "'");
  token.number = static_cast<uint32_t>(value);
  token.text = text.substr(start, i - start);
  return token;
}

}  // namespace

std::u16string Utf8ToUtf16(const std::string &text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    uint32_t c;
    int extra;
    if (b < 0x80) {
      c = b;
      extra = 0;
    } else if ((b & 0xE0) == 0xC0) {
      c = b & 0x1F;
      extra = 1;
    } else if ((b & 0xF0) == 0xE0) {
      c = b & 0x0F;
      extra = 2;
    } else if ((b & 0xF8) == 0xF0) {
      c = b & 0x07;
      extra = 3;
    } else {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    ++i;
    bool ok = true;
    for (int k = 0; k < extra; ++k) {
      if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      c = (c << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
    }
    if (!ok) {
      out.push_back(0xFFFD);
    } else if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  }
  return out;
}

std::vector<Token> Tokenize(const std::vector<SourceLine> &lines) {
  std::vector<Token> tokens;
  for (const SourceLine &line : lines) {
    const std::string &text = line.text;
    size_t i = 0;
    while (i < text.size()) {
      char c = text[i];
      if (isspace(static_cast<unsigned char>(c))) {
        ++i;
        continue;
      }
      Token token;
      if (c == '"') {
        token = ReadString(line, text, i, false);
      } else if ((c == 'L' || c == 'l') && i + 1 < text.size() && text[i + 1] == '"') {
        ++i;
        token = ReadString(line, text, i, true);
      } else if (isdigit(static_cast<unsigned char>(c))) {
        token = ReadNumber(line, text, i);
      } else if (IsPunct(c)) {
        token.kind = TokenKind::Punct;
        token.text = std::string(1, c);
        ++i;
      } else {
        size_t start = i;
        while (i < text.size() && !isspace(static_cast<unsigned char>(text[i])) && text[i] != '"' &&
               text[i] != ',' && text[i] != '{' && text[i] != '}' && text[i] != '(' && text[i] != ')' &&
               text[i] != '|')
          ++i;
        token.kind = TokenKind::Word;
        token.text = text.substr(start, i - start);
      }
      token.where = &line;
      tokens.push_back(std::move(token));
    }
  }
  Token end;
  end.where = lines.empty() ? nullptr : &lines.back();
  tokens.push_back(end);
  return tokens;
}

}  // namespace rc
