// Helpers shared by the setup tests: the process's arguments, the run's
// boxes as the transcript shows them, and the setup mutex held elsewhere.
#pragma once

#include "TestEnvironment.h"
#include "Transcript.h"
#include "hw/process.h"
#include "hw/text.h"

#include <memory>
#include <string>
#include <vector>

namespace setuptest {

// Makes the process's arguments "setup.exe" followed by `arguments`.
inline void SetArguments(const std::vector<std::u16string> &arguments) {
  std::vector<std::u16string> all{u"Z:\\tests\\setup.exe"};
  all.insert(all.end(), arguments.begin(), arguments.end());
  hw::SetProcessArguments(all);
}

inline std::vector<testenv::TranscriptEntry> Boxes() {
  return testenv::EntriesOfKind(testenv::ReadTranscript(), "messagebox");
}

inline std::string Utf8(const std::u16string &text) { return hw::Utf16ToUtf8(text); }

const char kSetupMutexName[] = "Global\\_MSISETUP_{2956EBA1-9B5A-4679-8618-357136DA66CA}";

// Another process that holds the setup mutex while the object lives.
class OtherSetup {
 public:
  OtherSetup()
      : m_process(std::make_unique<testenv::BackgroundProgram>(std::vector<std::string>{
            testenv::BinaryDir() + "/conformance_kernel32_helper", "hold-mutex", kSetupMutexName})) {
    m_ready = m_process->ReadLine().rfind("ready", 0) == 0;
  }
  bool ready() const { return m_ready; }
  void Finish() { m_process->Finish(); }

 private:
  std::unique_ptr<testenv::BackgroundProgram> m_process;
  bool m_ready = false;
};

}  // namespace setuptest
