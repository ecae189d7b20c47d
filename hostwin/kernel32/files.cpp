// Files and folders: handles over host file descriptors, and the path-based
// operations with the results and last-error codes Windows gives.
#include <winbase.h>

#include "hw/config.h"
#include "hw/handles.h"
#include "hw/paths.h"
#include "hw/text.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace {

class FileObject : public hw::KernelObject {
 public:
  FileObject(int fd, std::string path, bool deleteOnClose)
      : m_fd(fd), m_path(std::move(path)), m_deleteOnClose(deleteOnClose) {}
  ~FileObject() override {
    if (m_deleteOnClose) unlink(m_path.c_str());
    close(m_fd);
  }
  int fd() const { return m_fd; }

 private:
  int m_fd;
  std::string m_path;
  bool m_deleteOnClose;
};

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

bool StatPath(const std::string &path, struct stat &st) { return stat(path.c_str(), &st) == 0; }

bool IsReadOnlyMode(mode_t mode) { return (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0; }

std::shared_ptr<FileObject> FileOf(HANDLE h) { return hw::LookupHandleAs<FileObject>(h); }

std::string ParentOf(const std::string &path) {
  std::string parent = std::filesystem::path(path).parent_path().string();
  return parent.empty() ? std::string("/") : parent;
}

// Copies all bytes of `from` into the open descriptor `to`.
bool CopyBytes(int from, int to, DWORD &error) {
  char buffer[1 << 16];
  for (;;) {
    ssize_t n = read(from, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = hw::ErrnoToWin32(errno);
      return false;
    }
    if (n == 0) return true;
    for (ssize_t done = 0; done < n;) {
      ssize_t w = write(to, buffer + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) {
        error = hw::ErrnoToWin32(errno);
        return false;
      }
      done += w;
    }
  }
}

// Writes a copy of `source` beside `target` and then puts it in place in one
// step, so that a failed copy never leaves a partial target behind.
DWORD CopyFileContents(const std::string &source, const std::string &target, bool failIfExists) {
  int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return hw::ErrnoToWin32(errno, source);
  struct stat st{};
  fstat(in, &st);
  std::string temp = ParentOf(target) + "/.hostwin-copy-XXXXXX";
  int out = mkstemp(temp.data());
  if (out < 0) {
    DWORD error = hw::ErrnoToWin32(errno, temp);
    close(in);
    return error;
  }
  DWORD error = 0;
  bool ok = CopyBytes(in, out, error);
  close(in);
  if (ok) {
    fchmod(out, st.st_mode & 0777);
    const timespec times[2] = {st.st_atim, st.st_mtim};
    futimens(out, times);
  }
  if (close(out) != 0 && ok) {
    ok = false;
    error = hw::ErrnoToWin32(errno);
  }
  if (ok) {
    int rc = failIfExists ? renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE)
                          : rename(temp.c_str(), target.c_str());
    if (rc != 0) {
      ok = false;
      error = errno == EEXIST ? ERROR_FILE_EXISTS : hw::ErrnoToWin32(errno, target);
    }
  }
  if (!ok) unlink(temp.c_str());
  return ok ? 0 : error;
}

DWORD CopyOutPath(const std::u16string &path, DWORD capacity, LPWSTR buffer) {
  return hw::CopyOut(path, buffer, capacity);
}

}  // namespace

