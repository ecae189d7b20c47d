// The handle owners close every handle exactly once, whatever happens.
#include "common/tHandle.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace {

// Records every close; can be told to fail or to throw.
std::vector<void *> g_closed;
enum class CloseMode { Succeed, Fail, Throw } g_mode = CloseMode::Succeed;

template <INT_PTR Invalid>
class RecordingType : public tHandleType<void *, Invalid> {
 public:
  bool Close(void *value) override {
    g_closed.push_back(value);
    if (g_mode == CloseMode::Throw) throw std::runtime_error("close failed");
    return g_mode == CloseMode::Succeed;
  }
};

using tNullHandle = tHandle<void *, RecordingType<0>>;
using tFileHandle = tHandle<void *, RecordingType<-1>>;

void *Value(INT_PTR v) { return reinterpret_cast<void *>(v); }

class Handles : public testing::Test {
 protected:
  void SetUp() override {
    g_closed.clear();
    g_mode = CloseMode::Succeed;
  }
};

TEST_F(Handles, StartsInvalidAndClosesOnceAtDestruction) {
  {
    tNullHandle handle;
    EXPECT_EQ(handle.Get(), nullptr);
    handle.Attach(Value(8));
    handle.Attach(Value(8));  // the same value again: nothing happens
    EXPECT_TRUE(g_closed.empty());
  }
  EXPECT_EQ(g_closed, std::vector<void *>{Value(8)});
}

TEST_F(Handles, AttachingANewValueClosesTheOldOne) {
  tNullHandle handle;
  handle.Attach(Value(8));
  handle.Attach(Value(12));
  EXPECT_EQ(g_closed, std::vector<void *>{Value(8)});
  EXPECT_EQ(handle.Get(), Value(12));
}

TEST_F(Handles, ResetOfTheInvalidValueClosesNothing) {
  tFileHandle file;
  EXPECT_EQ(file.Get(), INVALID_HANDLE_VALUE);
  file.Attach(INVALID_HANDLE_VALUE);  // a failed CreateFileW
  EXPECT_FALSE(file.Reset());
  tFileHandle zero;
  zero.Attach(nullptr);  // 0 is a real value for a file-handle owner
  EXPECT_TRUE(zero.Reset());
  EXPECT_EQ(g_closed, std::vector<void *>{nullptr});
}

TEST_F(Handles, FailingOrThrowingCloseLeavesTheInvalidValue) {
  for (CloseMode mode : {CloseMode::Fail, CloseMode::Throw}) {
    g_closed.clear();
    g_mode = mode;
    {
      tNullHandle handle;
      handle.Attach(Value(16));
      EXPECT_FALSE(handle.Reset());
      EXPECT_EQ(handle.Get(), nullptr);
      EXPECT_FALSE(handle.Reset());  // never closed twice
    }
    EXPECT_EQ(g_closed, std::vector<void *>{Value(16)});
  }
}

TEST_F(Handles, RealKernelAndModuleHandles) {
  {
    tHandle<void *, tHandleType<void *, 0>> mutex;
    mutex.Attach(CreateMutexW(nullptr, FALSE, TEXT("Global\\handles-test")));
    ASSERT_NE(mutex.Get(), nullptr);
    EXPECT_TRUE(mutex.Reset());
    EXPECT_FALSE(CloseHandle(mutex.Get()));  // nothing left to close
  }
  tHandle<HINSTANCE__ *, tHandleTypeModule> module;
  module.Attach(LoadLibraryW(TEXT("kernel32.dll")));
  ASSERT_NE(module.Get(), nullptr);
  EXPECT_TRUE(module.Reset());
  EXPECT_FALSE(FreeLibrary(nullptr));
}

}  // namespace
