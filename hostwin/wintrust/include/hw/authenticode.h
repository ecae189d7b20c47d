// wintrust's internal API: Authenticode verification of a PE image or an
// installation database, for WinVerifyTrust and for the fuzz target and
// benchmarks that drive the verifier without a file on disk.
#pragma once

#include <windef.h>
#include <winerror.h>

#include "hw/byte_source.h"
#include "hw/certs.h"

#include <openssl/evp.h>

#include <ctime>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace hw::trust {

struct SignerChain {
  std::vector<X509Ptr> chain;  // the signer's certificate first
  time_t verifiedAt = 0;       // the time the chain was checked at
  HRESULT error = S_OK;
};

struct Verdict {
  HRESULT result = E_FAIL;
  // The signer, once its certificate was found in the signature.
  std::optional<SignerChain> signer;
  // The timestamp's signer (the timestamping authority), when there is a
  // timestamp.
  std::optional<SignerChain> countersigner;
};

// Compares the file's digest, taken with `md`, with the signed one:
// S_OK, TRUST_E_BAD_DIGEST, or the failure met while reading the file.
using DigestCheck = std::function<HRESULT(const EVP_MD *md, std::span<const uint8_t> signedDigest)>;

// Checks an Authenticode signature (PKCS#7 SignedData over an
// SpcIndirectDataContent): its form, digest algorithms, signer signature,
// the file digest through `digestCheck`, a timestamp of either form, and
// the signer's chain to `roots` with the code-signing usage, at the
// timestamp's time when there is a valid one, else at `now`.
Verdict VerifySignature(std::span<const uint8_t> pkcs7, const DigestCheck &digestCheck, X509_STORE *roots,
                        time_t now);

// Verifies a PE image or installation database, chosen by content.
Verdict VerifyFile(ByteSource &file, X509_STORE *roots, time_t now);

// The digest of a PE image or installation database as its signer takes
// it (the file need not be signed).
HRESULT ComputeFileDigest(ByteSource &file, const EVP_MD *md, std::vector<uint8_t> *digest);

}  // namespace hw::trust
