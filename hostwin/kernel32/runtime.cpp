// The runtime folder of cross-process objects.
#include "hw/runtime.h"

#include "hw/config.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <system_error>

namespace hw {

std::string EscapeObjectName(std::string_view name) {
  std::string escaped;
  for (unsigned char c : name) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
        c == '.' || c == '{' || c == '}') {
      escaped.push_back(static_cast<char>(c));
    } else {
      char hex[4];
      snprintf(hex, sizeof hex, "%%%02X", c);
      escaped += hex;
    }
  }
  if (escaped.empty() || escaped[0] == '.') escaped.insert(0, "%");
  if (escaped.size() > 180) {
    char hash[24];
    snprintf(hash, sizeof hash, "~%016zx", std::hash<std::string_view>{}(name));
    escaped = escaped.substr(0, 160) + hash;
  }
  return escaped;
}

std::string RuntimeSubdir(const char *kind) {
  std::string dir = RuntimeDir() + "/" + kind;
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return dir;
}

FileLock::FileLock(const std::string &path) : m_fd(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
  if (m_fd >= 0) {
    while (flock(m_fd, LOCK_EX) != 0) {
    }
  }
}

FileLock::~FileLock() {
  if (m_fd >= 0) close(m_fd);  // closing releases the lock
}

}  // namespace hw
