// Fixtures shared by the trust service's tests: a throw-away PKI made once
// per test process and trusted through HOSTWIN_TRUSTED_ROOTS, signed files
// made on demand, and calls of the trust service as the system makes them.
#pragma once

#include <softpub.h>
#include <windows.h>
#include <wintrust.h>

#include "SigningFixtures.h"

#include <functional>
#include <string>

namespace trusttest {

class Fixtures {
 public:
  // The process's fixtures; the first call makes the PKI and trusts its
  // roots (the code-signing root and the timestamping root).
  static Fixtures &Get();

  const testsign::TestPki &pki() const { return m_pki; }
  std::string Path(const std::string &name) const { return m_folder + "/" + name; }

  // Unsigned files, made once.
  std::string UnsignedPe(bool pe32Plus = false);
  std::string UnsignedDatabase();
  // `input` signed by `signer` into a file called `name`, made once.
  std::string Signed(const std::string &name, const std::string &input, const testsign::Identity &signer,
                     const testsign::SignOptions &options = {});
  // A copy of `path` called `name`, changed by `edit`.
  std::string Edited(const std::string &name, const std::string &path, const std::function<void(const std::string &)> &edit);

  // The marker bytes inside the database's payload stream and summary
  // information, to damage them.
  static constexpr const char *kPayloadMarker = "ORVANDEL-PAYLOAD-MARKER-0123456789";
  static constexpr const char *kTitleMarker = "OrvandelSummaryTitleMarker";

 private:
  Fixtures();
  std::string m_folder;
  testsign::TestPki m_pki;
};

// WinVerifyTrust with the settings the system passes, on a host path.
LONG Verify(const std::string &path, DWORD uiChoice = WTD_UI_NONE,
            HWND window = static_cast<HWND>(INVALID_HANDLE_VALUE));

// The bytes of the signature a signed file carries (osslsigncode
// extract-signature), and values inside it, to find them in the file.
std::string ExtractSignature(const std::string &path);
std::string SignerSignatureValue(const std::string &pkcs7);
std::string CountersignatureValue(const std::string &pkcs7);
std::string TimestampTokenSignatureValue(const std::string &pkcs7);
// Flips a byte in the middle of the first occurrence of `bytes` in the
// file; false when they are not there.
bool DamageBytes(const std::string &path, const std::string &bytes);

// The lines of the test's transcript.
std::vector<std::string> TranscriptLines();

}  // namespace trusttest
