// Small helpers over OpenSSL for the signature checks: owners of its
// objects, the digest algorithms accepted, times.
#pragma once

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/evp.h>
#include <openssl/pkcs7.h>
#include <openssl/ts.h>
#include <openssl/x509.h>

#include <ctime>
#include <memory>
#include <span>

namespace hw::trust {

template <class T, void (*Free)(T *)>
struct OpenSslDeleter {
  void operator()(T *object) const { Free(object); }
};
template <class T, void (*Free)(T *)>
using OpenSslPtr = std::unique_ptr<T, OpenSslDeleter<T, Free>>;

using Pkcs7Ptr = OpenSslPtr<PKCS7, PKCS7_free>;
using SignerInfoPtr = OpenSslPtr<PKCS7_SIGNER_INFO, PKCS7_SIGNER_INFO_free>;
using CmsPtr = OpenSslPtr<CMS_ContentInfo, CMS_ContentInfo_free>;
using TstInfoPtr = OpenSslPtr<TS_TST_INFO, TS_TST_INFO_free>;
using BioPtr = OpenSslPtr<BIO, BIO_free_all>;
using DigestContextPtr = OpenSslPtr<EVP_MD_CTX, EVP_MD_CTX_free>;
using X509SigPtr = OpenSslPtr<X509_SIG, X509_SIG_free>;

inline void FreeCertificateStack(STACK_OF(X509) *certs) { sk_X509_pop_free(certs, X509_free); }
using CertificateStackPtr = OpenSslPtr<STACK_OF(X509), FreeCertificateStack>;

// SHA-1, SHA-256, SHA-384 or SHA-512 named by `algorithm`; null for any
// other algorithm (MD5 included: it no longer proves anything).
const EVP_MD *AllowedDigest(const ASN1_OBJECT *algorithm);

// True when the digest of `data` with `md` equals `expected`.
bool DigestMatches(const EVP_MD *md, std::span<const unsigned char> data, std::span<const unsigned char> expected);

std::span<const unsigned char> Bytes(const ASN1_STRING *text);

// A PKCS#7 signer's proof over `content`: its messageDigest attribute is
// the digest of `content` with `md`, and its signature, checked with
// `cert`'s key, covers the DER of its authenticated attributes.
bool SignerInfoVerifies(PKCS7_SIGNER_INFO *signer, X509 *cert, const EVP_MD *md,
                        std::span<const unsigned char> content);

// An ASN.1 UTCTime or GeneralizedTime as seconds since 1970.
bool ToTime(const ASN1_TIME *when, time_t *seconds);

}  // namespace hw::trust