extern "C" HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                     LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                     DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                                     HANDLE hTemplateFile) {
  hw::HostPath host = hw::ToHostPath(lpFileName);
  if (host.error) {
    SetLastError(host.error);
    return INVALID_HANDLE_VALUE;
  }
  const bool wantRead = dwDesiredAccess & (GENERIC_READ | GENERIC_ALL | 0x0001);
  const bool wantWrite = dwDesiredAccess & (GENERIC_WRITE | GENERIC_ALL | 0x0002 | 0x0004);
  int flags = O_CLOEXEC | (wantWrite ? (wantRead ? O_RDWR : O_WRONLY) : O_RDONLY);
  struct stat st{};
  const bool existed = StatPath(host.path, st);
  switch (dwCreationDisposition) {
    case CREATE_NEW:
      flags |= O_CREAT | O_EXCL;
      break;
    case CREATE_ALWAYS:
      flags |= O_CREAT | O_TRUNC;
      break;
    case OPEN_EXISTING:
      break;
    case OPEN_ALWAYS:
      flags |= O_CREAT;
      break;
    case TRUNCATE_EXISTING:
      if (!wantWrite) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
      }
      flags |= O_TRUNC;
      break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return INVALID_HANDLE_VALUE;
  }
  if (existed && S_ISDIR(st.st_mode)) {
    if (!(dwFlagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS) || dwCreationDisposition == CREATE_NEW ||
        wantWrite) {
      SetLastError(existed && dwCreationDisposition == CREATE_NEW ? ERROR_FILE_EXISTS : ERROR_ACCESS_DENIED);
      return INVALID_HANDLE_VALUE;
    }
    flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
  }
  if (existed && wantWrite && !S_ISDIR(st.st_mode) && IsReadOnlyMode(st.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  mode_t mode = (dwFlagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
  int fd = open(host.path.c_str(), flags, mode);
  if (fd < 0) {
    SetLastError(errno == EEXIST ? ERROR_FILE_EXISTS : hw::ErrnoToWin32(errno, host.path));
    return INVALID_HANDLE_VALUE;
  }
  const bool deleteOnClose = dwFlagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE;
  HANDLE handle = hw::AllocHandle(std::make_shared<FileObject>(fd, host.path, deleteOnClose));
  const bool reportExisting =
      existed && (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS);
  SetLastError(reportExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

extern "C" BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                                LPDWORD lpNumberOfBytesRead, void *lpOverlapped) {
  if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
  auto file = FileOf(hFile);
  if (!file) return Fail(ERROR_INVALID_HANDLE);
  if (!lpBuffer || !lpNumberOfBytesRead || lpOverlapped) return Fail(ERROR_INVALID_PARAMETER);
  DWORD total = 0;
  auto *out = static_cast<char *>(lpBuffer);
  while (total < nNumberOfBytesToRead) {
    ssize_t n = read(file->fd(), out + total, nNumberOfBytesToRead - total);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *lpNumberOfBytesRead = total;
      return Fail(errno == EBADF ? ERROR_ACCESS_DENIED : hw::ErrnoToWin32(errno));
    }
    if (n == 0) break;
    total += static_cast<DWORD>(n);
  }
  *lpNumberOfBytesRead = total;
  return TRUE;
}

extern "C" BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                                 LPDWORD lpNumberOfBytesWritten, void *lpOverlapped) {
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
  auto file = FileOf(hFile);
  if (!file) return Fail(ERROR_INVALID_HANDLE);
  if ((!lpBuffer && nNumberOfBytesToWrite) || !lpNumberOfBytesWritten || lpOverlapped)
    return Fail(ERROR_INVALID_PARAMETER);
  DWORD total = 0;
  const auto *in = static_cast<const char *>(lpBuffer);
  while (total < nNumberOfBytesToWrite) {
    ssize_t n = write(file->fd(), in + total, nNumberOfBytesToWrite - total);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *lpNumberOfBytesWritten = total;
      return Fail(errno == EBADF ? ERROR_ACCESS_DENIED : hw::ErrnoToWin32(errno));
    }
    total += static_cast<DWORD>(n);
  }
  *lpNumberOfBytesWritten = total;
  return TRUE;
}

extern "C" BOOL WINAPI GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize) {
  auto file = FileOf(hFile);
  if (!file) return Fail(ERROR_INVALID_HANDLE);
  if (!lpFileSize) return Fail(ERROR_INVALID_PARAMETER);
  struct stat st{};
  if (fstat(file->fd(), &st) != 0) return Fail(hw::ErrnoToWin32(errno));
  lpFileSize->QuadPart = st.st_size;
  return TRUE;
}

extern "C" DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(hFile, &size)) return INVALID_FILE_SIZE;
  if (lpFileSizeHigh) *lpFileSizeHigh = static_cast<DWORD>(size.QuadPart >> 32);
  SetLastError(ERROR_SUCCESS);  // a size of 0xFFFFFFFF is told apart by the last error
  return static_cast<DWORD>(size.QuadPart & 0xFFFFFFFF);
}

