// The bytes of a file under verification, read at offsets. The file is
// untrusted: every read is checked against its size by the caller, and a
// read that fails inside the file is an I/O error.
#pragma once

#include <windef.h>
#include <winerror.h>

#include <openssl/evp.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace hw::trust {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t Size() const = 0;
  // Reads exactly `size` bytes at `offset`; false when the range is not
  // inside the file or the read fails.
  virtual bool ReadAt(uint64_t offset, void *buffer, size_t size) = 0;

  bool Contains(uint64_t offset, uint64_t size) const { return offset <= Size() && size <= Size() - offset; }
};

// A file of the host, read with pread. `error` is the Win32 code when the
// file could not be opened.
class FileSource : public ByteSource {
 public:
  explicit FileSource(const std::string &hostPath);
  ~FileSource() override;
  FileSource(const FileSource &) = delete;
  FileSource &operator=(const FileSource &) = delete;
  DWORD error() const { return m_error; }
  uint64_t Size() const override { return m_size; }
  bool ReadAt(uint64_t offset, void *buffer, size_t size) override;

 private:
  int m_fd = -1;
  uint64_t m_size = 0;
  DWORD m_error = 0;
};

// A file open as a Windows handle, read with SetFilePointer and ReadFile.
class HandleSource : public ByteSource {
 public:
  explicit HandleSource(HANDLE file);
  DWORD error() const { return m_error; }
  uint64_t Size() const override { return m_size; }
  bool ReadAt(uint64_t offset, void *buffer, size_t size) override;

 private:
  HANDLE m_file;
  uint64_t m_size = 0;
  DWORD m_error = 0;
};

// Bytes in memory (the fuzz target, tests).
class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::span<const uint8_t> bytes) : m_bytes(bytes) {}
  uint64_t Size() const override { return m_bytes.size(); }
  bool ReadAt(uint64_t offset, void *buffer, size_t size) override;

 private:
  std::span<const uint8_t> m_bytes;
};

// Feeds byte ranges of a source to a digest through one fixed buffer, so
// that hashing takes the same memory whatever the file's size.
class RangeHasher {
 public:
  RangeHasher(ByteSource &source, EVP_MD_CTX *digest);
  // S_OK, TRUST_E_SUBJECT_FORM_UNKNOWN when the range is outside the file,
  // CRYPT_E_FILE_ERROR when a read fails.
  HRESULT Add(uint64_t offset, uint64_t size);
  HRESULT AddBytes(std::span<const uint8_t> bytes);

 private:
  ByteSource &m_source;
  EVP_MD_CTX *m_digest;
  std::vector<uint8_t> m_buffer;
};

}  // namespace hw::trust
