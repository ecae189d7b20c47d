// PE images: the signature in the attribute certificate table, and the
// image digest (the whole file but the CheckSum field, the certificate
// table's directory entry and the certificate table itself).
#include "subject.h"

#include "hw/byte_order.h"

#include <cstring>

namespace hw::trust {
namespace {

constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kSecurityDirectory = 4;
constexpr uint16_t kWinCertRevision1 = 0x0100;
constexpr uint16_t kWinCertRevision2 = 0x0200;
constexpr uint16_t kWinCertTypePkcsSignedData = 0x0002;
// Real images carry one or two entries; a crafted table of tiny entries
// is not walked to its end.
constexpr int kMaxCertificateEntries = 64;

struct PeLayout {
  uint64_t checksumOffset = 0;
  bool hasSecurityEntry = false;
  uint64_t securityEntryOffset = 0;
  uint32_t certTableOffset = 0;
  uint32_t certTableSize = 0;
};

HRESULT ReadExactly(ByteSource &source, uint64_t offset, void *buffer, size_t size) {
  if (!source.Contains(offset, size)) return TRUST_E_SUBJECT_FORM_UNKNOWN;
  return source.ReadAt(offset, buffer, size) ? S_OK : CRYPT_E_FILE_ERROR;
}

HRESULT ReadLayout(ByteSource &source, PeLayout *layout) {
  uint8_t dos[64];
  HRESULT hr = ReadExactly(source, 0, dos, sizeof dos);
  if (FAILED(hr)) return hr;
  if (dos[0] != 'M' || dos[1] != 'Z') return TRUST_E_SUBJECT_FORM_UNKNOWN;
  const uint64_t peOffset = Le32(dos + 0x3C);

  uint8_t headers[24];  // signature and file header
  if (FAILED(hr = ReadExactly(source, peOffset, headers, sizeof headers))) return hr;
  if (memcmp(headers, "PE\0\0", 4) != 0) return TRUST_E_SUBJECT_FORM_UNKNOWN;
  const uint32_t optionalHeaderSize = Le16(headers + 20);
  const uint64_t optional = peOffset + sizeof headers;

  uint8_t magic[2];
  if (FAILED(hr = ReadExactly(source, optional, magic, sizeof magic))) return hr;
  uint32_t rvaCountOffset;
  if (Le16(magic) == kPe32Magic) {
    rvaCountOffset = 92;
  } else if (Le16(magic) == kPe32PlusMagic) {
    rvaCountOffset = 108;
  } else {
    return TRUST_E_SUBJECT_FORM_UNKNOWN;
  }
  if (optionalHeaderSize < rvaCountOffset + 4) return TRUST_E_SUBJECT_FORM_UNKNOWN;
  uint8_t rvaCount[4];
  if (FAILED(hr = ReadExactly(source, optional + rvaCountOffset, rvaCount, sizeof rvaCount))) return hr;
  layout->checksumOffset = optional + 64;

  const uint32_t entryOffset = rvaCountOffset + 4 + kSecurityDirectory * 8;
  layout->hasSecurityEntry = Le32(rvaCount) > kSecurityDirectory && optionalHeaderSize >= entryOffset + 8;
  if (!layout->hasSecurityEntry) return S_OK;
  layout->securityEntryOffset = optional + entryOffset;
  uint8_t entry[8];
  if (FAILED(hr = ReadExactly(source, layout->securityEntryOffset, entry, sizeof entry))) return hr;
  layout->certTableOffset = Le32(entry);  // a file offset, not an RVA
  layout->certTableSize = Le32(entry + 4);
  return S_OK;
}

class PeSubject : public Subject {
 public:
  PeSubject(ByteSource &source, const PeLayout &layout) : m_source(source), m_layout(layout) {}

  HRESULT ReadSignature(std::vector<uint8_t> *pkcs7) override {
    if (!HasPlausibleCertificateTable()) return TRUST_E_NOSIGNATURE;
    uint64_t position = m_layout.certTableOffset;
    const uint64_t end = position + m_layout.certTableSize;
    for (int entries = 0; entries < kMaxCertificateEntries && end - position >= 8; ++entries) {
      uint8_t header[8];
      if (!m_source.ReadAt(position, header, sizeof header)) return CRYPT_E_FILE_ERROR;
      const uint32_t length = Le32(header);
      const uint16_t revision = Le16(header + 4);
      const uint16_t type = Le16(header + 6);
      if (length < sizeof header || length > end - position) return TRUST_E_NOSIGNATURE;
      if (type == kWinCertTypePkcsSignedData && (revision == kWinCertRevision2 || revision == kWinCertRevision1)) {
        const size_t size = length - sizeof header;
        if (size == 0 || size > kMaxSignatureSize) return TRUST_E_NOSIGNATURE;
        pkcs7->resize(size);
        return m_source.ReadAt(position + sizeof header, pkcs7->data(), size) ? S_OK : CRYPT_E_FILE_ERROR;
      }
      position += (static_cast<uint64_t>(length) + 7) & ~uint64_t{7};
      if (position >= end) break;
    }
    return TRUST_E_NOSIGNATURE;
  }

  HRESULT Hash(EVP_MD_CTX *digest) override {
    const uint64_t size = m_source.Size();
    uint64_t tableStart = size, tableEnd = size;
    if (m_layout.hasSecurityEntry && (m_layout.certTableOffset || m_layout.certTableSize)) {
      if (!HasPlausibleCertificateTable()) return TRUST_E_NOSIGNATURE;
      tableStart = m_layout.certTableOffset;
      tableEnd = tableStart + m_layout.certTableSize;
    }
    RangeHasher hasher(m_source, digest);
    const uint64_t afterChecksum = m_layout.checksumOffset + 4;
    HRESULT hr = hasher.Add(0, m_layout.checksumOffset);
    if (FAILED(hr) || !m_layout.hasSecurityEntry) return FAILED(hr) ? hr : hasher.Add(afterChecksum, size - afterChecksum);
    const uint64_t afterEntry = m_layout.securityEntryOffset + 8;
    if (FAILED(hr = hasher.Add(afterChecksum, m_layout.securityEntryOffset - afterChecksum))) return hr;
    if (FAILED(hr = hasher.Add(afterEntry, tableStart - afterEntry))) return hr;
    return hasher.Add(tableEnd, size - tableEnd);
  }

 private:
  // The table must lie inside the file, after the headers it is excluded
  // from, and hold at least one entry header.
  bool HasPlausibleCertificateTable() const {
    return m_layout.hasSecurityEntry && m_layout.certTableSize >= 8 &&
           m_layout.certTableOffset >= m_layout.securityEntryOffset + 8 &&
           m_source.Contains(m_layout.certTableOffset, m_layout.certTableSize);
  }

  ByteSource &m_source;
  PeLayout m_layout;
};

}  // namespace

bool LooksLikePe(ByteSource &source) {
  uint8_t magic[2];
  return source.Contains(0, 2) && source.ReadAt(0, magic, 2) && magic[0] == 'M' && magic[1] == 'Z';
}

HRESULT OpenPeSubject(ByteSource &source, std::unique_ptr<Subject> *subject) {
  PeLayout layout;
  HRESULT hr = ReadLayout(source, &layout);
  if (FAILED(hr)) return hr;
  *subject = std::make_unique<PeSubject>(source, layout);
  return S_OK;
}

}  // namespace hw::trust
