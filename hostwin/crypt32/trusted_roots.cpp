// The trusted roots: the system's CA bundle, the prefix's own root store and
// the roots named by HOSTWIN_TRUSTED_ROOTS.
#include "hw/certs.h"
#include "hw/config.h"
#include "hw/paths.h"

#include <openssl/err.h>
#include <openssl/pem.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace {

// Adds every certificate of a PEM file; other content is skipped.
void AddPemFile(X509_STORE *store, const std::string &path) {
  BIO *in = BIO_new_file(path.c_str(), "r");
  if (!in) {
    ERR_clear_error();
    return;
  }
  while (X509 *cert = PEM_read_bio_X509(in, nullptr, nullptr, nullptr)) {
    X509_STORE_add_cert(store, cert);  // a duplicate is not an error worth keeping
    X509_free(cert);
  }
  BIO_free(in);
  ERR_clear_error();  // the end of the file reads as an error
}

// A PEM file, or a folder whose regular files are PEM files.
void AddPemPath(X509_STORE *store, const std::string &path) {
  struct stat st{};
  if (path.empty() || stat(path.c_str(), &st) != 0) return;
  if (S_ISREG(st.st_mode)) {
    AddPemFile(store, path);
    return;
  }
  if (!S_ISDIR(st.st_mode)) return;
  std::error_code ec;
  for (const auto &entry : std::filesystem::directory_iterator(path, ec)) {
    if (entry.is_regular_file(ec)) AddPemFile(store, entry.path().string());
  }
}

std::string SystemRootsPath() {
  std::string configured = hw::Env("HOSTWIN_SYSTEM_ROOTS");
  if (!configured.empty()) return configured;
  std::string fromOpenSsl = hw::Env(X509_get_default_cert_file_env());
  return fromOpenSsl.empty() ? std::string(X509_get_default_cert_file()) : fromOpenSsl;
}

}  // namespace

namespace hw {

std::string PrefixRootStoreDir() {
  HostPath path = ToHostPath(u"C:\\windows\\system32\\hostwin\\roots");
  return path.error ? std::string() : path.path;
}

X509StorePtr LoadTrustedRoots() {
  X509StorePtr store(X509_STORE_new());
  if (!store) return store;
  std::string system = SystemRootsPath();
  if (system != "none") AddPemPath(store.get(), system);
  AddPemPath(store.get(), PrefixRootStoreDir());
  std::string extra = Env("HOSTWIN_TRUSTED_ROOTS");
  size_t start = 0;
  while (start <= extra.size()) {
    size_t end = extra.find(':', start);
    if (end == std::string::npos) end = extra.size();
    AddPemPath(store.get(), extra.substr(start, end - start));
    start = end + 1;
  }
  return store;
}

}  // namespace hw
