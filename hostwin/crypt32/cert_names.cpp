// Display names of certificates (CertGetNameStringW).
#include <wincrypt.h>

#include "hw/certs.h"
#include "hw/text.h"

#include <openssl/crypto.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <string>

namespace {

// The text of a name attribute or alternative name in UTF-16, up to its
// first NUL (which would end the string the caller sees anyway).
std::u16string StringValue(const ASN1_STRING *value) {
  if (!value) return std::u16string();
  std::string utf8;
  unsigned char *converted = nullptr;
  int length = ASN1_STRING_to_UTF8(&converted, value);
  if (length >= 0) {
    utf8.assign(reinterpret_cast<const char *>(converted), static_cast<size_t>(length));
    OPENSSL_free(converted);
  } else {
    // Not convertible as declared (for instance a UTF8String that is not
    // UTF-8): show its bytes with replacement characters.
    utf8.assign(reinterpret_cast<const char *>(ASN1_STRING_get0_data(value)),
                static_cast<size_t>(ASN1_STRING_length(value)));
  }
  std::u16string text = hw::Utf8ToUtf16(utf8);
  size_t nul = text.find(u'\0');
  if (nul != std::u16string::npos) text.erase(nul);
  return text;
}

std::u16string FirstAttribute(const X509_NAME *name, int nid) {
  int index = X509_NAME_get_index_by_NID(name, nid, -1);
  if (index < 0) return std::u16string();
  return StringValue(X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, index)));
}

std::u16string FirstAlternativeEmail(X509 *cert, bool issuer) {
  auto *names = static_cast<GENERAL_NAMES *>(
      X509_get_ext_d2i(cert, issuer ? NID_issuer_alt_name : NID_subject_alt_name, nullptr, nullptr));
  if (!names) return std::u16string();
  std::u16string email;
  for (int i = 0; i < sk_GENERAL_NAME_num(names) && email.empty(); ++i) {
    const GENERAL_NAME *entry = sk_GENERAL_NAME_value(names, i);
    if (entry->type == GEN_EMAIL) email = StringValue(entry->d.rfc822Name);
  }
  GENERAL_NAMES_free(names);
  return email;
}

// The platform's contract: the count includes the terminator; a null buffer
// or a zero size asks for the count; a short buffer gets a truncated,
// terminated string.
DWORD CopyName(const std::u16string &name, LPWSTR buffer, DWORD capacity) {
  DWORD needed = static_cast<DWORD>(name.size() + 1);
  if (!buffer || capacity == 0) return needed;
  size_t copied = std::min<size_t>(name.size(), capacity - 1);
  name.copy(buffer, copied);
  buffer[copied] = 0;
  return static_cast<DWORD>(copied + 1);
}

}  // namespace

namespace hw {

std::u16string SimpleDisplayName(X509 *cert, bool issuer) {
  if (!cert) return std::u16string();
  const X509_NAME *name = issuer ? X509_get_issuer_name(cert) : X509_get_subject_name(cert);
  for (int nid : {NID_commonName, NID_organizationalUnitName, NID_organizationName, NID_pkcs9_emailAddress}) {
    std::u16string text = FirstAttribute(name, nid);
    if (!text.empty()) return text;
  }
  std::u16string email = FirstAlternativeEmail(cert, issuer);
  if (!email.empty()) return email;
  if (X509_NAME_entry_count(name) > 0) return StringValue(X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, 0)));
  return std::u16string();
}

}  // namespace hw

extern "C" DWORD WINAPI CertGetNameStringW(PCCERT_CONTEXT pCertContext, DWORD dwType, DWORD dwFlags,
                                           void *pvTypePara, LPWSTR pszNameString, DWORD cchNameString) {
  std::u16string name;
  X509 *cert = hw::CertificateOfContext(pCertContext);
  bool issuer = (dwFlags & CERT_NAME_ISSUER_FLAG) != 0;
  switch (dwType) {
    case CERT_NAME_FRIENDLY_DISPLAY_TYPE:
      // A friendly name is a property a certificate store attaches; the
      // certificates here come from signatures and have none, so the simple
      // display name stands in, as it does on the platform.
    case CERT_NAME_SIMPLE_DISPLAY_TYPE:
      name = hw::SimpleDisplayName(cert, issuer);
      break;
    default:
      break;  // other name types are not used: an empty name
  }
  return CopyName(name, pszNameString, cchNameString);
}
