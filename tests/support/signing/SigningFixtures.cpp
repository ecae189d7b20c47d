#include "SigningFixtures.h"

#include "TestEnvironment.h"

#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509v3.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace testsign {
namespace {

constexpr time_t kYear = 365 * 24 * 3600;

struct Issued {
  X509 *cert = nullptr;
  EVP_PKEY *key = nullptr;
};

struct CertSpec {
  std::string commonName;
  const Issued *issuer = nullptr;  // null: self-signed
  time_t notBefore = 0, notAfter = 0;
  bool ca = false;
  const char *usage = nullptr;  // extendedKeyUsage value for X509V3_EXT_conf_nid
};

EVP_PKEY *NewKey(KeyKind kind) { return kind == KeyKind::kRsa ? EVP_RSA_gen(2048) : EVP_EC_gen("P-256"); }

void AddExtension(X509 *cert, X509V3_CTX *context, int nid, const char *value) {
  X509_EXTENSION *extension = X509V3_EXT_conf_nid(nullptr, context, nid, value);
  if (!extension) throw std::runtime_error(std::string("bad extension ") + value);
  X509_add_ext(cert, extension, -1);
  X509_EXTENSION_free(extension);
}

Issued MakeCertificate(const CertSpec &spec, KeyKind kind) {
  static long serial = 1000;
  Issued made;
  made.key = NewKey(kind);
  made.cert = X509_new();
  X509 *cert = made.cert;
  X509_set_version(cert, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert), ++serial);
  ASN1_TIME_set(X509_getm_notBefore(cert), spec.notBefore);
  ASN1_TIME_set(X509_getm_notAfter(cert), spec.notAfter);
  X509_set_pubkey(cert, made.key);
  X509_NAME *name = X509_get_subject_name(cert);
  X509_NAME_add_entry_by_txt(name, "O", MBSTRING_UTF8, reinterpret_cast<const unsigned char *>("Pellomar Test"), -1,
                             -1, 0);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                             reinterpret_cast<const unsigned char *>(spec.commonName.c_str()), -1, -1, 0);
  const Issued &issuer = spec.issuer ? *spec.issuer : made;
  X509_set_issuer_name(cert, X509_get_subject_name(issuer.cert));
  X509V3_CTX context;
  X509V3_set_ctx(&context, issuer.cert, cert, nullptr, nullptr, 0);
  AddExtension(cert, &context, NID_basic_constraints, spec.ca ? "critical,CA:TRUE" : "CA:FALSE");
  AddExtension(cert, &context, NID_key_usage, spec.ca ? "critical,keyCertSign,cRLSign" : "critical,digitalSignature");
  if (spec.usage) AddExtension(cert, &context, NID_ext_key_usage, spec.usage);
  AddExtension(cert, &context, NID_subject_key_identifier, "hash");
  if (spec.issuer) AddExtension(cert, &context, NID_authority_key_identifier, "keyid:always");
  if (!X509_sign(cert, issuer.key, EVP_sha256())) throw std::runtime_error("cannot sign a test certificate");
  return made;
}

void AppendPem(const std::string &path, X509 *cert) {
  FILE *out = fopen(path.c_str(), "a");
  if (!out) throw std::runtime_error("cannot write " + path);
  PEM_write_X509(out, cert);
  fclose(out);
}

Identity Save(const std::string &folder, const std::string &tag, const CertSpec &spec, const Issued &made) {
  Identity identity;
  identity.commonName = spec.commonName;
  identity.certPath = folder + "/" + tag + ".pem";
  identity.chainPath = folder + "/" + tag + "-chain.pem";
  identity.keyPath = folder + "/" + tag + ".key";
  AppendPem(identity.certPath, made.cert);
  AppendPem(identity.chainPath, made.cert);
  FILE *key = fopen(identity.keyPath.c_str(), "w");
  if (!key) throw std::runtime_error("cannot write " + identity.keyPath);
  PEM_write_PrivateKey(key, made.key, nullptr, nullptr, 0, nullptr, nullptr);
  fclose(key);
  return identity;
}

void Free(Issued &made) {
  X509_free(made.cert);
  EVP_PKEY_free(made.key);
}

