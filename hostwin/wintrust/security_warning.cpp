#include "security_warning.h"

#include <winbase.h>
#include <winuser.h>

#include "hw/text.h"
#include "hw/ui.h"

#include <cstdio>

namespace hw::trust {

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
  // Failures to open or read the file are system errors with system texts.
  WCHAR text[512];
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                static_cast<DWORD>(result), 0, text, 512, nullptr);
  while (length > 0 && (text[length - 1] == u'\n' || text[length - 1] == u'\r')) --length;
  if (length > 0) return Utf16ToUtf8(std::u16string_view(text, length));
  char fallback[64];
  snprintf(fallback, sizeof fallback, "The file could not be verified (0x%08X).", static_cast<unsigned>(result));
  return fallback;
}

void RecordSecurityWarning(std::u16string_view path, HRESULT result) {
  ui::Prompt prompt;
  prompt.kind = "security-warning";
  prompt.title = u"Security Warning";
  prompt.text = u"The publisher of \"" + std::u16string(path) + u"\" could not be verified.\n\n" +
                Utf8ToUtf16(DescribeTrustResult(result));
  prompt.style = MB_OK | MB_ICONWARNING;
  prompt.buttons = ui::MessageBoxButtons(MB_OK);  // the window only informs
  ui::Ask(prompt);
}

}  // namespace hw::trust
