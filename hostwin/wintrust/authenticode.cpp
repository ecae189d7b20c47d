// The Authenticode signature checks: the SignedData's form, the signer's
// signature over the SpcIndirectDataContent, the file digest it names, the
// timestamp, and the signer's chain.
#include "hw/authenticode.h"

#include "der.h"
#include "openssl_util.h"
#include "subject.h"
#include "timestamp.h"

#include <openssl/err.h>
#include <openssl/objects.h>

#include <cstring>

namespace hw::trust {
namespace {

// 1.3.6.1.4.1.311.2.1.4
const char kSpcIndirectDataOid[] = "1.3.6.1.4.1.311.2.1.4";

struct IndirectData {
  std::span<const uint8_t> value;  // what the signer's messageDigest covers
  X509SigPtr digestInfo;           // the file digest and its algorithm
};

bool IsIndirectDataType(const ASN1_OBJECT *type) {
  ASN1_OBJECT *expected = OBJ_txt2obj(kSpcIndirectDataOid, 1);
  bool same = expected && type && OBJ_cmp(type, expected) == 0;
  ASN1_OBJECT_free(expected);
  return same;
}

// SpcIndirectDataContent ::= SEQUENCE { data SpcAttributeTypeAndOptionalValue,
//                                       messageDigest DigestInfo }
bool ReadIndirectData(PKCS7 *signature, IndirectData *indirect) {
  PKCS7 *contents = signature->d.sign->contents;
  if (!contents || !IsIndirectDataType(contents->type) || !contents->d.other ||
      contents->d.other->type != V_ASN1_SEQUENCE)
    return false;
  std::span<const uint8_t> encoded = Bytes(contents->d.other->value.sequence);
  DerElement sequence, data, digestInfo;
  if (!ReadDerElement(encoded, &sequence) || sequence.tag != kDerSequence || !encoded.empty()) return false;
  indirect->value = sequence.content;
  std::span<const uint8_t> fields = sequence.content;
  if (!ReadDerElement(fields, &data) || !ReadDerElement(fields, &digestInfo)) return false;
  const unsigned char *cursor = digestInfo.encoding.data();
  indirect->digestInfo.reset(d2i_X509_SIG(nullptr, &cursor, static_cast<long>(digestInfo.encoding.size())));
  return indirect->digestInfo != nullptr;
}

// The signer's signature over the SpcIndirectDataContent value. Checked
// here rather than by PKCS7_verify, which also digests with every algorithm
// the SignedData lists and leaks on some malformed lists.
bool SignerSignatureVerifies(PKCS7_SIGNER_INFO *signer, X509 *cert, const EVP_MD *md,
                             std::span<const uint8_t> content) {
  ASN1_TYPE *contentType = PKCS7_get_signed_attribute(signer, NID_pkcs9_contentType);
  return contentType && contentType->type == V_ASN1_OBJECT && IsIndirectDataType(contentType->value.object) &&
         SignerInfoVerifies(signer, cert, md, content);
}

HRESULT DigestSubject(Subject &subject, const EVP_MD *md, std::vector<uint8_t> *digest) {
  DigestContextPtr context(EVP_MD_CTX_new());
  if (!context || !EVP_DigestInit_ex(context.get(), md, nullptr)) return TRUST_E_SYSTEM_ERROR;
  HRESULT hr = subject.Hash(context.get());
  if (FAILED(hr)) return hr;
  unsigned char value[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (!EVP_DigestFinal_ex(context.get(), value, &length)) return TRUST_E_SYSTEM_ERROR;
  digest->assign(value, value + length);
  return S_OK;
}

Verdict Check(std::span<const uint8_t> pkcs7, const DigestCheck &digestCheck, X509_STORE *roots, time_t now) {
  Verdict verdict;
  verdict.result = CRYPT_E_BAD_MSG;
  if (pkcs7.empty() || pkcs7.size() > kMaxSignatureSize) return verdict;
  const unsigned char *cursor = pkcs7.data();
  Pkcs7Ptr signature(d2i_PKCS7(nullptr, &cursor, static_cast<long>(pkcs7.size())));
  if (!signature || !PKCS7_type_is_signed(signature.get()) || !signature->d.sign) return verdict;
  IndirectData indirect;
  if (!ReadIndirectData(signature.get(), &indirect)) return verdict;
  STACK_OF(PKCS7_SIGNER_INFO) *signers = PKCS7_get_signer_info(signature.get());
  if (sk_PKCS7_SIGNER_INFO_num(signers) != 1) return verdict;
  PKCS7_SIGNER_INFO *signer = sk_PKCS7_SIGNER_INFO_value(signers, 0);
  if (!signer->issuer_and_serial || !signer->digest_alg || !signer->enc_digest) return verdict;

  const X509_ALGOR *fileDigestAlgorithm = nullptr;
  const ASN1_OCTET_STRING *fileDigest = nullptr;
  X509_SIG_get0(indirect.digestInfo.get(), &fileDigestAlgorithm, &fileDigest);
  const EVP_MD *fileMd = fileDigestAlgorithm ? AllowedDigest(fileDigestAlgorithm->algorithm) : nullptr;
  const EVP_MD *signerMd = AllowedDigest(signer->digest_alg->algorithm);
  if (!fileMd || !signerMd) {
    verdict.result = NTE_BAD_ALGID;
    return verdict;
  }

  STACK_OF(X509) *certificates = signature->d.sign->cert;
  X509 *signerCert = X509_find_by_issuer_and_serial(certificates, signer->issuer_and_serial->issuer,
                                                    signer->issuer_and_serial->serial);
  if (!signerCert) {
    verdict.result = TRUST_E_NO_SIGNER_CERT;
    return verdict;
  }
  verdict.signer.emplace();
  verdict.signer->chain.push_back(ShareCertificate(signerCert));
  verdict.signer->verifiedAt = now;

  if (!SignerSignatureVerifies(signer, signerCert, signerMd, indirect.value)) {
    verdict.result = verdict.signer->error = TRUST_E_CERT_SIGNATURE;
    return verdict;
  }
  verdict.result = digestCheck(fileMd, Bytes(fileDigest));
  if (FAILED(verdict.result)) return verdict;

  TimestampResult timestamp = VerifyTimestamp(signer, certificates, roots);
  if (timestamp.present) {
    verdict.countersigner.emplace();
    verdict.countersigner->chain = std::move(timestamp.chain);
    verdict.countersigner->verifiedAt = timestamp.time;
    verdict.countersigner->error = timestamp.result;
    if (FAILED(timestamp.result)) {
      // A timestamp that cannot be trusted does not fall back to "now":
      // the signature is rejected.
      verdict.result = timestamp.result;
      return verdict;
    }
  }
  const time_t at = timestamp.present ? timestamp.time : now;
  ChainResult chain = VerifyCertificateChain(roots, signerCert, certificates, at, kCodeSigningUsage);
  verdict.signer->chain = std::move(chain.chain);
  verdict.signer->verifiedAt = at;
  verdict.signer->error = chain.result;
  verdict.result = chain.result;
  return verdict;
}

}  // namespace

Verdict VerifySignature(std::span<const uint8_t> pkcs7, const DigestCheck &digestCheck, X509_STORE *roots,
                        time_t now) {
  Verdict verdict = Check(pkcs7, digestCheck, roots, now);
  ERR_clear_error();
  return verdict;
}

Verdict VerifyFile(ByteSource &file, X509_STORE *roots, time_t now) {
  Verdict verdict;
  std::unique_ptr<Subject> subject;
  std::vector<uint8_t> pkcs7;
  verdict.result = OpenSubject(file, &subject);
  if (SUCCEEDED(verdict.result)) verdict.result = subject->ReadSignature(&pkcs7);
  if (FAILED(verdict.result)) return verdict;
  DigestCheck digestCheck = [&subject](const EVP_MD *md, std::span<const uint8_t> signedDigest) -> HRESULT {
    std::vector<uint8_t> digest;
    HRESULT hr = DigestSubject(*subject, md, &digest);
    if (FAILED(hr)) return hr;
    return digest.size() == signedDigest.size() && memcmp(digest.data(), signedDigest.data(), digest.size()) == 0
               ? S_OK
               : TRUST_E_BAD_DIGEST;
  };
  return VerifySignature(pkcs7, digestCheck, roots, now);
}

HRESULT ComputeFileDigest(ByteSource &file, const EVP_MD *md, std::vector<uint8_t> *digest) {
  std::unique_ptr<Subject> subject;
  HRESULT hr = OpenSubject(file, &subject);
  return SUCCEEDED(hr) ? DigestSubject(*subject, md, digest) : hr;
}

}  // namespace hw::trust
