// Windows paths onto the host's file system: C: is the prefix, Z: the root.
#include "hw/paths.h"

#include "hw/config.h"
#include "hw/text.h"

#include <dirent.h>
#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>
#include <vector>

namespace hw {
namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }
bool IsDriveLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

bool HasForbiddenCharacter(std::u16string_view segment) {
  for (char16_t c : segment) {
    if (c < 0x20) return true;
    switch (c) {
      case u'<': case u'>': case u':': case u'"': case u'|': case u'?': case u'*':
        return true;
      default:
        break;
    }
  }
  return false;
}

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9, with or without an extension, name
// devices in every folder.
bool IsDeviceName(std::u16string_view segment) {
  std::u16string_view base = segment.substr(0, segment.find(u'.'));
  while (!base.empty() && base.back() == u' ') base.remove_suffix(1);
  std::u16string upper = ToUpper(base);
  if (upper == u"CON" || upper == u"PRN" || upper == u"AUX" || upper == u"NUL") return true;
  if (upper.size() == 4 && (upper.compare(0, 3, u"COM") == 0 || upper.compare(0, 3, u"LPT") == 0))
    return upper[3] >= u'1' && upper[3] <= u'9';
  return false;
}

std::string CurrentHostDirectory() {
  std::error_code ec;
  auto cwd = std::filesystem::current_path(ec);
  return ec ? std::string("/") : cwd.string();
}

// Splits the part after the drive root into segments, normalising "." and
// ".." (never above the root) and trailing dots and blanks.
bool NormaliseSegments(std::u16string_view rest, std::vector<std::u16string> &segments, DWORD &error) {
  size_t i = 0;
  while (i <= rest.size()) {
    size_t j = i;
    while (j < rest.size() && !IsSeparator(rest[j])) ++j;
    std::u16string segment(rest.substr(i, j - i));
    i = j + 1;
    if (segment.empty() || segment == u".") continue;
    if (segment == u"..") {
      if (!segments.empty()) segments.pop_back();
      continue;
    }
    while (!segment.empty() && (segment.back() == u'.' || segment.back() == u' ')) segment.pop_back();
    if (segment.empty()) continue;
    if (HasForbiddenCharacter(segment)) {
      error = ERROR_INVALID_NAME;
      return false;
    }
    segments.push_back(std::move(segment));
  }
  return true;
}

// The actual name of `segment` inside the host folder `dir`, matched without
// regard to case; empty when nothing matches.
std::string FindNoCase(const std::string &dir, const std::u16string &segment) {
  DIR *d = opendir(dir.empty() ? "/" : dir.c_str());
  if (!d) return std::string();
  std::string found;
  while (dirent *entry = readdir(d)) {
    if (EqualsNoCase(Utf8ToUtf16(entry->d_name), segment)) {
      found = entry->d_name;
      break;
    }
  }
  closedir(d);
  return found;
}

bool Exists(const std::string &path) {
  struct stat st{};
  return lstat(path.c_str(), &st) == 0;
}

std::string CanonicalPrefix() {
  std::string prefix = Prefix();
  char *real = realpath(prefix.c_str(), nullptr);
  if (!real) return prefix;
  std::string result(real);
  free(real);
  return result;
}

}  // namespace

FullPath GetFullPath(std::u16string_view input) {
  FullPath result;
  if (input.empty()) {
    result.error = ERROR_PATH_NOT_FOUND;
    return result;
  }
  std::u16string path(input);
  for (auto &c : path) {
    if (c == u'/') c = u'\\';
  }
  if (path.rfind(u"\\\\?\\", 0) == 0) {
    path.erase(0, 4);
    if (!(path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == u':' && path[2] == u'\\')) {
      result.error = ERROR_PATH_NOT_FOUND;  // \\?\UNC\ and volume names
      return result;
    }
  } else if (path.rfind(u"\\\\", 0) == 0) {
    result.error = ERROR_PATH_NOT_FOUND;  // UNC paths and \\.\ devices
    return result;
  }

  std::u16string cwd = ToWindowsPath(CurrentHostDirectory());
  char16_t drive;
  std::u16string rest;
  if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == u':') {
    drive = ToUpper(path[0]);
    rest = path.substr(2);
    if (rest.empty() || rest[0] != u'\\') {
      // Drive-relative: the current directory when it is on that drive.
      rest = (drive == cwd[0] ? cwd.substr(2) : std::u16string()) + u"\\" + rest;
    }
  } else if (path[0] == u'\\') {
    drive = cwd[0];
    rest = path;
  } else {
    drive = cwd[0];
    rest = cwd.substr(2) + u"\\" + path;
  }

  std::vector<std::u16string> segments;
  if (!NormaliseSegments(rest, segments, result.error)) return result;
  result.path = std::u16string(1, drive) + u":\\";
  for (size_t k = 0; k < segments.size(); ++k) {
    if (k) result.path += u'\\';
    result.path += segments[k];
  }
  if (!segments.empty() && IsSeparator(input.back())) result.path += u'\\';
  return result;
}

