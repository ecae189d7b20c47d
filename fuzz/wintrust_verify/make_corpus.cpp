// Writes the seed corpus of fuzz_wintrust_verify and the roots it trusts:
// small signed images and databases with each timestamp form, and their
// signatures on their own. Run by hand when the seeds need renewing:
//   wintrust_fuzz_corpus_maker fuzz/wintrust_verify
#include "CompoundFileWriter.h"
#include "PeWriter.h"
#include "SigningFixtures.h"
#include "TestEnvironment.h"

#include <cstdio>
#include <string>

namespace {

bool Check(bool ok, const std::string &what, const std::string &log = "") {
  if (!ok) fprintf(stderr, "%s failed\n%s\n", what.c_str(), log.c_str());
  return ok;
}

std::string Signature(const std::string &file, const std::string &work) {
  std::string out = work + "/signature.p7";
  remove(out.c_str());  // the tool does not overwrite
  testenv::RunProgram({testsign::FindProgram("osslsigncode"), "extract-signature", "-in", file, "-out", out});
  return testenv::ReadFile(out);
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s <fuzz/wintrust_verify folder>\n", argv[0]);
    return 2;
  }
  const std::string target = argv[1];
  const std::string work = testenv::MakeTempDir("corpus");
  testsign::TestPki pki(work + "/pki");
  testsign::CopyFile(pki.trustedRootsPath, target + "/roots.pem");

  testsign::PeOptions small;
  small.codeSize = 300;
  const std::string pe = work + "/small.exe";
  testsign::PeOptions wide = small;
  wide.pe32Plus = true;
  const std::string pe64 = work + "/small64.exe";
  const std::string msi = work + "/small.msi";
  std::string log;
  if (!Check(testsign::WritePe(pe, small) && testsign::WritePe(pe64, wide), "PE") ||
      !Check(testsign::WriteDatabase(msi, "Fuzz", "MARKER", 64, &log), "database", log))
    return 1;

  testsign::SignOptions rfc3161, legacy, dse;
  rfc3161.timestamp = testsign::Timestamp::kRfc3161;
  legacy.timestamp = testsign::Timestamp::kLegacy;
  dse.addMsiDse = true;
  dse.digest = "sha1";
  struct Seed {
    const char *name;
    std::string input;
    const testsign::Identity &signer;
    testsign::SignOptions options;
  } seeds[] = {
      {"pe-rfc3161.exe", pe, pki.signer, rfc3161},
      {"pe-legacy.exe", pe, pki.signer, legacy},
      {"pe64-expired-rfc3161.exe", pe64, pki.expired, rfc3161},
      {"msi-rfc3161.msi", msi, pki.signer, rfc3161},
      {"msi-legacy.msi", msi, pki.signer, legacy},
      {"msi-dse-sha1.msi", msi, pki.signer, dse},
  };
  for (Seed &seed : seeds) {
    if (seed.options.timestamp == testsign::Timestamp::kRfc3161 && &seed.signer == &pki.expired)
      seed.options.timestampTime = pki.expiredSignerValidAt;
    const std::string out = target + "/corpus/" + seed.name;
    if (!Check(testsign::Sign(pki, seed.signer, seed.input, out, seed.options, &log), seed.name, log)) return 1;
  }
  testenv::WriteFile(target + "/corpus/signature-rfc3161.p7", Signature(target + "/corpus/pe-rfc3161.exe", work));
  testenv::WriteFile(target + "/corpus/signature-legacy.p7", Signature(target + "/corpus/pe-legacy.exe", work));

  // A database with a sub-storage, which the signing tool cannot write.
  testsign::CfbNode root = testsign::MakeStorage(u"Root Entry", 1);
  testsign::CfbNode storage = testsign::MakeStorage(u"Sub", 2);
  storage.children = {testsign::MakeStream(u"inner", "inner stream"), testsign::MakeStream(u"big", std::string(4200, 'b'))};
  root.children = {testsign::MakeStream(u"\x05SummaryInformation", "summary"), storage,
                   testsign::MakeStream(u"\x05" u"DigitalSignature", Signature(target + "/corpus/msi-rfc3161.msi", work))};
  testsign::CfbFile file = testsign::WriteCompoundFile(root);
  testenv::WriteFile(target + "/corpus/substorage.msi", std::string(file.bytes.begin(), file.bytes.end()));
  return 0;
}
