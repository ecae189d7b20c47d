// Certificate contexts: a CERT_CONTEXT over an OpenSSL certificate, shared by
// reference count as the platform shares them (a duplicate is the same
// pointer).
#include <wincrypt.h>

#include "hw/certs.h"

#include <openssl/crypto.h>

#include <atomic>
#include <cstddef>
#include <new>

namespace {

constexpr DWORD kContextMagic = 0x43545843;  // "CXTC"

// The CERT_CONTEXT comes first, so a PCCERT_CONTEXT that hostwin handed out
// is the address of its HostCertContext.
struct HostCertContext {
  CERT_CONTEXT context;
  DWORD magic;
  std::atomic<long> refs;
  X509 *cert;
};
static_assert(offsetof(HostCertContext, context) == 0);

HostCertContext *HostContextOf(PCCERT_CONTEXT context) {
  if (!context) return nullptr;
  auto *host = reinterpret_cast<HostCertContext *>(const_cast<CERT_CONTEXT *>(context));
  return host->magic == kContextMagic ? host : nullptr;
}

}  // namespace

namespace hw {

X509Ptr ShareCertificate(X509 *cert) {
  if (cert) X509_up_ref(cert);
  return X509Ptr(cert);
}

PCCERT_CONTEXT NewCertificateContext(X509 *cert) {
  if (!cert) return nullptr;
  unsigned char *encoded = nullptr;
  int length = i2d_X509(cert, &encoded);
  if (length <= 0) return nullptr;
  auto *host = new (std::nothrow) HostCertContext{};
  if (!host) {
    OPENSSL_free(encoded);
    return nullptr;
  }
  X509_up_ref(cert);
  host->context.dwCertEncodingType = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
  host->context.pbCertEncoded = encoded;
  host->context.cbCertEncoded = static_cast<DWORD>(length);
  host->magic = kContextMagic;
  host->refs = 1;
  host->cert = cert;
  return &host->context;
}

X509 *CertificateOfContext(PCCERT_CONTEXT context) {
  HostCertContext *host = HostContextOf(context);
  return host ? host->cert : nullptr;
}

}  // namespace hw

extern "C" PCCERT_CONTEXT WINAPI CertDuplicateCertificateContext(PCCERT_CONTEXT pCertContext) {
  if (HostCertContext *host = HostContextOf(pCertContext)) host->refs.fetch_add(1);
  return pCertContext;
}

extern "C" BOOL WINAPI CertFreeCertificateContext(PCCERT_CONTEXT pCertContext) {
  HostCertContext *host = HostContextOf(pCertContext);
  if (!host || host->refs.fetch_sub(1) != 1) return TRUE;
  host->magic = 0;
  OPENSSL_free(host->context.pbCertEncoded);
  X509_free(host->cert);
  delete host;
  return TRUE;
}
