// The trust service as the system uses it: both DLLs loaded by name, the
// verification state kept between VERIFY and CLOSE, the signer's and the
// countersigner's certificates and display names, the security warning for
// a failing file, and the answers to bad arguments.
#include "TrustFixtures.h"

#include "TestEnvironment.h"
#include "hw/text.h"

#include <gtest/gtest.h>

#include <stdlib.h>

namespace trusttest {
namespace {

using testsign::SignOptions;
using testsign::Timestamp;

// The functions the system takes with GetProcAddress, from modules loaded
// with LoadLibraryW.
struct TrustApi {
  HMODULE wintrust = LoadLibraryW(u"wintrust.dll");
  HMODULE crypt32 = LoadLibraryW(u"crypt32.dll");
  decltype(&::WinVerifyTrust) winVerifyTrust = Get<decltype(&::WinVerifyTrust)>(wintrust, "WinVerifyTrust");
  decltype(&::WTHelperProvDataFromStateData) provData =
      Get<decltype(&::WTHelperProvDataFromStateData)>(wintrust, "WTHelperProvDataFromStateData");
  decltype(&::WTHelperGetProvSignerFromChain) signerFromChain =
      Get<decltype(&::WTHelperGetProvSignerFromChain)>(wintrust, "WTHelperGetProvSignerFromChain");
  decltype(&::WTHelperGetProvCertFromChain) certFromChain =
      Get<decltype(&::WTHelperGetProvCertFromChain)>(wintrust, "WTHelperGetProvCertFromChain");
  decltype(&::CertDuplicateCertificateContext) duplicate =
      Get<decltype(&::CertDuplicateCertificateContext)>(crypt32, "CertDuplicateCertificateContext");
  decltype(&::CertFreeCertificateContext) free =
      Get<decltype(&::CertFreeCertificateContext)>(crypt32, "CertFreeCertificateContext");
  decltype(&::CertGetNameStringW) getName = Get<decltype(&::CertGetNameStringW)>(crypt32, "CertGetNameStringW");

  template <class F>
  static F Get(HMODULE module, const char *name) {
    return module ? reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(module, name))) : nullptr;
  }
  bool complete() const {
    return winVerifyTrust && provData && signerFromChain && certFromChain && duplicate && free && getName;
  }
  ~TrustApi() {
    if (wintrust) FreeLibrary(wintrust);
    if (crypt32) FreeLibrary(crypt32);
  }
};

struct Outcome {
  LONG result = 0;
  PCCERT_CONTEXT signer = nullptr;
  PCCERT_CONTEXT countersigner = nullptr;
  HANDLE stateAfterClose = nullptr;
};

// Verifies as the system's signature action does: keep the state, take the
// signer's and the countersigner's first certificates, close the state.
Outcome VerifyAndTakeSigners(TrustApi &api, const std::string &path) {
  Outcome outcome;
  std::u16string windowsPath = hw::Utf8ToUtf16(path);
  WINTRUST_FILE_INFO file{sizeof(WINTRUST_FILE_INFO), windowsPath.c_str(), nullptr, nullptr};
  WINTRUST_DATA data{};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NOGOOD;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  outcome.result = api.winVerifyTrust(nullptr, &action, &data);
  if (outcome.result >= 0) {
    CRYPT_PROVIDER_DATA *provider = api.provData(data.hWVTStateData);
    for (BOOL counter : {FALSE, TRUE}) {
      CRYPT_PROVIDER_SGNR *signer = api.signerFromChain(provider, 0, counter, 0);
      CRYPT_PROVIDER_CERT *cert = signer ? api.certFromChain(signer, 0) : nullptr;
      (counter ? outcome.countersigner : outcome.signer) = cert ? api.duplicate(cert->pCert) : nullptr;
    }
  }
  data.dwUIChoice = WTD_UI_NONE;
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  api.winVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  outcome.stateAfterClose = data.hWVTStateData;
  return outcome;
}

