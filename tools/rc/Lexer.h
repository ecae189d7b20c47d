// Tokens of a preprocessed resource script.
#pragma once

#include "Preprocess.h"

#include <cstdint>
#include <string>
#include <vector>

namespace rc {

enum class TokenKind { Word, Number, String, Punct, End };

struct Token {
  TokenKind kind = TokenKind::End;
  std::string text;      // the word, the punctuation, or the string's raw text
  uint32_t number = 0;   // Number
  bool isLong = false;   // Number with an L suffix
  bool wide = false;     // String with an L prefix
  std::u16string value;  // String: the decoded text
  std::string bytes;     // String: the decoded text as bytes (narrow strings)
  const SourceLine *where = nullptr;
};

// Throws CompileError on a malformed token.
std::vector<Token> Tokenize(const std::vector<SourceLine> &lines);

std::u16string Utf8ToUtf16(const std::string &text);

}  // namespace rc