extern "C" DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                                       DWORD dwMoveMethod) {
  auto file = FileOf(hFile);
  if (!file) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_SET_FILE_POINTER;
  }
  int64_t distance = lpDistanceToMoveHigh
                         ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*lpDistanceToMoveHigh)) << 32) |
                                                static_cast<uint32_t>(lDistanceToMove))
                         : lDistanceToMove;
  int whence = dwMoveMethod == FILE_BEGIN ? SEEK_SET : dwMoveMethod == FILE_CURRENT ? SEEK_CUR
             : dwMoveMethod == FILE_END   ? SEEK_END : -1;
  if (whence < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  off_t current = lseek(file->fd(), 0, SEEK_CUR);
  off_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? current : lseek(file->fd(), 0, SEEK_END);
  if (base + distance < 0) {
    lseek(file->fd(), current, SEEK_SET);
    SetLastError(ERROR_NEGATIVE_SEEK);
    return INVALID_SET_FILE_POINTER;
  }
  off_t position = lseek(file->fd(), base + distance, SEEK_SET);
  if (position < 0) {
    SetLastError(hw::ErrnoToWin32(errno));
    return INVALID_SET_FILE_POINTER;
  }
  if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = static_cast<LONG>(position >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(position & 0xFFFFFFFF);
}

extern "C" BOOL WINAPI SetEndOfFile(HANDLE hFile) {
  auto file = FileOf(hFile);
  if (!file) return Fail(ERROR_INVALID_HANDLE);
  off_t position = lseek(file->fd(), 0, SEEK_CUR);
  if (position < 0 || ftruncate(file->fd(), position) != 0) return Fail(hw::ErrnoToWin32(errno));
  return TRUE;
}

extern "C" BOOL WINAPI FlushFileBuffers(HANDLE hFile) {
  auto file = FileOf(hFile);
  if (!file) return Fail(ERROR_INVALID_HANDLE);
  if (fsync(file->fd()) != 0 && errno != EINVAL) return Fail(hw::ErrnoToWin32(errno));
  return TRUE;
}

extern "C" DWORD WINAPI GetFileAttributesW(LPCWSTR lpFileName) {
  hw::HostPath host = hw::ToHostPath(lpFileName);
  if (host.error) {
    SetLastError(host.error);
    return INVALID_FILE_ATTRIBUTES;
  }
  struct stat st{};
  if (!StatPath(host.path, st)) {
    SetLastError(hw::ErrnoToWin32(errno, host.path));
    return INVALID_FILE_ATTRIBUTES;
  }
  DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if (!S_ISDIR(st.st_mode) && IsReadOnlyMode(st.st_mode)) attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes;
}

extern "C" BOOL WINAPI CopyFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, BOOL bFailIfExists) {
  hw::HostPath source = hw::ToHostPath(lpExistingFileName);
  if (source.error) return Fail(source.error);
  hw::HostPath target = hw::ToHostPath(lpNewFileName);
  if (target.error) return Fail(target.error);
  struct stat from{}, to{};
  if (!StatPath(source.path, from)) return Fail(hw::ErrnoToWin32(errno, source.path));
  if (S_ISDIR(from.st_mode)) return Fail(ERROR_ACCESS_DENIED);
  if (StatPath(target.path, to)) {
    if (bFailIfExists) return Fail(ERROR_FILE_EXISTS);
    if (S_ISDIR(to.st_mode) || IsReadOnlyMode(to.st_mode)) return Fail(ERROR_ACCESS_DENIED);
    if (to.st_dev == from.st_dev && to.st_ino == from.st_ino) return Fail(ERROR_SHARING_VIOLATION);
  }
  DWORD error = CopyFileContents(source.path, target.path, bFailIfExists);
  if (error) return Fail(error);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

extern "C" BOOL WINAPI MoveFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName) {
  hw::HostPath source = hw::ToHostPath(lpExistingFileName);
  if (source.error) return Fail(source.error);
  hw::HostPath target = hw::ToHostPath(lpNewFileName);
  if (target.error) return Fail(target.error);
  struct stat from{}, to{};
  if (lstat(source.path.c_str(), &from) != 0) return Fail(hw::ErrnoToWin32(errno, source.path));
  if (lstat(target.path.c_str(), &to) == 0) {
    if (to.st_dev != from.st_dev || to.st_ino != from.st_ino) return Fail(ERROR_ALREADY_EXISTS);
    // The same file: only the spelling of its name may change.
    std::u16string full = hw::GetFullPath(hw::View(lpNewFileName)).path;
    std::string spelled = ParentOf(target.path) + "/" +
                          hw::Utf16ToUtf8(std::u16string_view(full).substr(full.find_last_of(u'\\') + 1));
    if (spelled != source.path && rename(source.path.c_str(), spelled.c_str()) != 0)
      return Fail(hw::ErrnoToWin32(errno, spelled));
    return TRUE;
  }
  if (renameat2(AT_FDCWD, source.path.c_str(), AT_FDCWD, target.path.c_str(), RENAME_NOREPLACE) == 0)
    return TRUE;
  if (errno == EXDEV && !S_ISDIR(from.st_mode)) {
    DWORD error = CopyFileContents(source.path, target.path, true);
    if (error) return Fail(error);
    unlink(source.path.c_str());
    return TRUE;
  }
  if (errno == EEXIST) return Fail(ERROR_ALREADY_EXISTS);
  return Fail(hw::ErrnoToWin32(errno, errno == ENOENT ? target.path : source.path));
}