std::u16string DisplayName(TrustApi &api, PCCERT_CONTEXT cert) {
  DWORD length = api.getName(cert, CERT_NAME_FRIENDLY_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
  std::u16string name(length, u'\0');
  DWORD copied = api.getName(cert, CERT_NAME_FRIENDLY_DISPLAY_TYPE, 0, nullptr, name.data(), length);
  EXPECT_EQ(copied, length);
  name.resize(length ? length - 1 : 0);
  return name;
}


// One WinVerifyTrust call's structures, as the system fills them.
struct TrustCall {
  explicit TrustCall(const std::string &hostPath, DWORD stateAction = WTD_STATEACTION_VERIFY)
      : path(hw::Utf8ToUtf16(hostPath)) {
    file = WINTRUST_FILE_INFO{sizeof(WINTRUST_FILE_INFO), path.c_str(), nullptr, nullptr};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = stateAction;
  }
  TrustCall(const TrustCall &) = delete;
  LONG Run(HWND window = nullptr) { return WinVerifyTrust(window, &action, &data); }
  LONG Close() {
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    return WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  }

  std::u16string path;
  WINTRUST_FILE_INFO file{};
  WINTRUST_DATA data{};
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
};

TEST(TrustService, ModulesLoadByNameWithEveryFunction) {
  TrustApi api;
  ASSERT_NE(api.wintrust, nullptr);
  ASSERT_NE(api.crypt32, nullptr);
  EXPECT_TRUE(api.complete());
}

TEST(TrustService, SignerAndTimestampAuthorityNamesAfterVerify) {
  Fixtures &f = Fixtures::Get();
  TrustApi api;
  ASSERT_TRUE(api.complete());
  const std::u16string signerName = hw::Utf8ToUtf16(testsign::TestPki::kSignerName);
  const std::u16string authorityName = hw::Utf8ToUtf16(testsign::TestPki::kTimestampName);
  ASSERT_EQ(signerName, u"Pellomar \u00DCn\u00EFc\u00F8d\u00E9 Signer \u2713");

  struct Row {
    const char *name;
    std::string path;
    bool countersigned;
  };
  SignOptions rfc3161, legacy;
  rfc3161.timestamp = Timestamp::kRfc3161;
  legacy.timestamp = Timestamp::kLegacy;
  const Row rows[] = {
      {"PE, RFC 3161", f.Signed("rfc3161.exe", f.UnsignedPe(), f.pki().signer, rfc3161), true},
      {"PE, legacy", f.Signed("legacy.exe", f.UnsignedPe(), f.pki().signer, legacy), true},
      {"database, RFC 3161", f.Signed("rfc3161.msi", f.UnsignedDatabase(), f.pki().signer, rfc3161), true},
      {"database, legacy", f.Signed("legacy.msi", f.UnsignedDatabase(), f.pki().signer, legacy), true},
      {"PE, no timestamp", f.Signed("signed.exe", f.UnsignedPe(), f.pki().signer), false},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    Outcome outcome = VerifyAndTakeSigners(api, row.path);
    EXPECT_EQ(outcome.result, S_OK);
    EXPECT_EQ(outcome.stateAfterClose, nullptr);
    ASSERT_NE(outcome.signer, nullptr);
    // The duplicates outlive the closed state.
    EXPECT_EQ(DisplayName(api, outcome.signer), signerName);
    if (row.countersigned) {
      ASSERT_NE(outcome.countersigner, nullptr);
      EXPECT_EQ(DisplayName(api, outcome.countersigner), authorityName);
    } else {
      EXPECT_EQ(outcome.countersigner, nullptr);
    }
    api.free(outcome.signer);
    if (outcome.countersigner) api.free(outcome.countersigner);
  }
}

TEST(TrustService, StateHoldsTheChainUntilClosed) {
  Fixtures &f = Fixtures::Get();
  SignOptions rfc3161;
  rfc3161.timestamp = Timestamp::kRfc3161;
  TrustCall call(f.Signed("rfc3161.exe", f.UnsignedPe(), f.pki().signer, rfc3161));
  ASSERT_EQ(call.Run(), S_OK);
  HANDLE state = call.data.hWVTStateData;
  CRYPT_PROVIDER_DATA *provider = WTHelperProvDataFromStateData(state);
  ASSERT_NE(provider, nullptr);
  CRYPT_PROVIDER_SGNR *signer = WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0);
  ASSERT_NE(signer, nullptr);
  // Signer, intermediate CA, root; the timestamping authority and its root.
  ASSERT_EQ(signer->csCertChain, 3u);
  EXPECT_TRUE(signer->pasCertChain[2].fTrustedRoot);
  EXPECT_FALSE(signer->pasCertChain[0].fTrustedRoot);
  CRYPT_PROVIDER_SGNR *countersigner = WTHelperGetProvSignerFromChain(provider, 0, TRUE, 0);
  ASSERT_NE(countersigner, nullptr);
  EXPECT_EQ(countersigner->csCertChain, 2u);
  EXPECT_EQ(WTHelperGetProvCertFromChain(signer, 3), nullptr);
  EXPECT_EQ(WTHelperGetProvSignerFromChain(provider, 1, FALSE, 0), nullptr);
  EXPECT_EQ(WTHelperGetProvSignerFromChain(provider, 0, TRUE, 1), nullptr);

  EXPECT_EQ(call.Close(), S_OK);
  EXPECT_EQ(call.data.hWVTStateData, nullptr);
  EXPECT_EQ(WTHelperProvDataFromStateData(state), nullptr);
}

