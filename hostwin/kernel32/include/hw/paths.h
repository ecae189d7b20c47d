// Windows paths and the host's file system. C: is the prefix, Z: is the host's
// root; the current directory is on Z:. Everything above hostwin sees only
// Windows paths.
#pragma once

#include <windef.h>
#include <winerror.h>

#include <string>
#include <string_view>

namespace hw {

// A Windows path made absolute and normal: drive letter, backslashes, no "."
// or ".." segments, no trailing dots or blanks in a segment. `error` is 0 on
// success, else the Win32 code Windows gives for such a path.
struct FullPath {
  std::u16string path;
  DWORD error = 0;
};
FullPath GetFullPath(std::u16string_view path);

// The host path of a Windows path. Existing segments are matched without
// regard to case, as on Windows; the rest keep their spelling. Paths on other
// drives, UNC paths and device names fail with ERROR_PATH_NOT_FOUND; names
// with characters Windows forbids fail with ERROR_INVALID_NAME; paths of
// MAX_PATH characters or more fail with ERROR_FILENAME_EXCED_RANGE.
struct HostPath {
  std::string path;
  DWORD error = 0;
};
HostPath ToHostPath(std::u16string_view windowsPath);
HostPath ToHostPath(const WCHAR *windowsPath);

// The Windows path of an absolute host path: C:\... inside the prefix, else
// Z:\...
std::u16string ToWindowsPath(const std::string &hostPath);

// The Win32 code for an errno from a file operation on `hostPath`:
// ENOENT becomes ERROR_FILE_NOT_FOUND when the parent folder exists, else
// ERROR_PATH_NOT_FOUND.
DWORD ErrnoToWin32(int err, const std::string &hostPath = std::string());

}  // namespace hw
