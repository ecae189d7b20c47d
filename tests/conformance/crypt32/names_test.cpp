// Certificate contexts and their display names: the fallback order of the
// simple display name (common name, organizational unit, organization,
// e-mail address, alternative name e-mail, first attribute), UTF-16 out,
// the length query and the buffer contract.
#include <wincrypt.h>
#include <windows.h>

#include "hw/certs.h"
#include "hw/text.h"

#include <openssl/evp.h>
#include <openssl/x509v3.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Attribute {
  const char *field;  // "CN", "OU", ... or "CN/BMP" for a BMPString common name
  std::string value;  // UTF-8
};

std::string Ucs2BigEndian(const std::u16string &text) {
  std::string bytes;
  for (char16_t c : text) {
    bytes += static_cast<char>(c >> 8);
    bytes += static_cast<char>(c & 0xFF);
  }
  return bytes;
}

X509_NAME *MakeName(const std::vector<Attribute> &attributes) {
  X509_NAME *name = X509_NAME_new();
  for (const Attribute &a : attributes) {
    if (std::string(a.field) == "CN/BMP") {
      std::string bytes = Ucs2BigEndian(hw::Utf8ToUtf16(a.value));
      X509_NAME_add_entry_by_NID(name, NID_commonName, V_ASN1_BMPSTRING,
                                 reinterpret_cast<const unsigned char *>(bytes.data()), static_cast<int>(bytes.size()),
                                 -1, 0);
    } else {
      X509_NAME_add_entry_by_txt(name, a.field, MBSTRING_UTF8, reinterpret_cast<const unsigned char *>(a.value.c_str()),
                                 -1, -1, 0);
    }
  }
  return name;
}

// A certificate with the given subject, issuer and subject alternative
// name (empty for none).
hw::X509Ptr MakeCertificate(const std::vector<Attribute> &subject, const std::vector<Attribute> &issuer = {},
                            const std::string &alternativeName = "") {
  static EVP_PKEY *key = EVP_EC_gen("P-256");
  X509 *cert = X509_new();
  X509_set_version(cert, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert), 7);
  X509_gmtime_adj(X509_getm_notBefore(cert), 0);
  X509_gmtime_adj(X509_getm_notAfter(cert), 3600);
  X509_set_pubkey(cert, key);
  X509_NAME *subjectName = MakeName(subject);
  X509_NAME *issuerName = MakeName(issuer.empty() ? subject : issuer);
  X509_set_subject_name(cert, subjectName);
  X509_set_issuer_name(cert, issuerName);
  X509_NAME_free(subjectName);
  X509_NAME_free(issuerName);
  if (!alternativeName.empty()) {
    X509V3_CTX context;
    X509V3_set_ctx(&context, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION *extension = X509V3_EXT_conf_nid(nullptr, &context, NID_subject_alt_name, alternativeName.c_str());
    X509_add_ext(cert, extension, -1);
    X509_EXTENSION_free(extension);
  }
  X509_sign(cert, key, EVP_sha256());
  return hw::X509Ptr(cert);
}

// A context for the certificate, released at the end of the scope.
class Context {
 public:
  explicit Context(X509 *cert) : m_context(hw::NewCertificateContext(cert)) {}
  ~Context() { CertFreeCertificateContext(m_context); }
  PCCERT_CONTEXT get() const { return m_context; }

 private:
  PCCERT_CONTEXT m_context;
};

std::u16string NameOf(PCCERT_CONTEXT context, DWORD type, DWORD flags = 0) {
  DWORD length = CertGetNameStringW(context, type, flags, nullptr, nullptr, 0);
  EXPECT_GE(length, 1u);
  std::u16string name(length, u'?');
  EXPECT_EQ(CertGetNameStringW(context, type, flags, nullptr, name.data(), length), length);
  EXPECT_EQ(name[length - 1], u'\0');
  name.resize(length - 1);
  return name;
}

