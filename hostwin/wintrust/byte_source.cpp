#include "hw/byte_source.h"

#include <winbase.h>

#include "hw/paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace hw::trust {
namespace {

// Big enough that system calls cost little next to hashing, small enough
// to be the same for every file.
constexpr size_t kHashBufferSize = 1 << 20;

}  // namespace

FileSource::FileSource(const std::string &hostPath) {
  m_fd = open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (m_fd < 0) {
    m_error = ErrnoToWin32(errno, hostPath);
    return;
  }
  struct stat st{};
  if (fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    m_error = S_ISDIR(st.st_mode) ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
    close(m_fd);
    m_fd = -1;
    return;
  }
  m_size = static_cast<uint64_t>(st.st_size);
  posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
}

FileSource::~FileSource() {
  if (m_fd >= 0) close(m_fd);
}

bool FileSource::ReadAt(uint64_t offset, void *buffer, size_t size) {
  if (m_fd < 0 || !Contains(offset, size)) return false;
  auto *out = static_cast<char *>(buffer);
  while (size > 0) {
    ssize_t n = pread(m_fd, out, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    out += n;
    offset += static_cast<uint64_t>(n);
    size -= static_cast<size_t>(n);
  }
  return true;
}

HandleSource::HandleSource(HANDLE file) : m_file(file) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size) || size.QuadPart < 0) {
    m_error = GetLastError() ? GetLastError() : ERROR_INVALID_HANDLE;
    return;
  }
  m_size = static_cast<uint64_t>(size.QuadPart);
}

bool HandleSource::ReadAt(uint64_t offset, void *buffer, size_t size) {
  if (m_error || !Contains(offset, size)) return false;
  LONG high = static_cast<LONG>(offset >> 32);
  if (SetFilePointer(m_file, static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
      GetLastError() != ERROR_SUCCESS)
    return false;
  auto *out = static_cast<char *>(buffer);
  while (size > 0) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
    DWORD read = 0;
    if (!ReadFile(m_file, out, chunk, &read, nullptr) || read == 0) return false;
    out += read;
    size -= read;
  }
  return true;
}

bool MemorySource::ReadAt(uint64_t offset, void *buffer, size_t size) {
  if (!Contains(offset, size)) return false;
  if (size) memcpy(buffer, m_bytes.data() + offset, size);
  return true;
}

RangeHasher::RangeHasher(ByteSource &source, EVP_MD_CTX *digest)
    : m_source(source),
      m_digest(digest),
      m_buffer(static_cast<size_t>(std::clamp<uint64_t>(source.Size(), 1, kHashBufferSize))) {}

HRESULT RangeHasher::Add(uint64_t offset, uint64_t size) {
  if (!m_source.Contains(offset, size)) return TRUST_E_SUBJECT_FORM_UNKNOWN;
  while (size > 0) {
    size_t chunk = static_cast<size_t>(std::min<uint64_t>(size, m_buffer.size()));
    if (!m_source.ReadAt(offset, m_buffer.data(), chunk)) return CRYPT_E_FILE_ERROR;
    if (!EVP_DigestUpdate(m_digest, m_buffer.data(), chunk)) return TRUST_E_SYSTEM_ERROR;
    offset += chunk;
    size -= chunk;
  }
  return S_OK;
}

HRESULT RangeHasher::AddBytes(std::span<const uint8_t> bytes) {
  return EVP_DigestUpdate(m_digest, bytes.data(), bytes.size()) ? S_OK : TRUST_E_SYSTEM_ERROR;
}

}  // namespace hw::trust