HostPath ToHostPath(const WCHAR *windowsPath) {
  if (!windowsPath) return HostPath{std::string(), ERROR_INVALID_PARAMETER};
  return ToHostPath(View(windowsPath));
}

HostPath ToHostPath(std::u16string_view windowsPath) {
  HostPath result;
  bool longForm = windowsPath.rfind(u"\\\\?\\", 0) == 0;
  FullPath full = GetFullPath(windowsPath);
  if (full.error) {
    result.error = full.error;
    return result;
  }
  if (!longForm && full.path.size() >= MAX_PATH) {
    result.error = ERROR_FILENAME_EXCED_RANGE;
    return result;
  }
  if (!IsWellFormedUtf16(full.path)) {
    result.error = ERROR_INVALID_NAME;
    return result;
  }
  std::string host;
  if (full.path[0] == u'C') {
    host = Prefix();
  } else if (full.path[0] != u'Z') {
    result.error = ERROR_PATH_NOT_FOUND;
    return result;
  }
  std::u16string_view rest = std::u16string_view(full.path).substr(3);
  bool resolving = true;
  size_t i = 0;
  while (i < rest.size()) {
    size_t j = rest.find(u'\\', i);
    if (j == std::u16string_view::npos) j = rest.size();
    std::u16string segment(rest.substr(i, j - i));
    i = j + 1;
    if (segment.empty()) continue;
    if (IsDeviceName(segment)) {
      result.error = ERROR_PATH_NOT_FOUND;
      return result;
    }
    std::string name = Utf16ToUtf8(segment);
    if (resolving && !Exists(host + "/" + name)) {
      std::string actual = FindNoCase(host, segment);
      if (actual.empty()) {
        resolving = false;
      } else {
        name = actual;
      }
    }
    host += "/" + name;
  }
  if (host.empty()) host = "/";
  result.path = host;
  return result;
}

std::u16string ToWindowsPath(const std::string &hostPath) {
  std::string path = std::filesystem::path(hostPath).lexically_normal().string();
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  for (const std::string &prefix : {Prefix(), CanonicalPrefix()}) {
    if (path == prefix) return u"C:\\";
    if (path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0 &&
        path[prefix.size()] == '/') {
      std::u16string rest = Utf8ToUtf16(path.substr(prefix.size() + 1));
      for (auto &c : rest) {
        if (c == u'/') c = u'\\';
      }
      return u"C:\\" + rest;
    }
  }
  std::u16string rest = Utf8ToUtf16(path);
  for (auto &c : rest) {
    if (c == u'/') c = u'\\';
  }
  return u"Z:" + rest;
}

DWORD ErrnoToWin32(int err, const std::string &hostPath) {
  switch (err) {
    case 0:
      return ERROR_SUCCESS;
    case ENOENT: {
      if (hostPath.empty()) return ERROR_FILE_NOT_FOUND;
      std::string parent = std::filesystem::path(hostPath).parent_path().string();
      struct stat st{};
      bool parentIsFolder = stat(parent.empty() ? "/" : parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
      return parentIsFolder ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    }
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
      return ERROR_ACCESS_DENIED;
    case EEXIST:
      return ERROR_ALREADY_EXISTS;
    case ENOSPC:
    case EDQUOT:
      return ERROR_DISK_FULL;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case EROFS:
      return ERROR_WRITE_PROTECT;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case ENOTEMPTY:
      return ERROR_DIR_NOT_EMPTY;
    case EBUSY:
    case ETXTBSY:
      return ERROR_SHARING_VIOLATION;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case EXDEV:
      return ERROR_NOT_SAME_DEVICE;
    case EIO:
      return ERROR_IO_DEVICE;
    default:
      return ERROR_GEN_FAILURE;
  }
}

}  // namespace hw
