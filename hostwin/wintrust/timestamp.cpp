#include "timestamp.h"

#include "openssl_util.h"

#include <openssl/err.h>
#include <openssl/objects.h>

namespace hw::trust {
namespace {

// 1.3.6.1.4.1.311.3.3.1: an RFC 3161 token as an unsigned attribute.
const char kRfc3161TimestampOid[] = "1.3.6.1.4.1.311.3.3.1";

bool IsRfc3161Attribute(const ASN1_OBJECT *type) {
  ASN1_OBJECT *rfc3161 = OBJ_txt2obj(kRfc3161TimestampOid, 1);
  bool same = rfc3161 && OBJ_cmp(type, rfc3161) == 0;
  ASN1_OBJECT_free(rfc3161);
  return same;
}

std::span<const unsigned char> SequenceBytes(const ASN1_TYPE *value) {
  if (!value || value->type != V_ASN1_SEQUENCE) return {};
  return Bytes(value->value.sequence);
}

// Every check below starts from this and only a complete success changes it.
TimestampResult PresentButUntrusted() {
  TimestampResult result;
  result.present = true;
  result.result = TRUST_E_TIME_STAMP;
  return result;
}

void CheckChain(TimestampResult &result, X509_STORE *roots, X509 *authority, STACK_OF(X509) *certificates) {
  ChainResult chain = VerifyCertificateChain(roots, authority, certificates, result.time, kTimeStampingUsage);
  result.chain = std::move(chain.chain);
  if (SUCCEEDED(chain.result)) result.result = S_OK;
}

// A countersignature: a SignerInfo whose message digest is the digest of
// the primary signature value; its time is its signing time; its
// certificates are in the outer signature.
TimestampResult CheckCountersignature(const ASN1_TYPE *value, PKCS7_SIGNER_INFO *signer,
                                      STACK_OF(X509) *certificates, X509_STORE *roots) {
  TimestampResult result = PresentButUntrusted();
  std::span<const unsigned char> encoded = SequenceBytes(value);
  const unsigned char *cursor = encoded.data();
  SignerInfoPtr countersigner(encoded.empty() ? nullptr
                                              : d2i_PKCS7_SIGNER_INFO(nullptr, &cursor, static_cast<long>(encoded.size())));
  if (!countersigner || !countersigner->issuer_and_serial || !countersigner->digest_alg) return result;
  const EVP_MD *md = AllowedDigest(countersigner->digest_alg->algorithm);
  X509 *authority = X509_find_by_issuer_and_serial(certificates, countersigner->issuer_and_serial->issuer,
                                                   countersigner->issuer_and_serial->serial);
  if (!md || !authority) return result;
  result.chain.push_back(ShareCertificate(authority));

  if (!SignerInfoVerifies(countersigner.get(), authority, md, Bytes(signer->enc_digest))) return result;
  ASN1_TYPE *signingTime = PKCS7_get_signed_attribute(countersigner.get(), NID_pkcs9_signingTime);
  if (!signingTime || (signingTime->type != V_ASN1_UTCTIME && signingTime->type != V_ASN1_GENERALIZEDTIME) ||
      !ToTime(signingTime->value.utctime, &result.time))
    return result;
  CheckChain(result, roots, authority, certificates);
  return result;
}

// An RFC 3161 token: a CMS SignedData over a TSTInfo whose imprint is the
// digest of the primary signature value; its time is the genTime; its
// certificates are inside the token.
TimestampResult CheckRfc3161Token(const ASN1_TYPE *value, PKCS7_SIGNER_INFO *signer, X509_STORE *roots) {
  TimestampResult result = PresentButUntrusted();
  std::span<const unsigned char> encoded = SequenceBytes(value);
  const unsigned char *cursor = encoded.data();
  CmsPtr token(encoded.empty() ? nullptr : d2i_CMS_ContentInfo(nullptr, &cursor, static_cast<long>(encoded.size())));
  if (!token || OBJ_obj2nid(CMS_get0_type(token.get())) != NID_pkcs7_signed ||
      OBJ_obj2nid(CMS_get0_eContentType(token.get())) != NID_id_smime_ct_TSTInfo)
    return result;
  STACK_OF(CMS_SignerInfo) *signers = CMS_get0_SignerInfos(token.get());
  if (sk_CMS_SignerInfo_num(signers) != 1) return result;
  X509_ALGOR *signerDigest = nullptr;
  CMS_SignerInfo_get0_algs(sk_CMS_SignerInfo_value(signers, 0), nullptr, nullptr, &signerDigest, nullptr);
  if (!signerDigest || !AllowedDigest(signerDigest->algorithm)) return result;

  BioPtr content(BIO_new(BIO_s_mem()));
  if (!content || CMS_verify(token.get(), nullptr, nullptr, nullptr, content.get(),
                             CMS_NO_SIGNER_CERT_VERIFY | CMS_BINARY) != 1)
    return result;
  STACK_OF(X509) *signerCertificates = CMS_get0_signers(token.get());
  X509 *authority = sk_X509_num(signerCertificates) > 0 ? sk_X509_value(signerCertificates, 0) : nullptr;
  sk_X509_free(signerCertificates);  // the certificates belong to the token
  if (!authority) return result;
  result.chain.push_back(ShareCertificate(authority));

  char *info = nullptr;
  long infoLength = BIO_get_mem_data(content.get(), &info);
  const unsigned char *infoCursor = reinterpret_cast<const unsigned char *>(info);
  TstInfoPtr tstInfo(infoLength > 0 ? d2i_TS_TST_INFO(nullptr, &infoCursor, infoLength) : nullptr);
  if (!tstInfo) return result;
  TS_MSG_IMPRINT *imprint = TS_TST_INFO_get_msg_imprint(tstInfo.get());
  X509_ALGOR *imprintAlgorithm = imprint ? TS_MSG_IMPRINT_get_algo(imprint) : nullptr;
  const EVP_MD *md = imprintAlgorithm ? AllowedDigest(imprintAlgorithm->algorithm) : nullptr;
  if (!md || !DigestMatches(md, Bytes(signer->enc_digest), Bytes(TS_MSG_IMPRINT_get_msg(imprint)))) return result;
  if (!ToTime(TS_TST_INFO_get_time(tstInfo.get()), &result.time)) return result;

  CertificateStackPtr certificates(CMS_get1_certs(token.get()));
  CheckChain(result, roots, authority, certificates.get());
  return result;
}

}  // namespace

TimestampResult VerifyTimestamp(PKCS7_SIGNER_INFO *signer, STACK_OF(X509) *signatureCertificates, X509_STORE *roots) {
  TimestampResult result;
  STACK_OF(X509_ATTRIBUTE) *attributes = signer->unauth_attr;
  for (int i = 0; i < sk_X509_ATTRIBUTE_num(attributes); ++i) {
    X509_ATTRIBUTE *attribute = sk_X509_ATTRIBUTE_value(attributes, i);
    const ASN1_OBJECT *type = X509_ATTRIBUTE_get0_object(attribute);
    if (OBJ_obj2nid(type) == NID_pkcs9_countersignature) {
      result = CheckCountersignature(X509_ATTRIBUTE_get0_type(attribute, 0), signer, signatureCertificates, roots);
      break;
    }
    if (IsRfc3161Attribute(type)) {
      result = CheckRfc3161Token(X509_ATTRIBUTE_get0_type(attribute, 0), signer, roots);
      break;
    }
  }
  ERR_clear_error();
  return result;
}

}  // namespace hw::trust
