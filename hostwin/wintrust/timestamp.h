// Timestamps of an Authenticode signature: a legacy countersignature or an
// RFC 3161 token among the signer's unsigned attributes.
#pragma once

#include <winerror.h>

#include "hw/certs.h"

#include <openssl/pkcs7.h>

#include <ctime>
#include <vector>

namespace hw::trust {

struct TimestampResult {
  bool present = false;
  // S_OK, or TRUST_E_TIME_STAMP for a timestamp that is malformed, does not
  // match the signature, or whose signer does not chain to a trusted root
  // with the time-stamping usage at its own time.
  HRESULT result = S_OK;
  time_t time = 0;
  std::vector<X509Ptr> chain;  // the timestamping authority's certificate first
};

// Checks the first timestamp of `signer` against its signature value.
// `signatureCertificates` are the certificates of the outer signature,
// where a legacy countersigner's certificates live.
TimestampResult VerifyTimestamp(PKCS7_SIGNER_INFO *signer, STACK_OF(X509) *signatureCertificates, X509_STORE *roots);

}  // namespace hw::trust