std::string ProxyFreeEnvironment[] = {"http_proxy=", "HTTP_PROXY=", "https_proxy=", "HTTPS_PROXY=",
                                      "no_proxy=127.0.0.1,localhost", "NO_PROXY=127.0.0.1,localhost"};

int Run(const std::vector<std::string> &argv, std::string *log) {
  std::string output;
  std::vector<std::string> environment(std::begin(ProxyFreeEnvironment), std::end(ProxyFreeEnvironment));
  int status = testenv::RunProgram(argv, &output, environment);
  if (log) *log = output;
  return status;
}

}  // namespace

TestPki::TestPki(const std::string &folder, KeyKind keys) {
  const time_t now = time(nullptr);
  const time_t from = now - 10 * kYear, until = now + 10 * kYear;
  mkdir(folder.c_str(), 0755);

  CertSpec rootSpec{"Orvandel Test Root", nullptr, from, until, true};
  Issued rootCa = MakeCertificate(rootSpec, keys);
  root = Save(folder, "root", rootSpec, rootCa);
  CertSpec intermediateSpec{"Orvandel Test Code Signing CA", &rootCa, from, until, true};
  Issued intermediateCa = MakeCertificate(intermediateSpec, keys);
  intermediate = Save(folder, "intermediate", intermediateSpec, intermediateCa);

  auto leaf = [&](const std::string &tag, const CertSpec &spec, KeyKind kind) {
    Issued made = MakeCertificate(spec, kind);
    Identity identity = Save(folder, tag, spec, made);
    if (spec.issuer == &intermediateCa) AppendPem(identity.chainPath, intermediateCa.cert);
    Free(made);
    return identity;
  };
  signer = leaf("signer", {kSignerName, &intermediateCa, from, until, false, "codeSigning"}, keys);
  wrongUsage =
      leaf("wrong-usage", {"Orvandel Test Web Server", &intermediateCa, from, until, false, "serverAuth"}, keys);
  expiredSignerValidAt = now - 2 * kYear;
  expired = leaf("expired",
                 {"Orvandel Test Expired Signer", &intermediateCa, now - 3 * kYear, now - kYear, false, "codeSigning"},
                 keys);
  rsaSigner = leaf("rsa-signer", {"Orvandel Test RSA Signer", &intermediateCa, from, until, false, "codeSigning"},
                   KeyKind::kRsa);

  CertSpec tsaRootSpec{"Orvandel Test Timestamping Root", nullptr, from, until, true};
  Issued tsaRootCa = MakeCertificate(tsaRootSpec, keys);
  tsaRoot = Save(folder, "tsa-root", tsaRootSpec, tsaRootCa);
  CertSpec tsaSpec{kTimestampName, &tsaRootCa, from, until, false, "critical,timeStamping"};
  Issued tsaLeaf = MakeCertificate(tsaSpec, keys);
  tsa = Save(folder, "tsa", tsaSpec, tsaLeaf);

  CertSpec untrustedRootSpec{"Untrusted Test Root", nullptr, from, until, true};
  Issued untrustedCa = MakeCertificate(untrustedRootSpec, keys);
  untrustedRoot = Save(folder, "untrusted-root", untrustedRootSpec, untrustedCa);
  CertSpec untrustedSpec{"Untrusted Test Signer", &untrustedCa, from, until, false, "codeSigning"};
  Issued untrustedLeaf = MakeCertificate(untrustedSpec, keys);
  untrustedSigner = Save(folder, "untrusted-signer", untrustedSpec, untrustedLeaf);
  AppendPem(untrustedSigner.chainPath, untrustedCa.cert);  // the signature carries its own root

  trustedRootsPath = folder + "/trusted-roots.pem";
  AppendPem(trustedRootsPath, rootCa.cert);
  AppendPem(trustedRootsPath, tsaRootCa.cert);
  for (Issued *made : {&rootCa, &intermediateCa, &tsaRootCa, &tsaLeaf, &untrustedCa, &untrustedLeaf}) Free(*made);
}