extern "C" BOOL WINAPI DeleteFileW(LPCWSTR lpFileName) {
  hw::HostPath host = hw::ToHostPath(lpFileName);
  if (host.error) return Fail(host.error);
  struct stat st{};
  if (lstat(host.path.c_str(), &st) != 0) return Fail(hw::ErrnoToWin32(errno, host.path));
  if (S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && IsReadOnlyMode(st.st_mode)))
    return Fail(ERROR_ACCESS_DENIED);
  if (unlink(host.path.c_str()) != 0) return Fail(hw::ErrnoToWin32(errno, host.path));
  return TRUE;
}

extern "C" BOOL WINAPI CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
  hw::HostPath host = hw::ToHostPath(lpPathName);
  if (host.error) return Fail(host.error);
  if (mkdir(host.path.c_str(), 0777) != 0) return Fail(hw::ErrnoToWin32(errno == ENOENT ? ENOTDIR : errno));
  return TRUE;
}

extern "C" BOOL WINAPI RemoveDirectoryW(LPCWSTR lpPathName) {
  hw::HostPath host = hw::ToHostPath(lpPathName);
  if (host.error) return Fail(host.error);
  if (rmdir(host.path.c_str()) != 0) {
    return Fail(errno == ENOTDIR ? ERROR_DIRECTORY : hw::ErrnoToWin32(errno, host.path));
  }
  return TRUE;
}

extern "C" DWORD WINAPI GetTempPathW(DWORD nBufferLength, LPWSTR lpBuffer) {
  hw::Prefix();  // creates the folder on first use
  return CopyOutPath(hw::TempDirectory(), nBufferLength, lpBuffer);
}

extern "C" DWORD WINAPI GetLongPathNameW(LPCWSTR lpszShortPath, LPWSTR lpszLongPath, DWORD cchBuffer) {
  if (!lpszShortPath) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string path(hw::View(lpszShortPath));  // the buffers may overlap
  if (path.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return 0;
  }
  hw::HostPath host = hw::ToHostPath(path);
  if (host.error) {
    SetLastError(host.error);
    return 0;
  }
  struct stat st{};
  if (!StatPath(host.path, st)) {
    SetLastError(hw::ErrnoToWin32(errno, host.path));
    return 0;
  }
  // The host has no short names, so every existing path is already long.
  return CopyOutPath(path, cchBuffer, lpszLongPath);
}

extern "C" DWORD WINAPI GetFullPathNameW(LPCWSTR lpFileName, DWORD nBufferLength, LPWSTR lpBuffer,
                                         LPWSTR *lpFilePart) {
  if (lpFilePart) *lpFilePart = nullptr;
  if (!lpFileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  hw::FullPath full = hw::GetFullPath(hw::View(lpFileName));
  if (full.error) {
    SetLastError(full.error);
    return 0;
  }
  DWORD result = CopyOutPath(full.path, nBufferLength, lpBuffer);
  if (result < nBufferLength && lpFilePart && full.path.back() != u'\\')
    *lpFilePart = lpBuffer + full.path.find_last_of(u'\\') + 1;
  return result;
}

extern "C" DWORD WINAPI GetCurrentDirectoryW(DWORD nBufferLength, LPWSTR lpBuffer) {
  std::error_code ec;
  std::string cwd = std::filesystem::current_path(ec).string();
  return CopyOutPath(hw::ToWindowsPath(ec ? std::string("/") : cwd), nBufferLength, lpBuffer);
}

extern "C" UINT WINAPI GetWindowsDirectoryW(LPWSTR lpBuffer, UINT uSize) {
  return CopyOutPath(hw::WindowsDirectory(), uSize, lpBuffer);
}

extern "C" UINT WINAPI GetSystemDirectoryW(LPWSTR lpBuffer, UINT uSize) {
  return CopyOutPath(hw::SystemDirectory(), uSize, lpBuffer);
}
