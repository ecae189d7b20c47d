#include "security_warning.h"

#include "hw/config.h"
#include "hw/text.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace hw::trust {
namespace {

void AppendJsonString(std::string &out, std::string_view text) {
  out += '"';
  for (char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

}  // namespace

std::string DescribeTrustResult(HRESULT result) {
  switch (result) {
    case TRUST_E_NOSIGNATURE: return "No signature was present in the subject.";
    case TRUST_E_BAD_DIGEST: return "The digital signature of the object did not verify.";
    case TRUST_E_CERT_SIGNATURE: return "The signature of the certificate cannot be verified.";
    case TRUST_E_TIME_STAMP: return "The timestamp signature and/or certificate could not be verified or is malformed.";
    case TRUST_E_NO_SIGNER_CERT: return "The certificate for the signer of the message is invalid or not found.";
    case TRUST_E_SUBJECT_FORM_UNKNOWN:
      return "The form specified for the subject is not one supported or known by the specified trust provider.";
    case CERT_E_UNTRUSTEDROOT:
      return "A certificate chain processed, but terminated in a root certificate which is not trusted by the trust "
             "provider.";
    case CERT_E_CHAINING: return "A certificate chain could not be built to a trusted root authority.";
    case CERT_E_EXPIRED:
      return "A required certificate is not within its validity period when verifying against the current system "
             "clock or the timestamp in the signed file.";
    case CERT_E_WRONG_USAGE: return "The certificate is not valid for the requested usage.";
    case CRYPT_E_BAD_MSG: return "Not a cryptographic message or the cryptographic message is not formatted correctly.";
    case CRYPT_E_FILE_ERROR: return "An error occurred while reading or writing to a file.";
    case NTE_BAD_ALGID: return "Invalid algorithm specified.";
    default: break;
  }
  if (result == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) return "The system cannot find the file specified.";
  if (result == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)) return "The system cannot find the path specified.";
  if (result == HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)) return "Access is denied.";
  char text[64];
  snprintf(text, sizeof text, "The file could not be verified (0x%08X).", static_cast<unsigned>(result));
  return text;
}

void RecordSecurityWarning(std::u16string_view path, HRESULT result) {
  const std::string transcript = Env("HOSTWIN_TRANSCRIPT");
  if (transcript.empty()) return;
  const std::string text = "The publisher of \"" + Utf16ToUtf8(path) + "\" could not be verified.\n\n" +
                           DescribeTrustResult(result);
  std::string line = "{\"kind\":\"security-warning\",\"title\":";
  AppendJsonString(line, "Security Warning");
  line += ",\"text\":";
  AppendJsonString(line, text);
  // Nobody can choose otherwise: the window only informs.
  line += ",\"answer\":\"OK\"}\n";
  int fd = open(transcript.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  ssize_t written = write(fd, line.data(), line.size());
  (void)written;  // a transcript that cannot be written loses the entry, nothing more
  close(fd);
}

}  // namespace hw::trust
