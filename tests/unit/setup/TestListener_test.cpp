// Every test of this program starts with an empty transcript, so that a test
// sees only the boxes it caused, whichever tests ran before it in the same
// process.
#include "TestEnvironment.h"

#include <gtest/gtest.h>

namespace {

class ClearTranscriptOnStart : public testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo &) override {
    testenv::WriteFile(testenv::ScratchDir() + "/transcript.jsonl", "");
  }
};

const bool g_bRegistered = [] {
  testing::UnitTest::GetInstance()->listeners().Append(new ClearTranscriptOnStart);
  return true;
}();

}  // namespace
