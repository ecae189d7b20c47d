// The trust verification service (wintrust.dll): WinVerifyTrust with the
// file subject, and the helpers that read the signers of a verification kept
// open with WTD_STATEACTION_VERIFY.
#pragma once

#include <windef.h>
#include <guiddef.h>
#include <wincrypt.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct WINTRUST_FILE_INFO_ {
  DWORD cbStruct;
  LPCWSTR pcwszFilePath;
  HANDLE hFile;  // optional: read instead of opening the path
  GUID *pgKnownSubject;
} WINTRUST_FILE_INFO, *PWINTRUST_FILE_INFO;

struct WINTRUST_CATALOG_INFO_;
struct WINTRUST_BLOB_INFO_;
struct WINTRUST_SGNR_INFO_;
struct WINTRUST_CERT_INFO_;

typedef struct _WINTRUST_DATA {
  DWORD cbStruct;
  LPVOID pPolicyCallbackData;
  LPVOID pSIPClientData;
  DWORD dwUIChoice;
  DWORD fdwRevocationChecks;
  DWORD dwUnionChoice;
  union {
    struct WINTRUST_FILE_INFO_ *pFile;
    struct WINTRUST_CATALOG_INFO_ *pCatalog;
    struct WINTRUST_BLOB_INFO_ *pBlob;
    struct WINTRUST_SGNR_INFO_ *pSgnr;
    struct WINTRUST_CERT_INFO_ *pCert;
  };
  DWORD dwStateAction;
  HANDLE hWVTStateData;
  WCHAR *pwszURLReference;
  DWORD dwProvFlags;
  DWORD dwUIContext;
} WINTRUST_DATA, *PWINTRUST_DATA;

// dwUIChoice
#define WTD_UI_ALL 1
#define WTD_UI_NONE 2
#define WTD_UI_NOBAD 3
#define WTD_UI_NOGOOD 4
// fdwRevocationChecks
#define WTD_REVOKE_NONE 0x00000000
#define WTD_REVOKE_WHOLECHAIN 0x00000001
// dwUnionChoice
#define WTD_CHOICE_FILE 1
#define WTD_CHOICE_CATALOG 2
#define WTD_CHOICE_BLOB 3
#define WTD_CHOICE_SIGNER 4
#define WTD_CHOICE_CERT 5
// dwStateAction
#define WTD_STATEACTION_IGNORE 0x00000000
#define WTD_STATEACTION_VERIFY 0x00000001
#define WTD_STATEACTION_CLOSE 0x00000002
#define WTD_STATEACTION_AUTO_CACHE 0x00000003
#define WTD_STATEACTION_AUTO_CACHE_FLUSH 0x00000004
// dwUIContext
#define WTD_UICONTEXT_EXECUTE 0
#define WTD_UICONTEXT_INSTALL 1

// What a kept verification holds: its signers, each with its certificate
// chain (signer's certificate first) and its countersigners.
struct _CMSG_SIGNER_INFO;  // not filled by hostwin: psSigner is null

typedef struct _CRYPT_PROVIDER_CERT {
  DWORD cbStruct;
  PCCERT_CONTEXT pCert;
  BOOL fCommercial;
  BOOL fTrustedRoot;
  BOOL fSelfSigned;
  BOOL fTestCert;
  DWORD dwRevokedReason;
  DWORD dwConfidence;
  DWORD dwError;
} CRYPT_PROVIDER_CERT, *PCRYPT_PROVIDER_CERT;

typedef struct _CRYPT_PROVIDER_SGNR {
  DWORD cbStruct;
  FILETIME sftVerifyAsOf;  // the time the chain was checked at
  DWORD csCertChain;
  CRYPT_PROVIDER_CERT *pasCertChain;
  DWORD dwSignerType;
  struct _CMSG_SIGNER_INFO *psSigner;
  DWORD dwError;
  DWORD csCounterSigners;
  struct _CRYPT_PROVIDER_SGNR *pasCounterSigners;
} CRYPT_PROVIDER_SGNR, *PCRYPT_PROVIDER_SGNR;

typedef struct _CRYPT_PROVIDER_DATA {
  DWORD cbStruct;
  WINTRUST_DATA *pWintrustData;
  BOOL fOpenedFile;
  HWND hWndParent;
  GUID *pgActionID;
  ULONG_PTR hProv;
  DWORD dwError;
  DWORD dwRegSecuritySettings;
  DWORD dwRegPolicySettings;
  void *psPfns;
  DWORD cdwTrustStepErrors;
  DWORD *padwTrustStepErrors;
  DWORD chStores;
  HCERTSTORE *pahStores;
  DWORD dwEncoding;
  void *hMsg;
  DWORD csSigners;
  CRYPT_PROVIDER_SGNR *pasSigners;
} CRYPT_PROVIDER_DATA, *PCRYPT_PROVIDER_DATA;

LONG WINAPI WinVerifyTrust(HWND hwnd, GUID *pgActionID, LPVOID pWVTData);
CRYPT_PROVIDER_DATA *WINAPI WTHelperProvDataFromStateData(HANDLE hStateData);
CRYPT_PROVIDER_SGNR *WINAPI WTHelperGetProvSignerFromChain(CRYPT_PROVIDER_DATA *pProvData, DWORD idxSigner,
                                                           BOOL fCounterSigner, DWORD idxCounterSigner);
CRYPT_PROVIDER_CERT *WINAPI WTHelperGetProvCertFromChain(CRYPT_PROVIDER_SGNR *pSgnr, DWORD idxCert);

#ifdef __cplusplus
}
#endif
