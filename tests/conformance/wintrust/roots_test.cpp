// Where trusted roots come from: HOSTWIN_TRUSTED_ROOTS (a file or a
// folder), the prefix's own root store, the system bundle
// (HOSTWIN_SYSTEM_ROOTS); and a timestamp whose authority is not trusted.
#include "TrustFixtures.h"

#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>

namespace trusttest {
namespace {

class TrustedRoots : public testing::Test {
 protected:
  void SetUp() override {
    Fixtures &f = Fixtures::Get();
    m_signed = f.Signed("signed.exe", f.UnsignedPe(), f.pki().signer);
    testsign::SignOptions stamped;
    stamped.timestamp = testsign::Timestamp::kRfc3161;
    m_stamped = f.Signed("rfc3161.exe", f.UnsignedPe(), f.pki().signer, stamped);
    unsetenv("HOSTWIN_TRUSTED_ROOTS");
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(testenv::PrefixDir() + "/windows/system32/hostwin", ec);
    setenv("HOSTWIN_TRUSTED_ROOTS", Fixtures::Get().pki().trustedRootsPath.c_str(), 1);
    setenv("HOSTWIN_SYSTEM_ROOTS", "none", 1);
  }
  const testsign::TestPki &pki() { return Fixtures::Get().pki(); }

  std::string m_signed, m_stamped;
};

TEST_F(TrustedRoots, NoneTrustedMeansNoChain) {
  // The signature carries the intermediate CA but not the root.
  EXPECT_EQ(Verify(m_signed), CERT_E_CHAINING);
}

TEST_F(TrustedRoots, FromTheEnvironmentAsFileOrFolder) {
  setenv("HOSTWIN_TRUSTED_ROOTS", pki().root.certPath.c_str(), 1);
  EXPECT_EQ(Verify(m_signed), S_OK);
  const std::string folder = testenv::MakeTempDir("roots");
  ASSERT_TRUE(testsign::CopyFile(pki().root.certPath, folder + "/root.pem"));
  setenv("HOSTWIN_TRUSTED_ROOTS", ("/no/such/file.pem:" + folder).c_str(), 1);
  EXPECT_EQ(Verify(m_signed), S_OK);
}

TEST_F(TrustedRoots, FromThePrefixRootStore) {
  const std::string store = testenv::PrefixDir() + "/windows/system32/hostwin/roots";
  std::filesystem::create_directories(store);
  ASSERT_TRUE(testsign::CopyFile(pki().trustedRootsPath, store + "/test-roots.pem"));
  EXPECT_EQ(Verify(m_signed), S_OK);
  EXPECT_EQ(Verify(m_stamped), S_OK);
}

TEST_F(TrustedRoots, FromTheSystemBundleSetting) {
  setenv("HOSTWIN_SYSTEM_ROOTS", pki().trustedRootsPath.c_str(), 1);
  EXPECT_EQ(Verify(m_signed), S_OK);
  setenv("HOSTWIN_SYSTEM_ROOTS", "none", 1);
  EXPECT_EQ(Verify(m_signed), CERT_E_CHAINING);
}

TEST_F(TrustedRoots, AnUntrustedTimestampAuthorityFailsClosed) {
  // The signer's root is trusted, the timestamping root is not: the
  // timestamp cannot be relied on, and the signature is not accepted
  // at "now" instead.
  setenv("HOSTWIN_TRUSTED_ROOTS", pki().root.certPath.c_str(), 1);
  EXPECT_EQ(Verify(m_stamped), TRUST_E_TIME_STAMP);
  testsign::SignOptions legacy;
  legacy.timestamp = testsign::Timestamp::kLegacy;
  Fixtures &f = Fixtures::Get();
  EXPECT_EQ(Verify(f.Signed("legacy.exe", f.UnsignedPe(), pki().signer, legacy)), TRUST_E_TIME_STAMP);
}

TEST_F(TrustedRoots, ATimestampAuthorityWithoutTheTimeStampingUsageFailsClosed) {
  // A countersignature by a code-signing certificate of a trusted root.
  Fixtures &f = Fixtures::Get();
  setenv("HOSTWIN_TRUSTED_ROOTS", pki().trustedRootsPath.c_str(), 1);
  testsign::TestPki mixed = pki();
  mixed.tsa = pki().signer;
  testsign::SignOptions stamped;
  stamped.timestamp = testsign::Timestamp::kLegacy;
  const std::string out = f.Path("stamped-by-signer.exe");
  std::string log;
  ASSERT_TRUE(testsign::Sign(mixed, pki().signer, f.UnsignedPe(), out, stamped, &log)) << log;
  EXPECT_EQ(Verify(out), TRUST_E_TIME_STAMP);
}

}  // namespace
}  // namespace trusttest
