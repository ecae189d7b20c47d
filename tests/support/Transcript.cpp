#include "Transcript.h"

#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace testenv {
namespace {

void AppendUtf8(std::string &out, unsigned code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

class Parser {
 public:
  explicit Parser(const std::string &text) : m_text(text) {}

  bool Object(std::map<std::string, std::string> &fields) {
    if (!Take('{')) return false;
    if (Take('}')) return AtEnd();
    do {
      std::string key, value;
      if (!String(key) || !Take(':') || !Value(value)) return false;
      fields[key] = value;
    } while (Take(','));
    return Take('}') && AtEnd();
  }

 private:
  void Blanks() {
    while (m_pos < m_text.size() && (m_text[m_pos] == ' ' || m_text[m_pos] == '\t' || m_text[m_pos] == '\r')) ++m_pos;
  }
  bool Take(char c) {
    Blanks();
    if (m_pos < m_text.size() && m_text[m_pos] == c) {
      ++m_pos;
      return true;
    }
    return false;
  }
  bool AtEnd() {
    Blanks();
    return m_pos == m_text.size();
  }
  bool Hex4(unsigned &code) {
    if (m_pos + 4 > m_text.size()) return false;
    code = static_cast<unsigned>(strtoul(m_text.substr(m_pos, 4).c_str(), nullptr, 16));
    m_pos += 4;
    return true;
  }
  bool String(std::string &out) {
    if (!Take('"')) return false;
    while (m_pos < m_text.size()) {
      char c = m_text[m_pos++];
      if (c == '"') return true;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (m_pos >= m_text.size()) return false;
      char e = m_text[m_pos++];
      switch (e) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'u': {
          unsigned code;
          if (!Hex4(code)) return false;
          if (code >= 0xD800 && code < 0xDC00 && m_text.compare(m_pos, 2, "\\u") == 0) {
            m_pos += 2;
            unsigned low;
            if (!Hex4(low)) return false;
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          }
          AppendUtf8(out, code);
          break;
        }
        default: out += e; break;
      }
    }
    return false;
  }
  bool Value(std::string &out) {
    Blanks();
    if (m_pos >= m_text.size()) return false;
    char c = m_text[m_pos];
    if (c == '"') return String(out);
    if (c == '[') {
      ++m_pos;
      if (Take(']')) return true;
      bool first = true;
      do {
        std::string item;
        if (!Value(item)) return false;
        if (!first) out += '|';
        out += item;
        first = false;
      } while (Take(','));
      return Take(']');
    }
    size_t start = m_pos;
    while (m_pos < m_text.size() && m_text[m_pos] != ',' && m_text[m_pos] != '}' && m_text[m_pos] != ']') ++m_pos;
    out = m_text.substr(start, m_pos - start);
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return !out.empty();
  }

  const std::string &m_text;
  size_t m_pos = 0;
};

}  // namespace

std::string TranscriptEntry::Get(const std::string &key) const {
  auto it = fields.find(key);
  return it == fields.end() ? std::string() : it->second;
}

long long TranscriptEntry::Number(const std::string &key) const {
  auto it = fields.find(key);
  return it == fields.end() ? -1 : strtoll(it->second.c_str(), nullptr, 0);
}

std::vector<TranscriptEntry> ReadTranscript(const std::string &path) {
  std::vector<TranscriptEntry> entries;
  std::string text = ReadFile(path);
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    if (line.empty()) continue;
    TranscriptEntry entry;
    EXPECT_TRUE(Parser(line).Object(entry.fields)) << "not a JSON object: " << line;
    entries.push_back(entry);
  }
  return entries;
}

std::vector<TranscriptEntry> ReadTranscript() { return ReadTranscript(ScratchDir() + "/transcript.jsonl"); }

std::vector<TranscriptEntry> EntriesOfKind(const std::vector<TranscriptEntry> &entries, const std::string &kind) {
  std::vector<TranscriptEntry> result;
  for (const auto &entry : entries) {
    if (entry.Get("kind") == kind) result.push_back(entry);
  }
  return result;
}

}  // namespace testenv
