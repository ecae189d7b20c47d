// Signed-file fixtures made at test time: a throw-away PKI, signing and
// verifying with osslsigncode, installation databases with msibuild, and a
// local server for legacy (countersignature) timestamps.
#pragma once

#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace testsign {

enum class KeyKind { kEc, kRsa };

struct Identity {
  std::string commonName;
  std::string certPath;   // PEM: the certificate
  std::string chainPath;  // PEM: the certificate and its issuers below the root
  std::string keyPath;    // PEM: the private key
};

// A root with an intermediate CA and a code-signing leaf whose common name
// is not ASCII; a separate timestamping root and leaf (time-stamping usage,
// critical); a leaf for the wrong usage (server authentication); a leaf
// that expired a year ago; a second, untrusted root with its own signer;
// and a code-signing leaf with an RSA key (for digests ECDSA has no
// signature algorithm for, such as MD5).
// Every certificate but the expired one is valid from ten years ago to ten
// years ahead, so that past timestamps verify.
class TestPki {
 public:
  static constexpr const char *kSignerName = "Pellomar \xC3\x9Cn\xC3\xAF\x63\xC3\xB8\x64\xC3\xA9 Signer \xE2\x9C\x93";
  static constexpr const char *kTimestampName = "Orvandel Test Timestamping Authority";

  explicit TestPki(const std::string &folder, KeyKind keys = KeyKind::kEc);

  Identity root, intermediate, signer, tsaRoot, tsa, wrongUsage, expired, untrustedRoot, untrustedSigner, rsaSigner;
  // A time at which the expired signer was valid.
  time_t expiredSignerValidAt = 0;
  // The trusted roots (root and timestamping root), one PEM file.
  std::string trustedRootsPath;
};

// A server on 127.0.0.1 that answers legacy timestamp requests (as
// osslsigncode -t sends them) with a countersignature by `authority` that
// carries `signingTime`.
class LegacyTimestampServer {
 public:
  LegacyTimestampServer(const Identity &authority, time_t signingTime);
  ~LegacyTimestampServer();
  LegacyTimestampServer(const LegacyTimestampServer &) = delete;
  LegacyTimestampServer &operator=(const LegacyTimestampServer &) = delete;
  std::string Url() const;

 private:
  struct State;
  std::unique_ptr<State> m_state;
};

enum class Timestamp { kNone, kRfc3161, kLegacy };

struct SignOptions {
  std::string digest = "sha256";  // osslsigncode -h
  Timestamp timestamp = Timestamp::kNone;
  time_t timestampTime = 0;  // 0: now
  bool addMsiDse = false;    // \x05MsiDigitalSignatureEx
};

// Signs `in` into `out` with osslsigncode. False (with its output in `log`)
// when it fails.
bool Sign(const TestPki &pki, const Identity &signer, const std::string &in, const std::string &out,
          const SignOptions &options, std::string *log = nullptr);

// osslsigncode's verdict with the PKI's trusted roots.
bool OsslsigncodeAccepts(const TestPki &pki, const std::string &file, std::string *log = nullptr);

// An installation database made with msibuild: summary information with
// `title`, a Property table, and a "payload" stream of `payloadSize`
// pseudo-random bytes that starts with `marker`.
bool WriteDatabase(const std::string &path, const std::string &title, const std::string &marker,
                   uint64_t payloadSize, std::string *log = nullptr);

// The full path of a program found on PATH, empty when missing.
std::string FindProgram(const std::string &name);

// Byte surgery on fixture files (read and write them whole with
// testenv::ReadFile and testenv::WriteFile).
bool FlipByte(const std::string &path, uint64_t offset);
// The offset of the first occurrence of `needle`, or -1.
int64_t FindBytes(const std::string &path, std::string_view needle);
bool CopyFile(const std::string &from, const std::string &to);

}  // namespace testsign
