// The file digests the signature covers, and files whose structure is
// damaged: every one gives a failure code, none a crash, hang or huge
// allocation.
#include "TrustFixtures.h"

#include "CompoundFileWriter.h"
#include "PeWriter.h"
#include "TestEnvironment.h"
#include "hw/authenticode.h"

#include <openssl/evp.h>

#include <gtest/gtest.h>

#include <cstring>
#include <regex>

namespace trusttest {
namespace {

using testsign::CfbFile;
using testsign::CfbNode;

std::string Hex(const std::vector<uint8_t> &bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text;
  for (uint8_t b : bytes) {
    text += digits[b >> 4];
    text += digits[b & 15];
  }
  return text;
}

std::string Sha256Hex(const std::string &bytes) {
  std::vector<uint8_t> digest(32);
  EVP_Digest(bytes.data(), bytes.size(), digest.data(), nullptr, EVP_sha256(), nullptr);
  return Hex(digest);
}

HRESULT DigestOf(std::span<const uint8_t> bytes, std::string *hex, const EVP_MD *md = EVP_sha256()) {
  hw::trust::MemorySource source(bytes);
  std::vector<uint8_t> digest;
  HRESULT hr = hw::trust::ComputeFileDigest(source, md, &digest);
  if (hex) *hex = Hex(digest);
  return hr;
}

HRESULT DigestOfFile(const std::string &path, std::string *hex, const EVP_MD *md = EVP_sha256()) {
  std::string bytes = testenv::ReadFile(path);
  return DigestOf(std::span<const uint8_t>(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()), hex, md);
}

// What osslsigncode computes for the file: "Calculated message digest" for
// an image, "Calculated DigitalSignature" (which comes first) for a
// database.
std::string OsslsigncodeDigest(const std::string &path) {
  std::string output;
  testenv::RunProgram({testsign::FindProgram("osslsigncode"), "verify", "-in", path}, &output);
  std::smatch match;
  return std::regex_search(output, match, std::regex("Calculated (message digest|DigitalSignature) *: *([0-9A-F]+)")) ? match[2].str()
                                                                                                  : std::string();
}

using testsign::MakeStorage;
using testsign::MakeStream;

// A database with a sub-storage, names whose byte order differs from their
// code-unit and case-blind orders, a name that begins another, and both
// signature streams.
CfbNode OrderingDatabase() {
  CfbNode storage = MakeStorage(u"S", 0x5A);
  storage.children = {MakeStream(u"z", std::string(5000, 'z')), MakeStream(u"y", "in-storage-y"),
                      MakeStream(u"\x05" u"DigitalSignature", "hashed-below-the-root")};
  CfbNode root = MakeStorage(u"Root Entry", 0x11);
  root.children = {MakeStream(u"B", "upper-b"),
                   MakeStream(u"a", "lower-a"),
                   MakeStream(u"AB", "ab"),
                   MakeStream(u"A", "a-alone"),
                   storage,
                   MakeStream(u"\u0100", "u0100"),
                   MakeStream(u"\u00FF", "u00ff"),
                   MakeStream(u"\x05" u"DigitalSignature", "not-hashed-at-the-root"),
                   MakeStream(u"\x05" u"MsiDigitalSignatureEx", "EX-FIRST")};
  return root;
}

std::span<const uint8_t> Bytes(const CfbFile &file) { return {file.bytes.data(), file.bytes.size()}; }

TEST(FileDigest, DatabaseOrderIsByStoredBytesWithStoragesAndClassIds) {
  CfbFile file = testsign::WriteCompoundFile(OrderingDatabase());
  std::string digest;
  ASSERT_EQ(DigestOf(Bytes(file), &digest), S_OK);
  const std::string expected = std::string("EX-FIRST") + "u0100" + "a-alone" + "ab" + "upper-b" +
                               "hashed-below-the-root" + "in-storage-y" + std::string(5000, 'z') +
                               std::string(16, '\x5A') + "lower-a" + "u00ff" + std::string(16, '\x11');
  EXPECT_EQ(digest, Sha256Hex(expected));
}

TEST(FileDigest, SameAsOsslsigncodeForImagesAndFlatDatabases) {
  Fixtures &f = Fixtures::Get();
  testsign::SignOptions dse;
  dse.addMsiDse = true;
  testsign::SignOptions sha1;
  sha1.digest = "sha1";
  struct Row {
    std::string path;
    const EVP_MD *md;
  } rows[] = {
      {f.Signed("signed.exe", f.UnsignedPe(), f.pki().signer), EVP_sha256()},
      {f.Signed("signed64.exe", f.UnsignedPe(true), f.pki().signer), EVP_sha256()},
      {f.Signed("sha1.exe", f.UnsignedPe(), f.pki().signer, sha1), EVP_sha1()},
      {f.Signed("signed.msi", f.UnsignedDatabase(), f.pki().signer), EVP_sha256()},
      {f.Signed("dse.msi", f.UnsignedDatabase(), f.pki().signer, dse), EVP_sha256()},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.path);
    std::string ours;
    ASSERT_EQ(DigestOfFile(row.path, &ours, row.md), S_OK);
    EXPECT_EQ(ours, OsslsigncodeDigest(row.path));
  }
}

uint32_t Le32At(const std::vector<uint8_t> &b, uint64_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
void Put32At(std::vector<uint8_t> &b, uint64_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

TEST(FileDigest, DamagedCompoundFilesAreRejected) {
  const CfbFile sound = testsign::WriteCompoundFile(OrderingDatabase());
  ASSERT_EQ(DigestOf(Bytes(sound), nullptr), S_OK);
  const uint64_t big = sound.entryOffsets[sound.EntryIndex(u"z")];
  const uint64_t small = sound.entryOffsets[sound.EntryIndex(u"B")];
  const uint64_t storage = sound.entryOffsets[sound.EntryIndex(u"S")];
  const uint32_t bigStart = Le32At(sound.bytes, big + testsign::kEntryStart);

  struct Damage {
    const char *name;
    std::function<void(std::vector<uint8_t> &)> apply;
  } damages[] = {
      {"header cut short", [](std::vector<uint8_t> &b) { b.resize(300); }},
      {"byte order mark", [](std::vector<uint8_t> &b) { b[28] = 0; }},
      {"4096-byte sectors in a version 3 header", [](std::vector<uint8_t> &b) { b[30] = 12; }},
      {"more FAT sectors than the file holds", [](std::vector<uint8_t> &b) { Put32At(b, 44, 0x7FFFFFFF); }},
      {"directory starts outside the file", [](std::vector<uint8_t> &b) { Put32At(b, 48, 0x00FFFFFF); }},
      {"file cut before its last sectors", [](std::vector<uint8_t> &b) { b.resize(b.size() - 1024); }},
      {"stream chain loops on itself",
       [&](std::vector<uint8_t> &b) { Put32At(b, sound.fatOffset + 4 * bigStart, bigStart); }},
      {"stream chain ends early",
       [&](std::vector<uint8_t> &b) { Put32At(b, sound.fatOffset + 4 * bigStart, 0xFFFFFFFE); }},
      {"stream chain leaves the file",
       [&](std::vector<uint8_t> &b) { Put32At(b, sound.fatOffset + 4 * bigStart, 0x00ABCDEF); }},
      {"stream larger than the file", [&](std::vector<uint8_t> &b) { Put32At(b, big + testsign::kEntrySize, 0xFFFFFFF0); }},
      {"stream starts outside the file", [&](std::vector<uint8_t> &b) { Put32At(b, big + testsign::kEntryStart, 0x00FFFFF0); }},
      {"small stream starts outside the mini stream",
       [&](std::vector<uint8_t> &b) { Put32At(b, small + testsign::kEntryStart, 0x0FFFFFFF); }},
      {"storage's child is the root", [&](std::vector<uint8_t> &b) { Put32At(b, storage + testsign::kEntryChild, 0); }},
      {"an entry is its own sibling", [&](std::vector<uint8_t> &b) {
         Put32At(b, small + testsign::kEntryLeft, static_cast<uint32_t>(sound.EntryIndex(u"B")));
       }},
      {"sibling outside the directory", [&](std::vector<uint8_t> &b) { Put32At(b, small + testsign::kEntryRight, 5000); }},
      {"unused entry in the tree", [&](std::vector<uint8_t> &b) { b[small + 66] = 0; }},
      {"name length beyond its field", [&](std::vector<uint8_t> &b) { b[small + 64] = 200; }},
  };
  for (const Damage &damage : damages) {
    SCOPED_TRACE(damage.name);
    std::vector<uint8_t> bytes = sound.bytes;
    damage.apply(bytes);
    EXPECT_EQ(DigestOf(std::span<const uint8_t>(bytes.data(), bytes.size()), nullptr), TRUST_E_SUBJECT_FORM_UNKNOWN);
  }
}

TEST(FileDigest, StreamsSharingSectorsCannotMultiplyTheWork) {
  // Hundreds of entries all naming the same large stream: together they
  // claim far more than the file holds.
  CfbNode root = MakeStorage(u"Root Entry");
  for (int i = 0; i < 300; ++i) root.children.push_back(MakeStream(u"s" + std::u16string(1, char16_t(u'A' + i % 26)) +
                                                                   std::u16string(1, char16_t(u'a' + i / 26)),
                                                               i == 0 ? std::string(100000, 'x') : "tiny"));
  CfbFile file = testsign::WriteCompoundFile(root);
  const uint64_t first = file.entryOffsets[1];
  const uint32_t start = Le32At(file.bytes, first + testsign::kEntryStart);
  for (size_t i = 2; i < file.entryOffsets.size(); ++i) {
    Put32At(file.bytes, file.entryOffsets[i] + testsign::kEntryStart, start);
    Put32At(file.bytes, file.entryOffsets[i] + testsign::kEntrySize, 100000);
  }
  EXPECT_EQ(DigestOf(Bytes(file), nullptr), TRUST_E_SUBJECT_FORM_UNKNOWN);
}

// The certificate table's directory entry in an image from the PE writer.
constexpr uint64_t kSecurityEntry = 0x58 + 128;

void PutFile32(const std::string &path, uint64_t at, uint32_t value) {
  std::string bytes = testenv::ReadFile(path);
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
  testenv::WriteFile(path, bytes);
}

uint32_t FileLe32(const std::string &path, uint64_t at) {
  std::string bytes = testenv::ReadFile(path);
  std::vector<uint8_t> b(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at) + 4);
  return Le32At(b, 0);
}

TEST(DamagedFiles, PeImagesGiveFailureCodes) {
  Fixtures &f = Fixtures::Get();
  const std::string signedFile = f.Signed("signed.exe", f.UnsignedPe(), f.pki().signer);
  const uint32_t table = FileLe32(signedFile, kSecurityEntry);
  const uint32_t tableSize = FileLe32(signedFile, kSecurityEntry + 4);
  struct Row {
    const char *name;
    std::function<void(const std::string &)> edit;
    HRESULT expected;
  } rows[] = {
      {"only the DOS header",
       [](const std::string &p) { testenv::WriteFile(p, testenv::ReadFile(p).substr(0, 64)); },
       TRUST_E_SUBJECT_FORM_UNKNOWN},
      {"PE header offset outside the file", [](const std::string &p) { PutFile32(p, 0x3C, 0x7FFFFFF0); },
       TRUST_E_SUBJECT_FORM_UNKNOWN},
      {"unknown optional header magic", [](const std::string &p) { PutFile32(p, 0x58, 0x0999); },
       TRUST_E_SUBJECT_FORM_UNKNOWN},
      {"cut in the middle of the code",
       [](const std::string &p) { testenv::WriteFile(p, testenv::ReadFile(p).substr(0, 0x400)); },
       TRUST_E_NOSIGNATURE},
      {"certificate table outside the file", [](const std::string &p) { PutFile32(p, kSecurityEntry, 0x7FFFFFF0); },
       TRUST_E_NOSIGNATURE},
      {"certificate table larger than the file",
       [](const std::string &p) { PutFile32(p, kSecurityEntry + 4, 0xFFFFFFF0); }, TRUST_E_NOSIGNATURE},
      {"certificate table over the headers", [](const std::string &p) { PutFile32(p, kSecurityEntry, 0x40); },
       TRUST_E_NOSIGNATURE},
      {"entry longer than its table", [table](const std::string &p) { PutFile32(p, table, 0x10000000); },
       TRUST_E_NOSIGNATURE},
      {"entry of another type", [table](const std::string &p) { PutFile32(p, table + 4, 0x00010200); },
       TRUST_E_NOSIGNATURE},
      {"garbage instead of PKCS#7",
       [table, tableSize](const std::string &p) {
         std::string bytes = testenv::ReadFile(p);
         for (uint32_t i = table + 8; i < table + tableSize; ++i) bytes[i] = static_cast<char>(i * 7 + 3);
         testenv::WriteFile(p, bytes);
       },
       CRYPT_E_BAD_MSG},
      {"PKCS#7 cut short", [table](const std::string &p) { PutFile32(p, table, 200); }, CRYPT_E_BAD_MSG},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    const std::string path = f.Edited(std::string("damaged-") + row.name + ".exe", signedFile, row.edit);
    EXPECT_EQ(static_cast<uint32_t>(Verify(path)), static_cast<uint32_t>(row.expected));
  }
}

TEST(DamagedFiles, SignedDatabasesGiveFailureCodes) {
  Fixtures &f = Fixtures::Get();
  const std::string signedFile = f.Signed("signed.msi", f.UnsignedDatabase(), f.pki().signer);
  const uint64_t size = testenv::ReadFile(signedFile).size();
  struct Row {
    const char *name;
    std::function<void(const std::string &)> edit;
    HRESULT expected;
  } rows[] = {
      {"header damaged", [](const std::string &p) { PutFile32(p, 28, 0); }, TRUST_E_SUBJECT_FORM_UNKNOWN},
      {"cut short",
       [size](const std::string &p) { testenv::WriteFile(p, testenv::ReadFile(p).substr(0, size - 2048)); },
       TRUST_E_SUBJECT_FORM_UNKNOWN},
      {"signature damaged",
       [](const std::string &p) { EXPECT_TRUE(DamageBytes(p, SignerSignatureValue(ExtractSignature(p)))); },
       TRUST_E_CERT_SIGNATURE},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    const std::string path = f.Edited(std::string("damaged-") + row.name + ".msi", signedFile, row.edit);
    EXPECT_EQ(static_cast<uint32_t>(Verify(path)), static_cast<uint32_t>(row.expected));
  }
}

}  // namespace
}  // namespace trusttest
