// crypt32's internal API for the other modules (the trust service): turning
// OpenSSL certificates into certificate contexts, the trusted roots, and
// chain building at a given time.
#pragma once

#include <wincrypt.h>
#include <winerror.h>

#include <openssl/x509.h>

#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace hw {

struct X509Deleter {
  void operator()(X509 *cert) const { X509_free(cert); }
};
using X509Ptr = std::unique_ptr<X509, X509Deleter>;

struct X509StoreDeleter {
  void operator()(X509_STORE *store) const { X509_STORE_free(store); }
};
using X509StorePtr = std::unique_ptr<X509_STORE, X509StoreDeleter>;

// Another reference to the same certificate.
X509Ptr ShareCertificate(X509 *cert);

// A new certificate context for `cert` with a reference count of one; the
// context keeps its own reference to the certificate. Null when the
// certificate cannot be encoded.
PCCERT_CONTEXT NewCertificateContext(X509 *cert);
// The certificate behind a context made by NewCertificateContext (borrowed),
// null for anything else.
X509 *CertificateOfContext(PCCERT_CONTEXT context);

// The folder of PEM files that holds the prefix's own trusted roots (a host
// path; it need not exist).
std::string PrefixRootStoreDir();
// The trusted roots: the system's CA bundle (HOSTWIN_SYSTEM_ROOTS: a file or
// folder, "none" for no system roots, unset for OpenSSL's default bundle),
// the prefix's own store and HOSTWIN_TRUSTED_ROOTS (PEM files or folders,
// separated by ':'). Read afresh at each call.
X509StorePtr LoadTrustedRoots();

// Extended key usages checked along a chain.
inline constexpr const char *kCodeSigningUsage = "1.3.6.1.5.5.7.3.3";
inline constexpr const char *kTimeStampingUsage = "1.3.6.1.5.5.7.3.8";

struct ChainResult {
  HRESULT result = E_FAIL;
  // Signer's certificate first, then its issuers up to the root. On failure,
  // as much as could be built (at least the signer's certificate).
  std::vector<X509Ptr> chain;
  bool rootTrusted = false;
};

// Builds and checks the chain of `leaf` to one of `roots` as it stood at
// `at`, with `untrusted` as the candidate intermediates. Every certificate
// below the root that names extended key usages must name `requiredUsage`.
// The result is S_OK or the code the platform gives (CERT_E_EXPIRED,
// CERT_E_UNTRUSTEDROOT, CERT_E_CHAINING, CERT_E_WRONG_USAGE,
// TRUST_E_CERT_SIGNATURE, ...). No revocation checks.
ChainResult VerifyCertificateChain(X509_STORE *roots, X509 *leaf, STACK_OF(X509) *untrusted, time_t at,
                                   const char *requiredUsage);

// True when the certificate names `usage` among its extended key usages, or
// names none (any purpose).
bool AllowsUsage(X509 *cert, const char *usage);

// The simple display name: the subject's (or issuer's) first common name,
// else organizational unit, else organization, else e-mail address; else an
// e-mail address from the alternative name; else the first attribute.
std::u16string SimpleDisplayName(X509 *cert, bool issuer);

}  // namespace hw
