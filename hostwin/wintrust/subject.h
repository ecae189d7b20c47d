// A signed file form: where its signature is and how its digest is taken.
#pragma once

#include "hw/byte_source.h"

#include <openssl/evp.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace hw::trust {

// Signatures are a few kilobytes; anything beyond this is not one.
inline constexpr size_t kMaxSignatureSize = 16u << 20;

class Subject {
 public:
  virtual ~Subject() = default;
  // The PKCS#7 signature the file carries: TRUST_E_NOSIGNATURE when there
  // is none (or none that can be read).
  virtual HRESULT ReadSignature(std::vector<uint8_t> *pkcs7) = 0;
  // Feeds the signed content of the file to `digest`.
  virtual HRESULT Hash(EVP_MD_CTX *digest) = 0;
};

// The subject of a file chosen by content: a PE image ("MZ") or a compound
// file (an installation database). TRUST_E_SUBJECT_FORM_UNKNOWN for any
// other content and for headers that cannot be read; CRYPT_E_FILE_ERROR for
// a failed read.
HRESULT OpenSubject(ByteSource &source, std::unique_ptr<Subject> *subject);

// The forms, for OpenSubject.
bool LooksLikePe(ByteSource &source);
bool LooksLikeCompoundFile(ByteSource &source);
HRESULT OpenPeSubject(ByteSource &source, std::unique_ptr<Subject> *subject);
HRESULT OpenCompoundFileSubject(ByteSource &source, std::unique_ptr<Subject> *subject);

}  // namespace hw::trust
