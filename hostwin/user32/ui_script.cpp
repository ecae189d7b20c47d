// Parsing and matching of the answer script.
#include "ui_script.h"

#include "hw/text.h"

#include <optional>

namespace hw::ui {
namespace {

struct Token {
  std::string text;
  bool quoted = false;
};

// Splits a line into words and double-quoted strings (with \" and \\);
// a '#' outside a string starts a comment.
std::optional<std::vector<Token>> Tokenize(std::string_view line, std::string &error) {
  std::vector<Token> tokens;
  size_t i = 0;
  while (i < line.size()) {
    char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
    } else if (c == '#') {
      break;
    } else if (c == '"') {
      Token token{std::string(), true};
      ++i;
      bool closed = false;
      while (i < line.size()) {
        char d = line[i++];
        if (d == '"') {
          closed = true;
          break;
        }
        if (d == '\\' && i < line.size()) d = line[i++];
        token.text.push_back(d);
      }
      if (!closed) {
        error = "unterminated string";
        return std::nullopt;
      }
      tokens.push_back(std::move(token));
    } else {
      size_t j = i;
      while (j < line.size() && line[j] != ' ' && line[j] != '\t' && line[j] != '\r' && line[j] != '"') ++j;
      tokens.push_back(Token{std::string(line.substr(i, j - i)), false});
      i = j;
    }
  }
  return tokens;
}

std::optional<int> ParsePercent(std::string text) {
  if (!text.empty() && text.back() == '%') text.pop_back();
  if (text.empty() || text.size() > 3) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value > 100) return std::nullopt;
  return value;
}

std::optional<ScriptRule> ParseRule(const std::vector<Token> &tokens, std::string &error) {
  ScriptRule rule;
  if (tokens[0].quoted || (tokens[0].text != "answer" && tokens[0].text != "press")) {
    error = "expected 'answer' or 'press', found '" + tokens[0].text + "'";
    return std::nullopt;
  }
  rule.press = tokens[0].text == "press";
  if (tokens.size() < 2) {
    error = "'" + tokens[0].text + "' needs a button";
    return std::nullopt;
  }
  rule.button = Utf8ToUtf16(tokens[1].text);
  for (size_t k = 2; k < tokens.size(); k += 2) {
    const std::string &option = tokens[k].text;
    if (k + 1 >= tokens.size()) {
      error = "'" + option + "' needs a value";
      return std::nullopt;
    }
    const std::string &value = tokens[k + 1].text;
    if (option == "title") {
      rule.title = Utf8ToUtf16(value);
    } else if (option == "text") {
      rule.text = Utf8ToUtf16(value);
    } else if (option == "name") {
      rule.name = Utf8ToUtf16(value);
    } else if (option == "kind") {
      rule.kind = value;
    } else if (option == "at" && rule.press) {
      std::optional<int> percent = ParsePercent(value);
      if (!percent) {
        error = "'at' needs a percentage from 0% to 100%, found '" + value + "'";
        return std::nullopt;
      }
      rule.atPercent = *percent;
    } else {
      error = "unknown option '" + option + "'";
      return std::nullopt;
    }
  }
  return rule;
}

bool ContainsNoCase(std::u16string_view haystack, std::u16string_view needle) {
  if (needle.empty()) return true;
  return ToUpper(haystack).find(ToUpper(needle)) != std::u16string::npos;
}

}  // namespace

Script ParseScript(std::string_view text) {
  Script script;
  int number = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    std::string error;
    std::optional<std::vector<Token>> tokens = Tokenize(line, error);
    if (tokens && tokens->empty()) continue;
    std::optional<ScriptRule> rule;
    if (tokens) rule = ParseRule(*tokens, error);
    if (!rule) {
      script.rules.clear();
      script.error = "line " + std::to_string(number) + ": " + error;
      return script;
    }
    rule->line = number;
    script.rules.push_back(std::move(*rule));
  }
  return script;
}

std::u16string PlainLabel(std::u16string_view label) {
  std::u16string plain;
  for (size_t k = 0; k < label.size(); ++k) {
    if (label[k] == u'&' && k + 1 < label.size()) ++k;
    plain.push_back(label[k]);
  }
  return plain;
}

bool RuleMatches(const ScriptRule &rule, const Prompt &prompt) {
  return (rule.kind.empty() || rule.kind == prompt.kind) && ContainsNoCase(prompt.title, rule.title) &&
         ContainsNoCase(prompt.text, rule.text) && ContainsNoCase(prompt.name, rule.name);
}

int RuleButton(const ScriptRule &rule, const Prompt &prompt) {
  for (const Button &button : prompt.buttons) {
    if (EqualsNoCase(PlainLabel(button.label), rule.button)) return button.id;
  }
  for (const Button &button : prompt.buttons) {
    if (Utf8ToUtf16(std::to_string(button.id)) == rule.button) return button.id;
  }
  return 0;
}

}  // namespace hw::ui