bool Sign(const TestPki &pki, const Identity &signer, const std::string &in, const std::string &out,
          const SignOptions &options, std::string *log) {
  unlink(out.c_str());
  std::vector<std::string> argv = {FindProgram("osslsigncode"), "sign", "-certs", signer.chainPath, "-key",
                                   signer.keyPath, "-h", options.digest};
  const time_t when = options.timestampTime ? options.timestampTime : time(nullptr);
  std::unique_ptr<LegacyTimestampServer> server;
  if (options.timestamp == Timestamp::kRfc3161) {
    argv.insert(argv.end(), {"-TSA-certs", pki.tsa.certPath, "-TSA-key", pki.tsa.keyPath, "-TSA-time",
                             std::to_string(static_cast<long long>(when))});
  } else if (options.timestamp == Timestamp::kLegacy) {
    server = std::make_unique<LegacyTimestampServer>(pki.tsa, when);
    argv.insert(argv.end(), {"-t", server->Url()});
  }
  if (options.addMsiDse) argv.push_back("-add-msi-dse");
  argv.insert(argv.end(), {"-in", in, "-out", out});
  return Run(argv, log) == 0;
}

bool OsslsigncodeAccepts(const TestPki &pki, const std::string &file, std::string *log) {
  return Run({FindProgram("osslsigncode"), "verify", "-CAfile", pki.root.certPath, "-TSA-CAfile",
              pki.tsaRoot.certPath, "-in", file},
             log) == 0;
}

bool WriteDatabase(const std::string &path, const std::string &title, const std::string &marker,
                   uint64_t payloadSize, std::string *log) {
  const std::string folder = path + ".parts";
  mkdir(folder.c_str(), 0755);
  const std::string table = folder + "/Property.idt";
  testenv::WriteFile(table,
           "Property\tValue\ns72\tl0\nProperty\tProperty\n"
           "ProductName\tOrvandel 2.0\nProductCode\t{6A3C5A52-8D5E-4C1E-9B0B-4D1A36E0C0DE}\n"
           "Manufacturer\tPellomar\n");
  const std::string payload = folder + "/payload.bin";
  {
    std::ofstream out(payload, std::ios::binary | std::ios::trunc);
    out << marker;
    std::vector<char> chunk(1 << 20);
    uint64_t state = 0x243F6A8885A308D3ull;
    for (uint64_t written = marker.size(); written < payloadSize;) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(chunk.size(), payloadSize - written));
      for (size_t i = 0; i < n; i += 8) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        memcpy(&chunk[i], &state, std::min<size_t>(8, n - i));
      }
      out.write(chunk.data(), static_cast<std::streamsize>(n));
      written += n;
    }
    if (!out) return false;
  }
  unlink(path.c_str());
  const std::string msibuild = FindProgram("msibuild");
  std::string output;
  bool ok = Run({msibuild, path, "-s", title, "Pellomar", ";1033", "{1B7C2D3E-4F50-4617-8A9B-0C1D2E3F4051}"},
                &output) == 0;
  ok = ok && Run({msibuild, path, "-i", table}, &output) == 0;
  ok = ok && Run({msibuild, path, "-a", "payload", payload}, &output) == 0;
  if (log) *log = output;
  unlink(payload.c_str());
  return ok;
}

std::string FindProgram(const std::string &name) {
  const char *path = getenv("PATH");
  std::string folders = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    std::string candidate = folders.substr(start, end - start) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return std::string();
}

bool FlipByte(const std::string &path, uint64_t offset) {
  FILE *file = fopen(path.c_str(), "r+b");
  if (!file) return false;
  bool ok = fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
  int c = ok ? fgetc(file) : EOF;
  ok = c != EOF && fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0 && fputc(c ^ 0x01, file) != EOF;
  return fclose(file) == 0 && ok;
}

int64_t FindBytes(const std::string &path, std::string_view needle) {
  std::string bytes = testenv::ReadFile(path);
  size_t at = bytes.find(needle);
  return at == std::string::npos ? -1 : static_cast<int64_t>(at);
}

bool CopyFile(const std::string &from, const std::string &to) {
  std::string bytes = testenv::ReadFile(from);
  testenv::WriteFile(to, bytes);
  return testenv::ReadFile(to).size() == bytes.size();
}

}  // namespace testsign
