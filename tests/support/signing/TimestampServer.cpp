// A local legacy timestamp server. The request (base64 in an HTTP POST) is
// a SEQUENCE { OID 1.3.6.1.4.1.311.3.2.1, ContentInfo { data, signature
// value } }; the answer (base64) is a PKCS#7 SignedData over that value by
// the timestamping authority, whose SignerInfo the signing tool keeps as
// the countersignature.
#include "SigningFixtures.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/pkcs7.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <stdexcept>
#include <thread>

namespace testsign {
namespace {

std::string Base64Decode(const std::string &text) {
  std::string clean;
  for (char c : text) {
    if (!isspace(static_cast<unsigned char>(c))) clean += c;
  }
  std::string out(clean.size() / 4 * 3 + 3, '\0');
  int n = EVP_DecodeBlock(reinterpret_cast<unsigned char *>(out.data()),
                          reinterpret_cast<const unsigned char *>(clean.data()), static_cast<int>(clean.size()));
  if (n < 0) return std::string();
  size_t padding = 0;
  for (size_t i = clean.size(); i > 0 && clean[i - 1] == '='; --i) ++padding;
  out.resize(static_cast<size_t>(n) - padding);
  return out;
}

std::string Base64Encode(const std::string &bytes) {
  std::string out((bytes.size() + 2) / 3 * 4 + 1, '\0');
  int n = EVP_EncodeBlock(reinterpret_cast<unsigned char *>(out.data()),
                          reinterpret_cast<const unsigned char *>(bytes.data()), static_cast<int>(bytes.size()));
  out.resize(static_cast<size_t>(n));
  return out;
}

// The signature value the request asks to countersign.
std::string RequestedContent(const std::string &der) {
  const unsigned char *p = reinterpret_cast<const unsigned char *>(der.data());
  const unsigned char *end = p + der.size();
  long length = 0;
  int tag = 0, cls = 0;
  if (ASN1_get_object(&p, &length, &tag, &cls, end - p) & 0x80 || tag != V_ASN1_SEQUENCE) return std::string();
  while (p < end) {
    const unsigned char *element = p;
    if (ASN1_get_object(&p, &length, &tag, &cls, end - p) & 0x80) return std::string();
    if (tag == V_ASN1_SEQUENCE) {
      const unsigned char *cursor = element;
      PKCS7 *info = d2i_PKCS7(nullptr, &cursor, end - element);
      std::string content;
      if (info && PKCS7_type_is_data(info) && info->d.data)
        content.assign(reinterpret_cast<const char *>(info->d.data->data), static_cast<size_t>(info->d.data->length));
      PKCS7_free(info);
      return content;
    }
    p += length;
  }
  return std::string();
}

}  // namespace

struct LegacyTimestampServer::State {
  int listening = -1;
  int port = 0;
  std::atomic<bool> stop{false};
  std::thread thread;
  X509 *cert = nullptr;
  EVP_PKEY *key = nullptr;
  time_t signingTime = 0;

  std::string Countersign(const std::string &content) {
    BIO *data = BIO_new_mem_buf(content.data(), static_cast<int>(content.size()));
    const int flags = PKCS7_BINARY | PKCS7_NOSMIMECAP | PKCS7_PARTIAL;
    PKCS7 *signature = PKCS7_sign(cert, key, nullptr, data, flags);
    std::string der;
    if (signature) {
      PKCS7_SIGNER_INFO *signer = sk_PKCS7_SIGNER_INFO_value(PKCS7_get_signer_info(signature), 0);
      PKCS7_add_signed_attribute(signer, NID_pkcs9_signingTime, V_ASN1_UTCTIME,
                                 ASN1_UTCTIME_set(nullptr, signingTime));
      if (PKCS7_final(signature, data, flags)) {
        unsigned char *encoded = nullptr;
        int n = i2d_PKCS7(signature, &encoded);
        if (n > 0) der.assign(reinterpret_cast<char *>(encoded), static_cast<size_t>(n));
        OPENSSL_free(encoded);
      }
    }
    PKCS7_free(signature);
    BIO_free(data);
    return der;
  }

  bool ReadRequest(int fd, std::string *body) {
    std::string request;
    char buffer[4096];
    size_t headerEnd = std::string::npos;
    size_t contentLength = 0;
    for (;;) {
      if (headerEnd != std::string::npos && request.size() >= headerEnd + 4 + contentLength) break;
      pollfd ready{fd, POLLIN, 0};
      if (poll(&ready, 1, 5000) <= 0) return false;
      ssize_t n = read(fd, buffer, sizeof buffer);
      if (n <= 0) return false;
      request.append(buffer, static_cast<size_t>(n));
      if (headerEnd == std::string::npos && (headerEnd = request.find("\r\n\r\n")) != std::string::npos) {
        std::string head = request.substr(0, headerEnd);
        for (char &c : head) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        size_t at = head.find("content-length:");
        if (at != std::string::npos) contentLength = std::stoul(head.substr(at + 15));
      }
    }
    *body = request.substr(headerEnd + 4, contentLength);
    return true;
  }

  void Answer(int fd) {
    std::string body;
    std::string answer;
    if (ReadRequest(fd, &body)) {
      std::string content = RequestedContent(Base64Decode(body));
      std::string der = content.empty() ? std::string() : Countersign(content);
      if (!der.empty()) answer = Base64Encode(der);
    }
    std::string response =
        answer.empty() ? std::string("HTTP/1.0 500 Error\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
                       : "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                             std::to_string(answer.size()) + "\r\nConnection: close\r\n\r\n" + answer;
    for (size_t sent = 0; sent < response.size();) {
      ssize_t n = write(fd, response.data() + sent, response.size() - sent);
      if (n <= 0) break;
      sent += static_cast<size_t>(n);
    }
  }

  void Serve() {
    while (!stop) {
      pollfd ready{listening, POLLIN, 0};
      if (poll(&ready, 1, 100) <= 0) continue;
      int fd = accept(listening, nullptr, nullptr);
      if (fd < 0) continue;
      Answer(fd);
      close(fd);
    }
  }
};

LegacyTimestampServer::LegacyTimestampServer(const Identity &authority, time_t signingTime)
    : m_state(std::make_unique<State>()) {
  State &state = *m_state;
  state.signingTime = signingTime;
  if (FILE *in = fopen(authority.certPath.c_str(), "r")) {
    state.cert = PEM_read_X509(in, nullptr, nullptr, nullptr);
    fclose(in);
  }
  if (FILE *in = fopen(authority.keyPath.c_str(), "r")) {
    state.key = PEM_read_PrivateKey(in, nullptr, nullptr, nullptr);
    fclose(in);
  }
  state.listening = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  if (!state.cert || !state.key || state.listening < 0 ||
      bind(state.listening, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
      listen(state.listening, 4) != 0 ||
      getsockname(state.listening, reinterpret_cast<sockaddr *>(&address), &size) != 0)
    throw std::runtime_error("cannot start the timestamp server");
  state.port = ntohs(address.sin_port);
  state.thread = std::thread([&state] { state.Serve(); });
}

LegacyTimestampServer::~LegacyTimestampServer() {
  m_state->stop = true;
  if (m_state->thread.joinable()) m_state->thread.join();
  if (m_state->listening >= 0) close(m_state->listening);
  X509_free(m_state->cert);
  EVP_PKEY_free(m_state->key);
}

std::string LegacyTimestampServer::Url() const { return "http://127.0.0.1:" + std::to_string(m_state->port) + "/"; }

}  // namespace testsign
