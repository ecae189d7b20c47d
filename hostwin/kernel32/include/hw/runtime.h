// Files of the runtime folder that cross-process objects live in.
#pragma once

#include <string>
#include <string_view>

namespace hw {

// A file name for any object name: safe characters stay, others are escaped,
// very long names are shortened with a hash. Distinct names give distinct
// file names.
std::string EscapeObjectName(std::string_view utf8Name);

// The runtime sub-folder for one kind of object (created when missing).
std::string RuntimeSubdir(const char *kind);

// An exclusive advisory lock on a file, held for the object's lifetime.
class FileLock {
 public:
  explicit FileLock(const std::string &path);
  ~FileLock();
  FileLock(const FileLock &) = delete;
  FileLock &operator=(const FileLock &) = delete;
  int fd() const { return m_fd; }
  bool ok() const { return m_fd >= 0; }

 private:
  int m_fd;
};

}  // namespace hw
