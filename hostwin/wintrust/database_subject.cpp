// Installation databases (compound files): the signature in the root's
// \x05DigitalSignature stream, and the digest over the optional
// \x05MsiDigitalSignatureEx stream followed by the content of every storage
// in the signer's order.
#include "compound_file.h"
#include "subject.h"

#include <algorithm>
#include <cstring>

namespace hw::trust {
namespace {

// UTF-16LE names of the root's signature streams, without terminator.
template <size_t N>
constexpr std::array<uint8_t, 2 * (N - 1)> Utf16Le(const char (&text)[N]) {
  std::array<uint8_t, 2 * (N - 1)> bytes{};
  for (size_t i = 0; i + 1 < N; ++i) bytes[2 * i] = static_cast<uint8_t>(text[i]);
  return bytes;
}
constexpr auto kSignatureName = Utf16Le("\x05" "DigitalSignature");
constexpr auto kSignatureExName = Utf16Le("\x05" "MsiDigitalSignatureEx");

// The signer's order: the stored UTF-16LE bytes compared as bytes, the
// terminator included, so that a name sorts before any longer name it
// begins.
bool HashOrder(const DirectoryEntry &a, const DirectoryEntry &b) {
  const size_t common = std::min(a.nameLength, b.nameLength);
  int order = memcmp(a.name.data(), b.name.data(), common);
  return order != 0 ? order < 0 : a.nameLength < b.nameLength;
}

class DatabaseSubject : public Subject {
 public:
  explicit DatabaseSubject(std::unique_ptr<CompoundFile> file) : m_file(std::move(file)) {}

  HRESULT ReadSignature(std::vector<uint8_t> *pkcs7) override {
    int64_t id = m_file->FindChild(CompoundFile::kRootId, kSignatureName);
    if (id < 0) return TRUST_E_NOSIGNATURE;
    const DirectoryEntry &entry = m_file->Entry(static_cast<uint32_t>(id));
    if (!entry.IsStream() || entry.size == 0 || entry.size > kMaxSignatureSize) return TRUST_E_NOSIGNATURE;
    pkcs7->clear();
    pkcs7->reserve(entry.size);
    return m_file->ReadStream(entry, [pkcs7](std::span<const uint8_t> piece) {
      pkcs7->insert(pkcs7->end(), piece.begin(), piece.end());
      return S_OK;
    });
  }

  HRESULT Hash(EVP_MD_CTX *digest) override {
    CompoundFile::Sink sink = [digest](std::span<const uint8_t> piece) {
      return EVP_DigestUpdate(digest, piece.data(), piece.size()) ? S_OK : TRUST_E_SYSTEM_ERROR;
    };
    m_signatureId = m_file->FindChild(CompoundFile::kRootId, kSignatureName);
    m_signatureExId = m_file->FindChild(CompoundFile::kRootId, kSignatureExName);
    if (int64_t ex = m_signatureExId; ex >= 0) {
      // Prepended as stored: the signer computed it, and it is covered by
      // the signature through this digest.
      HRESULT hr = m_file->ReadStream(m_file->Entry(static_cast<uint32_t>(ex)), sink);
      if (FAILED(hr)) return hr;
    }
    return HashStorage(CompoundFile::kRootId, sink);
  }

 private:
  HRESULT HashStorage(uint32_t storage, const CompoundFile::Sink &sink) {
    std::vector<uint32_t> children = m_file->Children(storage);
    std::sort(children.begin(), children.end(),
              [this](uint32_t a, uint32_t b) { return HashOrder(m_file->Entry(a), m_file->Entry(b)); });
    for (uint32_t id : children) {
      const DirectoryEntry &entry = m_file->Entry(id);
      if (storage == CompoundFile::kRootId && (id == m_signatureId || id == m_signatureExId)) continue;
      HRESULT hr = entry.IsStream() ? m_file->ReadStream(entry, sink) : HashStorage(id, sink);
      if (FAILED(hr)) return hr;
    }
    const auto &clsid = m_file->Entry(storage).clsid;
    return sink(std::span<const uint8_t>(clsid.data(), clsid.size()));
  }

  std::unique_ptr<CompoundFile> m_file;
  int64_t m_signatureId = -1;    // excluded from the digest, at the root only
  int64_t m_signatureExId = -1;
};

}  // namespace

bool LooksLikeCompoundFile(ByteSource &source) { return CompoundFile::HasMagic(source); }

HRESULT OpenCompoundFileSubject(ByteSource &source, std::unique_ptr<Subject> *subject) {
  std::unique_ptr<CompoundFile> file;
  HRESULT hr = CompoundFile::Open(source, &file);
  if (FAILED(hr)) return hr;
  *subject = std::make_unique<DatabaseSubject>(std::move(file));
  return S_OK;
}

}  // namespace hw::trust
