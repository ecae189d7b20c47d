#include <windows.h>
#include <gtest/gtest.h>
TEST(Smoke, LastError) { SetLastError(5); EXPECT_EQ(GetLastError(), 5u); }
