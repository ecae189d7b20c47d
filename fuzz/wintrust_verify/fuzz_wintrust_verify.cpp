// Arbitrary bytes to the trust service's verifier. Bytes that begin like a
// PE image or a compound file are verified as a file, and their digest is
// taken whether or not their signature holds. Any other bytes are checked
// as a signature on its own, with the file digest taken as matching, so
// that the signer, timestamp and chain checks are reached.
#include "hw/authenticode.h"

#include <openssl/pem.h>

#include <cstdint>
#include <cstdio>
#include <ctime>

namespace {

// The roots the seed corpus was signed under, so that chains can succeed.
X509_STORE *Roots() {
  static X509_STORE *roots = [] {
    X509_STORE *store = X509_STORE_new();
    if (FILE *in = fopen(ORV_FUZZ_ROOTS, "r")) {
      while (X509 *cert = PEM_read_X509(in, nullptr, nullptr, nullptr)) {
        X509_STORE_add_cert(store, cert);
        X509_free(cert);
      }
      fclose(in);
    }
    return store;
  }();
  return roots;
}

bool LooksLikeAFile(const uint8_t *data, size_t size) {
  static const uint8_t kCompoundFile[4] = {0xD0, 0xCF, 0x11, 0xE0};
  return (size >= 2 && data[0] == 'M' && data[1] == 'Z') ||
         (size >= 4 && data[0] == kCompoundFile[0] && data[1] == kCompoundFile[1] && data[2] == kCompoundFile[2] &&
          data[3] == kCompoundFile[3]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  const time_t now = time(nullptr);
  if (LooksLikeAFile(data, size)) {
    hw::trust::MemorySource file(bytes);
    hw::trust::VerifyFile(file, Roots(), now);
    std::vector<uint8_t> digest;
    hw::trust::ComputeFileDigest(file, EVP_sha256(), &digest);
  } else {
    hw::trust::VerifySignature(bytes, [](const EVP_MD *, std::span<const uint8_t>) { return S_OK; }, Roots(), now);
  }
  return 0;
}
