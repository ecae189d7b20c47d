// The transcript of the user interface: one JSON object a line, appended to
// HOSTWIN_TRANSCRIPT with O_APPEND in a single write.
#include "hw/config.h"
#include "hw/text.h"
#include "hw/ui.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace hw::ui {
namespace {

std::string Quote(const std::string &utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char escaped[8];
          snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  return out + "\"";
}

}  // namespace

void JsonObject::Key(const char *key) {
  if (!m_body.empty()) m_body += ",";
  m_body += Quote(key) + ":";
}

JsonObject &JsonObject::Add(const char *key, const std::string &utf8) {
  Key(key);
  m_body += Quote(utf8);
  return *this;
}

JsonObject &JsonObject::Add(const char *key, std::u16string_view text) { return Add(key, Utf16ToUtf8(text)); }

JsonObject &JsonObject::Add(const char *key, long long number) {
  Key(key);
  m_body += std::to_string(number);
  return *this;
}

JsonObject &JsonObject::Add(const char *key, const std::vector<std::u16string> &texts) {
  Key(key);
  m_body += "[";
  for (size_t k = 0; k < texts.size(); ++k) m_body += (k ? "," : "") + Quote(Utf16ToUtf8(texts[k]));
  m_body += "]";
  return *this;
}

void AppendTranscript(const std::string &jsonObject) {
  std::string path = Env("HOSTWIN_TRANSCRIPT");
  if (path.empty()) return;
  int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  std::string line = jsonObject + "\n";
  ssize_t n;
  do {
    n = write(fd, line.data(), line.size());
  } while (n < 0 && errno == EINTR);
  close(fd);
}

}  // namespace hw::ui