TEST(CertGetNameStringW, DisplayNameFallbackOrder) {
  struct Row {
    const char *name;
    std::vector<Attribute> subject;
    std::string alternativeName;
    std::u16string expected;
  } rows[] = {
      {"common name first", {{"O", "Org"}, {"OU", "Unit"}, {"CN", "Common"}}, "", u"Common"},
      {"the first of two common names", {{"CN", "First"}, {"CN", "Second"}}, "", u"First"},
      {"then the organizational unit", {{"O", "Org"}, {"OU", "Unit"}}, "", u"Unit"},
      {"then the organization", {{"C", "CA"}, {"O", "Org"}}, "", u"Org"},
      {"then the e-mail address", {{"C", "CA"}, {"emailAddress", "subject@example.org"}}, "", u"subject@example.org"},
      {"then an alternative name e-mail",
       {{"C", "CA"}, {"L", "Toronto"}},
       "DNS:host.example.org,email:alt@example.org",
       u"alt@example.org"},
      {"then the first attribute", {{"L", "Toronto"}, {"C", "CA"}}, "DNS:host.example.org", u"Toronto"},
      {"nothing at all", {}, "", u""},
      {"UTF-8 common name", {{"CN", "Pellomar \xC3\x9Cn\xC3\xAF\x63\xC3\xB8\x64\xC3\xA9"}}, "", u"Pellomar \u00DCn\u00EFc\u00F8d\u00E9"},
      {"common name beyond the basic plane", {{"CN", "Smile \xF0\x9F\x98\x80"}}, "", u"Smile \U0001F600"},
      {"BMPString common name", {{"CN/BMP", "\xCE\xA9mega"}}, "", u"\u03A9mega"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    hw::X509Ptr cert = MakeCertificate(row.subject, {}, row.alternativeName);
    Context context(cert.get());
    ASSERT_NE(context.get(), nullptr);
    EXPECT_EQ(NameOf(context.get(), CERT_NAME_SIMPLE_DISPLAY_TYPE), row.expected);
    // Certificates taken from signatures have no friendly-name property.
    EXPECT_EQ(NameOf(context.get(), CERT_NAME_FRIENDLY_DISPLAY_TYPE), row.expected);
  }
}

TEST(CertGetNameStringW, IssuerFlagNamesTheIssuer) {
  hw::X509Ptr cert = MakeCertificate({{"CN", "Leaf"}}, {{"O", "Issuing Org"}, {"CN", "Issuing CA"}});
  Context context(cert.get());
  EXPECT_EQ(NameOf(context.get(), CERT_NAME_FRIENDLY_DISPLAY_TYPE, CERT_NAME_ISSUER_FLAG), u"Issuing CA");
  EXPECT_EQ(NameOf(context.get(), CERT_NAME_FRIENDLY_DISPLAY_TYPE), u"Leaf");
}

TEST(CertGetNameStringW, LengthQueryAndShortBuffer) {
  hw::X509Ptr cert = MakeCertificate({{"CN", "Common"}});
  Context context(cert.get());
  EXPECT_EQ(CertGetNameStringW(context.get(), CERT_NAME_FRIENDLY_DISPLAY_TYPE, 0, nullptr, nullptr, 0), 7u);
  WCHAR buffer[16];
  std::fill(std::begin(buffer), std::end(buffer), u'#');
  EXPECT_EQ(CertGetNameStringW(context.get(), CERT_NAME_FRIENDLY_DISPLAY_TYPE, 0, nullptr, buffer, 0), 7u);
  EXPECT_EQ(buffer[0], u'#');  // nothing written for a size query
  EXPECT_EQ(CertGetNameStringW(context.get(), CERT_NAME_FRIENDLY_DISPLAY_TYPE, 0, nullptr, buffer, 4), 4u);
  EXPECT_EQ(std::u16string(buffer), u"Com");
  EXPECT_EQ(CertGetNameStringW(context.get(), CERT_NAME_FRIENDLY_DISPLAY_TYPE, 0, nullptr, buffer, 1), 1u);
  EXPECT_EQ(buffer[0], u'\0');
  EXPECT_EQ(CertGetNameStringW(context.get(), CERT_NAME_FRIENDLY_DISPLAY_TYPE, 0, nullptr, buffer, 16), 7u);
  EXPECT_EQ(std::u16string(buffer), u"Common");
}

TEST(CertificateContext, DuplicateSharesAndFreeReleasesByCount) {
  hw::X509Ptr cert = MakeCertificate({{"CN", "Shared"}});
  PCCERT_CONTEXT context = hw::NewCertificateContext(cert.get());
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(context->dwCertEncodingType, static_cast<DWORD>(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING));
  unsigned char *der = nullptr;
  int length = i2d_X509(cert.get(), &der);
  ASSERT_EQ(context->cbCertEncoded, static_cast<DWORD>(length));
  EXPECT_EQ(memcmp(context->pbCertEncoded, der, static_cast<size_t>(length)), 0);
  OPENSSL_free(der);

  PCCERT_CONTEXT duplicate = CertDuplicateCertificateContext(context);
  EXPECT_EQ(duplicate, context);
  cert.reset();  // the context keeps its own reference
  EXPECT_TRUE(CertFreeCertificateContext(context));
  EXPECT_EQ(NameOf(duplicate, CERT_NAME_SIMPLE_DISPLAY_TYPE), u"Shared");
  EXPECT_TRUE(CertFreeCertificateContext(duplicate));
  EXPECT_TRUE(CertFreeCertificateContext(nullptr));
  EXPECT_EQ(CertDuplicateCertificateContext(nullptr), nullptr);
}

}  // namespace
