#include "TrustFixtures.h"

#include "PeWriter.h"
#include "TestEnvironment.h"
#include "hw/text.h"

#include <openssl/cms.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include <gtest/gtest.h>

#include <stdlib.h>

#include <sstream>

namespace trusttest {

Fixtures &Fixtures::Get() {
  static Fixtures *fixtures = new Fixtures;
  return *fixtures;
}

Fixtures::Fixtures() : m_folder(testenv::MakeTempDir("trust")), m_pki(m_folder + "/pki") {
  setenv("HOSTWIN_TRUSTED_ROOTS", m_pki.trustedRootsPath.c_str(), 1);
}

std::string Fixtures::UnsignedPe(bool pe32Plus) {
  std::string path = Path(pe32Plus ? "unsigned64.exe" : "unsigned.exe");
  if (!testenv::FileExists(path)) {
    testsign::PeOptions options;
    options.codeSize = 6000;
    options.pe32Plus = pe32Plus;
    EXPECT_TRUE(testsign::WritePe(path, options));
  }
  return path;
}

std::string Fixtures::UnsignedDatabase() {
  std::string path = Path("unsigned.msi");
  if (!testenv::FileExists(path)) {
    std::string log;
    EXPECT_TRUE(testsign::WriteDatabase(path, kTitleMarker, kPayloadMarker, 20000, &log)) << log;
  }
  return path;
}

std::string Fixtures::Signed(const std::string &name, const std::string &input, const testsign::Identity &signer,
                             const testsign::SignOptions &options) {
  std::string path = Path(name);
  if (!testenv::FileExists(path)) {
    std::string log;
    EXPECT_TRUE(testsign::Sign(m_pki, signer, input, path, options, &log)) << name << ": " << log;
  }
  return path;
}

std::string Fixtures::Edited(const std::string &name, const std::string &path,
                             const std::function<void(const std::string &)> &edit) {
  std::string edited = Path(name);
  if (!testenv::FileExists(edited)) {
    EXPECT_TRUE(testsign::CopyFile(path, edited));
    edit(edited);
  }
  return edited;
}

LONG Verify(const std::string &path, DWORD uiChoice, HWND window) {
  std::u16string windowsPath = hw::Utf8ToUtf16(path);  // a rooted host path is on Z:
  WINTRUST_FILE_INFO file{};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = windowsPath.c_str();
  WINTRUST_DATA data{};
  data.cbStruct = sizeof data;
  data.dwUIChoice = uiChoice;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_IGNORE;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  return WinVerifyTrust(window, &action, &data);
}

std::string ExtractSignature(const std::string &path) {
  std::string out = path + ".p7";
  unlink(out.c_str());
  testenv::RunProgram({testsign::FindProgram("osslsigncode"), "extract-signature", "-in", path, "-out", out});
  return testenv::ReadFile(out);
}

namespace {

PKCS7_SIGNER_INFO *FirstSigner(PKCS7 *signature) {
  return signature ? sk_PKCS7_SIGNER_INFO_value(PKCS7_get_signer_info(signature), 0) : nullptr;
}

std::string Octets(const ASN1_STRING *text) {
  return text ? std::string(reinterpret_cast<const char *>(ASN1_STRING_get0_data(text)),
                            static_cast<size_t>(ASN1_STRING_length(text)))
              : std::string();
}

// The value of the signer's unsigned attribute `oid`, as DER bytes.
std::string UnsignedAttribute(const std::string &pkcs7, const char *oid) {
  const unsigned char *cursor = reinterpret_cast<const unsigned char *>(pkcs7.data());
  PKCS7 *signature = d2i_PKCS7(nullptr, &cursor, static_cast<long>(pkcs7.size()));
  PKCS7_SIGNER_INFO *signer = FirstSigner(signature);
  std::string value;
  ASN1_OBJECT *type = OBJ_txt2obj(oid, 1);
  for (int i = 0; signer && i < sk_X509_ATTRIBUTE_num(signer->unauth_attr); ++i) {
    X509_ATTRIBUTE *attribute = sk_X509_ATTRIBUTE_value(signer->unauth_attr, i);
    if (OBJ_cmp(X509_ATTRIBUTE_get0_object(attribute), type) == 0) {
      ASN1_TYPE *any = X509_ATTRIBUTE_get0_type(attribute, 0);
      if (any && any->type == V_ASN1_SEQUENCE) value = Octets(any->value.sequence);
    }
  }
  ASN1_OBJECT_free(type);
  PKCS7_free(signature);
  return value;
}

}  // namespace

std::string SignerSignatureValue(const std::string &pkcs7) {
  const unsigned char *cursor = reinterpret_cast<const unsigned char *>(pkcs7.data());
  PKCS7 *signature = d2i_PKCS7(nullptr, &cursor, static_cast<long>(pkcs7.size()));
  PKCS7_SIGNER_INFO *signer = FirstSigner(signature);
  std::string value = signer ? Octets(signer->enc_digest) : std::string();
  PKCS7_free(signature);
  return value;
}

std::string CountersignatureValue(const std::string &pkcs7) {
  std::string der = UnsignedAttribute(pkcs7, "1.2.840.113549.1.9.6");
  const unsigned char *cursor = reinterpret_cast<const unsigned char *>(der.data());
  PKCS7_SIGNER_INFO *countersigner = d2i_PKCS7_SIGNER_INFO(nullptr, &cursor, static_cast<long>(der.size()));
  std::string value = countersigner ? Octets(countersigner->enc_digest) : std::string();
  PKCS7_SIGNER_INFO_free(countersigner);
  return value;
}

std::string TimestampTokenSignatureValue(const std::string &pkcs7) {
  std::string der = UnsignedAttribute(pkcs7, "1.3.6.1.4.1.311.3.3.1");
  const unsigned char *cursor = reinterpret_cast<const unsigned char *>(der.data());
  CMS_ContentInfo *token = d2i_CMS_ContentInfo(nullptr, &cursor, static_cast<long>(der.size()));
  std::string value;
  if (token) {
    STACK_OF(CMS_SignerInfo) *signers = CMS_get0_SignerInfos(token);
    if (sk_CMS_SignerInfo_num(signers) > 0)
      value = Octets(CMS_SignerInfo_get0_signature(sk_CMS_SignerInfo_value(signers, 0)));
  }
  CMS_ContentInfo_free(token);
  return value;
}

bool DamageBytes(const std::string &path, const std::string &bytes) {
  int64_t at = bytes.empty() ? -1 : testsign::FindBytes(path, bytes);
  return at >= 0 && testsign::FlipByte(path, static_cast<uint64_t>(at) + bytes.size() / 2);
}

std::vector<std::string> TranscriptLines() {
  std::vector<std::string> lines;
  std::istringstream in(testenv::ReadFile(getenv("HOSTWIN_TRANSCRIPT")));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace trusttest
