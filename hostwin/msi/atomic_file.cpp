// Whole-file reads and atomic replacement.
#include "atomic_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace hw::msi {
namespace {

std::string ParentOf(const std::string &path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseOf(const std::string &path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string RandomSuffix() {
  unsigned char bytes[6] = {};
  if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
    static unsigned counter;
    bytes[0] = static_cast<unsigned char>(getpid());
    bytes[1] = static_cast<unsigned char>(++counter);
  }
  char text[16];
  snprintf(text, sizeof text, "%02x%02x%02x%02x%02x%02x", bytes[0], bytes[1], bytes[2], bytes[3], bytes[4], bytes[5]);
  return text;
}

bool WriteAll(int fd, const uint8_t *data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

int ReplaceFileAtomically(const std::string &hostPath, const std::vector<uint8_t> &content) {
  const std::string folder = ParentOf(hostPath);
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
    temp = folder + "/." + BaseOf(hostPath) + "." + RandomSuffix() + ".tmp";
    fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return errno;
  }
  if (fd < 0) return EEXIST;
  struct stat old{};
  if (stat(hostPath.c_str(), &old) == 0) fchmod(fd, old.st_mode & 07777);
  int error = 0;
  if (!WriteAll(fd, content.data(), content.size()) || fsync(fd) != 0) error = errno ? errno : EIO;
  if (close(fd) != 0 && !error) error = errno;
  if (!error && rename(temp.c_str(), hostPath.c_str()) != 0) error = errno;
  if (error) {
    unlink(temp.c_str());
    return error;
  }
  // The rename itself must reach the disk too.
  const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return 0;
}

int ReadWholeFile(const std::string &hostPath, std::vector<uint8_t> &content) {
  const int fd = open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  struct stat st{};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    close(fd);
    return error;
  }
  content.resize(static_cast<size_t>(st.st_size));
  size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = read(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  content.resize(done);
  close(fd);
  return 0;
}

}  // namespace hw::msi
