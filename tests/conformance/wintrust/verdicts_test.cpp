// WinVerifyTrust's verdict on signed, unsigned, damaged and untrusted PE
// images and installation databases: the platform's codes on every fixture,
// and the same acceptance as osslsigncode wherever osslsigncode is right.
#include "TrustFixtures.h"

#include "PeWriter.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <functional>

namespace trusttest {
namespace {

using testsign::SignOptions;
using testsign::Timestamp;

struct Case {
  const char *name;
  std::function<std::string(Fixtures &)> make;
  HRESULT expected;
  // osslsigncode is a sound second opinion here (it is not for MD5, which
  // it accepts, nor for damaged timestamps, which it reports but accepts).
  bool compareWithOsslsigncode;
};

SignOptions Digest(const char *digest) {
  SignOptions options;
  options.digest = digest;
  return options;
}

SignOptions Stamped(Timestamp form, time_t when = 0) {
  SignOptions options;
  options.timestamp = form;
  options.timestampTime = when;
  return options;
}

void RunCases(const std::vector<Case> &cases) {
  Fixtures &fixtures = Fixtures::Get();
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = c.make(fixtures);
    ASSERT_TRUE(testenv::FileExists(path));
    const LONG result = Verify(path);
    EXPECT_EQ(static_cast<uint32_t>(result), static_cast<uint32_t>(c.expected));
    if (c.compareWithOsslsigncode) {
      std::string log;
      EXPECT_EQ(result == S_OK, testsign::OsslsigncodeAccepts(fixtures.pki(), path, &log)) << log;
    }
  }
}

// The signed image (sha256, no timestamp) most damage is done to.
std::string SignedPe(Fixtures &f) { return f.Signed("signed.exe", f.UnsignedPe(), f.pki().signer); }

TEST(WinVerifyTrustVerdicts, PeImages) {
  const time_t expiredValid = Fixtures::Get().pki().expiredSignerValidAt;
  RunCases({
      {"unsigned", [](Fixtures &f) { return f.UnsignedPe(); }, TRUST_E_NOSIGNATURE, true},
      {"sha256", SignedPe, S_OK, true},
      {"sha1", [](Fixtures &f) { return f.Signed("sha1.exe", f.UnsignedPe(), f.pki().signer, Digest("sha1")); },
       S_OK, true},
      {"sha384",
       [](Fixtures &f) { return f.Signed("sha384.exe", f.UnsignedPe(), f.pki().signer, Digest("sha384")); }, S_OK,
       true},
      {"sha512",
       [](Fixtures &f) { return f.Signed("sha512.exe", f.UnsignedPe(), f.pki().signer, Digest("sha512")); }, S_OK,
       true},
      {"RSA key", [](Fixtures &f) { return f.Signed("rsa.exe", f.UnsignedPe(), f.pki().rsaSigner); }, S_OK, true},
      {"md5 refused",
       [](Fixtures &f) { return f.Signed("md5.exe", f.UnsignedPe(), f.pki().rsaSigner, Digest("md5")); },
       NTE_BAD_ALGID, false},
      {"PE32+", [](Fixtures &f) { return f.Signed("signed64.exe", f.UnsignedPe(true), f.pki().signer); }, S_OK,
       true},
      {"RFC 3161 timestamp",
       [](Fixtures &f) {
         return f.Signed("rfc3161.exe", f.UnsignedPe(), f.pki().signer, Stamped(Timestamp::kRfc3161));
       },
       S_OK, true},
      {"legacy timestamp",
       [](Fixtures &f) { return f.Signed("legacy.exe", f.UnsignedPe(), f.pki().signer, Stamped(Timestamp::kLegacy)); },
       S_OK, true},
      {"a byte of code changed",
       [](Fixtures &f) {
         return f.Edited("code-changed.exe", SignedPe(f),
                         [](const std::string &p) { testsign::FlipByte(p, testsign::kPeCodeOffset + 100); });
       },
       TRUST_E_BAD_DIGEST, true},
      {"bytes appended after the signature",
       [](Fixtures &f) {
         return f.Edited("appended.exe", SignedPe(f), [](const std::string &p) {
           testenv::WriteFile(p, testenv::ReadFile(p) + std::string(16, 'x'));
         });
       },
       TRUST_E_BAD_DIGEST, false},
      {"checksum changed (not covered)",
       [](Fixtures &f) {
         return f.Edited("checksum.exe", SignedPe(f), [](const std::string &p) { testsign::FlipByte(p, 0x58 + 64); });
       },
       S_OK, true},
      {"signer's signature value damaged",
       [](Fixtures &f) {
         return f.Edited("bad-signature.exe", SignedPe(f), [](const std::string &p) {
           EXPECT_TRUE(DamageBytes(p, SignerSignatureValue(ExtractSignature(p))));
         });
       },
       TRUST_E_CERT_SIGNATURE, true},
      {"untrusted root",
       [](Fixtures &f) { return f.Signed("untrusted.exe", f.UnsignedPe(), f.pki().untrustedSigner); },
       CERT_E_UNTRUSTEDROOT, true},
      {"server authentication usage only",
       [](Fixtures &f) { return f.Signed("wrong-usage.exe", f.UnsignedPe(), f.pki().wrongUsage); },
       CERT_E_WRONG_USAGE, true},
      {"expired, no timestamp",
       [](Fixtures &f) { return f.Signed("expired.exe", f.UnsignedPe(), f.pki().expired); }, CERT_E_EXPIRED, true},
      {"expired, RFC 3161 timestamp from its valid time",
       [expiredValid](Fixtures &f) {
         return f.Signed("expired-rfc3161.exe", f.UnsignedPe(), f.pki().expired,
                         Stamped(Timestamp::kRfc3161, expiredValid));
       },
       S_OK, true},
      {"expired, legacy timestamp from its valid time",
       [expiredValid](Fixtures &f) {
         return f.Signed("expired-legacy.exe", f.UnsignedPe(), f.pki().expired,
                         Stamped(Timestamp::kLegacy, expiredValid));
       },
       S_OK, true},
      {"expired, timestamped after it expired",
       [](Fixtures &f) {
         return f.Signed("expired-late.exe", f.UnsignedPe(), f.pki().expired, Stamped(Timestamp::kRfc3161));
       },
       CERT_E_EXPIRED, true},
      {"legacy countersignature damaged",
       [](Fixtures &f) {
         std::string stamped = f.Signed("legacy.exe", f.UnsignedPe(), f.pki().signer, Stamped(Timestamp::kLegacy));
         return f.Edited("legacy-damaged.exe", stamped, [](const std::string &p) {
           EXPECT_TRUE(DamageBytes(p, CountersignatureValue(ExtractSignature(p))));
         });
       },
       TRUST_E_TIME_STAMP, false},
      {"RFC 3161 token damaged",
       [](Fixtures &f) {
         std::string stamped =
             f.Signed("rfc3161.exe", f.UnsignedPe(), f.pki().signer, Stamped(Timestamp::kRfc3161));
         return f.Edited("rfc3161-damaged.exe", stamped, [](const std::string &p) {
           EXPECT_TRUE(DamageBytes(p, TimestampTokenSignatureValue(ExtractSignature(p))));
         });
       },
       TRUST_E_TIME_STAMP, false},
  });
}

std::string SignedDatabase(Fixtures &f) { return f.Signed("signed.msi", f.UnsignedDatabase(), f.pki().signer); }

TEST(WinVerifyTrustVerdicts, InstallationDatabases) {
  const time_t expiredValid = Fixtures::Get().pki().expiredSignerValidAt;
  auto withDse = [] {
    SignOptions options;
    options.addMsiDse = true;
    return options;
  };
  RunCases({
      {"unsigned", [](Fixtures &f) { return f.UnsignedDatabase(); }, TRUST_E_NOSIGNATURE, true},
      {"sha256", SignedDatabase, S_OK, true},
      {"sha1", [](Fixtures &f) { return f.Signed("sha1.msi", f.UnsignedDatabase(), f.pki().signer, Digest("sha1")); },
       S_OK, true},
      {"with MsiDigitalSignatureEx",
       [withDse](Fixtures &f) { return f.Signed("dse.msi", f.UnsignedDatabase(), f.pki().signer, withDse()); }, S_OK,
       true},
      {"RFC 3161 timestamp",
       [](Fixtures &f) {
         return f.Signed("rfc3161.msi", f.UnsignedDatabase(), f.pki().signer, Stamped(Timestamp::kRfc3161));
       },
       S_OK, true},
      {"legacy timestamp",
       [](Fixtures &f) {
         return f.Signed("legacy.msi", f.UnsignedDatabase(), f.pki().signer, Stamped(Timestamp::kLegacy));
       },
       S_OK, true},
      {"a byte of a stream changed",
       [](Fixtures &f) {
         return f.Edited("stream-changed.msi", SignedDatabase(f), [](const std::string &p) {
           EXPECT_TRUE(DamageBytes(p, Fixtures::kPayloadMarker));
         });
       },
       TRUST_E_BAD_DIGEST, true},
      {"a byte of the summary information changed",
       [](Fixtures &f) {
         return f.Edited("summary-changed.msi", SignedDatabase(f), [](const std::string &p) {
           EXPECT_TRUE(DamageBytes(p, Fixtures::kTitleMarker));
         });
       },
       TRUST_E_BAD_DIGEST, true},
      {"a byte of a stream changed, with MsiDigitalSignatureEx",
       [withDse](Fixtures &f) {
         std::string signedFile = f.Signed("dse.msi", f.UnsignedDatabase(), f.pki().signer, withDse());
         return f.Edited("dse-changed.msi", signedFile, [](const std::string &p) {
           EXPECT_TRUE(DamageBytes(p, Fixtures::kPayloadMarker));
         });
       },
       TRUST_E_BAD_DIGEST, true},
      {"untrusted root",
       [](Fixtures &f) { return f.Signed("untrusted.msi", f.UnsignedDatabase(), f.pki().untrustedSigner); },
       CERT_E_UNTRUSTEDROOT, true},
      {"server authentication usage only",
       [](Fixtures &f) { return f.Signed("wrong-usage.msi", f.UnsignedDatabase(), f.pki().wrongUsage); },
       CERT_E_WRONG_USAGE, true},
      {"expired, no timestamp",
       [](Fixtures &f) { return f.Signed("expired.msi", f.UnsignedDatabase(), f.pki().expired); }, CERT_E_EXPIRED,
       true},
      {"expired, RFC 3161 timestamp from its valid time",
       [expiredValid](Fixtures &f) {
         return f.Signed("expired-rfc3161.msi", f.UnsignedDatabase(), f.pki().expired,
                         Stamped(Timestamp::kRfc3161, expiredValid));
       },
       S_OK, true},
      {"expired, legacy timestamp from its valid time",
       [expiredValid](Fixtures &f) {
         return f.Signed("expired-legacy.msi", f.UnsignedDatabase(), f.pki().expired,
                         Stamped(Timestamp::kLegacy, expiredValid));
       },
       S_OK, true},
  });
}

}  // namespace
}  // namespace trusttest
