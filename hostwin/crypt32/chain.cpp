// Certificate chains: built by OpenSSL to a trusted root at a given time,
// with the extended key usage checked by hand (OpenSSL has no code-signing
// purpose) and the outcome told in the platform's codes.
#include "hw/certs.h"

#include <openssl/err.h>
#include <openssl/x509v3.h>

namespace {

// Deep enough for any real chain, small enough that a signature carrying
// a crafted pile of certificates cannot keep the builder busy.
constexpr int kMaxChainDepth = 16;

HRESULT ResultOfVerifyError(int error) {
  switch (error) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
      return CERT_E_EXPIRED;
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_CERT_UNTRUSTED:
    case X509_V_ERR_CERT_REJECTED:
      return CERT_E_UNTRUSTEDROOT;
    case X509_V_ERR_CERT_SIGNATURE_FAILURE:
    case X509_V_ERR_UNABLE_TO_DECRYPT_CERT_SIGNATURE:
    case X509_V_ERR_UNABLE_TO_DECODE_ISSUER_PUBLIC_KEY:
      return TRUST_E_CERT_SIGNATURE;
    case X509_V_ERR_INVALID_CA:
      return TRUST_E_BASIC_CONSTRAINTS;
    case X509_V_ERR_PATH_LENGTH_EXCEEDED:
      return CERT_E_PATHLENCONST;
    case X509_V_ERR_INVALID_PURPOSE:
      return CERT_E_WRONG_USAGE;
    case X509_V_ERR_UNHANDLED_CRITICAL_EXTENSION:
      return CERT_E_CRITICAL;
    case X509_V_ERR_ERROR_IN_CERT_NOT_BEFORE_FIELD:
    case X509_V_ERR_ERROR_IN_CERT_NOT_AFTER_FIELD:
      return CERT_E_MALFORMED;
    default:
      // No issuer found, chain too long, and whatever else keeps a chain
      // from reaching a trusted root.
      return CERT_E_CHAINING;
  }
}

}  // namespace

namespace hw {

bool AllowsUsage(X509 *cert, const char *usage) {
  int critical = 0;
  auto *usages = static_cast<EXTENDED_KEY_USAGE *>(X509_get_ext_d2i(cert, NID_ext_key_usage, &critical, nullptr));
  if (!usages) {
    ERR_clear_error();
    return critical == -1;  // absent: any purpose; present but unreadable or repeated: none
  }
  ASN1_OBJECT *wanted = OBJ_txt2obj(usage, 1);
  bool found = false;
  for (int i = 0; wanted && i < sk_ASN1_OBJECT_num(usages) && !found; ++i) {
    found = OBJ_cmp(sk_ASN1_OBJECT_value(usages, i), wanted) == 0;
  }
  ASN1_OBJECT_free(wanted);
  EXTENDED_KEY_USAGE_free(usages);
  return found;
}

ChainResult VerifyCertificateChain(X509_STORE *roots, X509 *leaf, STACK_OF(X509) *untrusted, time_t at,
                                   const char *requiredUsage) {
  ChainResult result;
  X509_STORE_CTX *context = X509_STORE_CTX_new();
  if (!roots || !leaf || !context || !X509_STORE_CTX_init(context, roots, leaf, untrusted)) {
    X509_STORE_CTX_free(context);
    ERR_clear_error();
    result.result = TRUST_E_SYSTEM_ERROR;
    if (leaf) result.chain.push_back(ShareCertificate(leaf));
    return result;
  }
  X509_VERIFY_PARAM *param = X509_STORE_CTX_get0_param(context);
  X509_VERIFY_PARAM_set_time(param, at);
  X509_VERIFY_PARAM_set_depth(param, kMaxChainDepth);

  bool verified = X509_verify_cert(context) > 0;
  if (STACK_OF(X509) *chain = X509_STORE_CTX_get0_chain(context)) {
    for (int i = 0; i < sk_X509_num(chain); ++i) result.chain.push_back(ShareCertificate(sk_X509_value(chain, i)));
  }
  if (result.chain.empty()) result.chain.push_back(ShareCertificate(leaf));

  if (!verified) {
    result.result = ResultOfVerifyError(X509_STORE_CTX_get_error(context));
  } else {
    result.rootTrusted = true;
    result.result = S_OK;
    // The root's own usages are the store's business, as on the platform;
    // the signer's certificate is always checked, even when it is a root.
    for (size_t i = 0; i == 0 || i + 1 < result.chain.size(); ++i) {
      if (!AllowsUsage(result.chain[i].get(), requiredUsage)) {
        result.result = CERT_E_WRONG_USAGE;
        break;
      }
    }
  }
  X509_STORE_CTX_free(context);
  ERR_clear_error();
  return result;
}

}  // namespace hw