TEST(TrustService, StateOfAFailedVerificationHasNoSignerForAnUnsignedFile) {
  Fixtures &f = Fixtures::Get();
  TrustCall call(f.UnsignedPe());
  EXPECT_EQ(call.Run(), TRUST_E_NOSIGNATURE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(TRUST_E_NOSIGNATURE));
  ASSERT_NE(call.data.hWVTStateData, nullptr);
  CRYPT_PROVIDER_DATA *provider = WTHelperProvDataFromStateData(call.data.hWVTStateData);
  ASSERT_NE(provider, nullptr);
  EXPECT_EQ(WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0), nullptr);
  EXPECT_EQ(call.Close(), S_OK);
  EXPECT_EQ(call.data.hWVTStateData, nullptr);
}

TEST(TrustService, FileReadThroughAnOpenHandle) {
  Fixtures &f = Fixtures::Get();
  std::u16string path = hw::Utf8ToUtf16(f.Signed("signed.exe", f.UnsignedPe(), f.pki().signer));
  HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  TrustCall call("/no/such/name.exe", WTD_STATEACTION_IGNORE);  // the handle is read, not the path
  call.file.hFile = handle;
  EXPECT_EQ(call.Run(), S_OK);
  CloseHandle(handle);
}

TEST(TrustService, SecurityWarningRecordedOnlyForAFailureShownToAPerson) {
  Fixtures &f = Fixtures::Get();
  const std::string unsignedFile = f.UnsignedPe();
  const std::string signedFile = f.Signed("signed.exe", f.UnsignedPe(), f.pki().signer);
  const HWND desktop = nullptr, noUser = static_cast<HWND>(INVALID_HANDLE_VALUE);

  EXPECT_EQ(Verify(signedFile, WTD_UI_NOGOOD, desktop), S_OK);
  EXPECT_EQ(Verify(unsignedFile, WTD_UI_NONE, desktop), TRUST_E_NOSIGNATURE);
  EXPECT_EQ(Verify(unsignedFile, WTD_UI_NOGOOD, noUser), TRUST_E_NOSIGNATURE);
  EXPECT_TRUE(TranscriptLines().empty());

  EXPECT_EQ(Verify(unsignedFile, WTD_UI_NOGOOD, desktop), TRUST_E_NOSIGNATURE);
  std::vector<std::string> lines = TranscriptLines();
  ASSERT_EQ(lines.size(), 1u);
  const std::string &line = lines[0];
  EXPECT_EQ(line.rfind("{\"kind\":\"security-warning\",\"title\":\"Security Warning\",\"text\":\"", 0), 0u) << line;
  EXPECT_NE(line.find("unsigned.exe"), std::string::npos) << line;
  EXPECT_NE(line.find("No signature was present in the subject."), std::string::npos) << line;
  EXPECT_NE(line.find("\"answer\":\"OK\""), std::string::npos) << line;

  EXPECT_EQ(Verify(f.Path("missing.exe"), WTD_UI_NOGOOD, desktop), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  lines = TranscriptLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[1].find("The system cannot find the file specified."), std::string::npos) << lines[1];
}

TEST(TrustService, ArgumentsAndSubjectsItCannotVerify) {
  Fixtures &f = Fixtures::Get();
  const std::string text = f.Path("readme.txt");
  testenv::WriteFile(text, "not a signed file\n");
  const std::string empty = f.Path("empty.exe");
  testenv::WriteFile(empty, "");
  EXPECT_EQ(Verify(text), TRUST_E_SUBJECT_FORM_UNKNOWN);
  EXPECT_EQ(Verify(empty), TRUST_E_SUBJECT_FORM_UNKNOWN);
  EXPECT_EQ(Verify(f.Path("missing.exe")), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(Verify(f.Path("missing/folder/file.exe")), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(Verify(f.Path("")), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));  // a folder

  TrustCall call(f.UnsignedPe(), WTD_STATEACTION_IGNORE);
  GUID otherAction = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
  EXPECT_EQ(WinVerifyTrust(nullptr, &otherAction, &call.data), TRUST_E_PROVIDER_UNKNOWN);
  EXPECT_EQ(WinVerifyTrust(nullptr, &call.action, nullptr), E_INVALIDARG);
  call.data.dwUnionChoice = WTD_CHOICE_CATALOG;
  EXPECT_EQ(call.Run(), TRUST_E_SUBJECT_FORM_UNKNOWN);
  call.data.dwUnionChoice = WTD_CHOICE_FILE;
  call.file.pcwszFilePath = nullptr;
  EXPECT_EQ(call.Run(), E_INVALIDARG);
}

}  // namespace
}  // namespace trusttest
