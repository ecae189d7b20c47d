#include "openssl_util.h"

#include <openssl/objects.h>

#include <cstring>

namespace hw::trust {

const EVP_MD *AllowedDigest(const ASN1_OBJECT *algorithm) {
  switch (algorithm ? OBJ_obj2nid(algorithm) : NID_undef) {
    case NID_sha1:
      return EVP_sha1();
    case NID_sha256:
      return EVP_sha256();
    case NID_sha384:
      return EVP_sha384();
    case NID_sha512:
      return EVP_sha512();
    default:
      return nullptr;
  }
}

bool DigestMatches(const EVP_MD *md, std::span<const unsigned char> data, std::span<const unsigned char> expected) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (!EVP_Digest(data.data(), data.size(), digest, &length, md, nullptr)) return false;
  return length == expected.size() && memcmp(digest, expected.data(), length) == 0;
}

std::span<const unsigned char> Bytes(const ASN1_STRING *text) {
  if (!text || ASN1_STRING_length(text) <= 0) return {};
  return {ASN1_STRING_get0_data(text), static_cast<size_t>(ASN1_STRING_length(text))};
}

bool SignerInfoVerifies(PKCS7_SIGNER_INFO *signer, X509 *cert, const EVP_MD *md,
                        std::span<const unsigned char> content) {
  ASN1_OCTET_STRING *digest = PKCS7_digest_from_attributes(signer->auth_attr);
  if (!digest || !DigestMatches(md, content, Bytes(digest))) return false;
  unsigned char *encoded = nullptr;
  int length = ASN1_item_i2d(reinterpret_cast<ASN1_VALUE *>(signer->auth_attr), &encoded,
                             ASN1_ITEM_rptr(PKCS7_ATTR_VERIFY));
  if (length <= 0) return false;
  EVP_PKEY *key = X509_get0_pubkey(cert);
  DigestContextPtr context(EVP_MD_CTX_new());
  std::span<const unsigned char> signature = Bytes(signer->enc_digest);
  bool verified = key && context && EVP_DigestVerifyInit(context.get(), nullptr, md, nullptr, key) == 1 &&
                  EVP_DigestVerify(context.get(), signature.data(), signature.size(), encoded,
                                   static_cast<size_t>(length)) == 1;
  OPENSSL_free(encoded);
  return verified;
}

bool ToTime(const ASN1_TIME *when, time_t *seconds) {
  struct tm parts{};
  if (!when || !ASN1_TIME_to_tm(when, &parts)) return false;
  *seconds = timegm(&parts);
  return true;
}

}  // namespace hw::trust
