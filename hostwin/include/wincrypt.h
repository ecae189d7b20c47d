// Certificate contexts and certificate names (crypt32.dll), the part the
// system uses: a context handed out by the trust service, duplicated, named
// and freed.
#pragma once

#include <windef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void *HCERTSTORE;

// The decoded form of a certificate. Contexts made by hostwin do not fill it
// (pCertInfo is null); the encoded certificate is always there.
typedef struct _CERT_INFO CERT_INFO, *PCERT_INFO;

typedef struct _CERT_CONTEXT {
  DWORD dwCertEncodingType;
  BYTE *pbCertEncoded;
  DWORD cbCertEncoded;
  PCERT_INFO pCertInfo;
  HCERTSTORE hCertStore;
} CERT_CONTEXT, *PCERT_CONTEXT;
typedef const CERT_CONTEXT *PCCERT_CONTEXT;

#define X509_ASN_ENCODING 0x00000001
#define PKCS_7_ASN_ENCODING 0x00010000

// CertGetNameStringW: dwType.
#define CERT_NAME_EMAIL_TYPE 1
#define CERT_NAME_RDN_TYPE 2
#define CERT_NAME_ATTR_TYPE 3
#define CERT_NAME_SIMPLE_DISPLAY_TYPE 4
#define CERT_NAME_FRIENDLY_DISPLAY_TYPE 5
#define CERT_NAME_DNS_TYPE 6
#define CERT_NAME_URL_TYPE 7
#define CERT_NAME_UPN_TYPE 8
// CertGetNameStringW: dwFlags.
#define CERT_NAME_ISSUER_FLAG 0x1

PCCERT_CONTEXT WINAPI CertDuplicateCertificateContext(PCCERT_CONTEXT pCertContext);
BOOL WINAPI CertFreeCertificateContext(PCCERT_CONTEXT pCertContext);
DWORD WINAPI CertGetNameStringW(PCCERT_CONTEXT pCertContext, DWORD dwType, DWORD dwFlags, void *pvTypePara,
                                LPWSTR pszNameString, DWORD cchNameString);
#define CertGetNameString CertGetNameStringW

#ifdef __cplusplus
}
#endif
