// FormatMessageW: templates with inserts from a string, and the system's
// English texts, as the message helpers of the setup program and the
// download library use them.
#include <windows.h>

#include "hw/text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string U8(std::u16string_view text) { return hw::Utf16ToUtf8(text); }

// FORMAT_MESSAGE_FROM_STRING | ALLOCATE_BUFFER with the inserts as a
// va_list, as a variadic helper passes them.
DWORD FormatV(std::u16string *out, DWORD flags, const WCHAR *format, ...) {
  va_list args;
  va_start(args, format);
  LPWSTR buffer = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER | flags, format, 0, 0,
                           reinterpret_cast<LPWSTR>(&buffer), 0, &args);
  va_end(args);
  *out = buffer ? std::u16string(hw::View(buffer)) : u"<none>";
  if (buffer) LocalFree(buffer);
  return n;
}

std::u16string System(DWORD code, DWORD flags = 0) {
  LPWSTR buffer = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | flags, nullptr, code, 0,
                           reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  std::u16string text = n ? std::u16string(hw::View(buffer)) : u"";
  if (buffer) LocalFree(buffer);
  return text;
}

TEST(FormatMessageFromString, InsertsAndEscapes) {
  std::u16string out;
  EXPECT_EQ(FormatV(&out, 0, u"Setup %1", u"Orvandel 2.0"), 18u);
  EXPECT_EQ(out, u"Setup Orvandel 2.0");

  FormatV(&out, 0, u"%1 was originally installed from %2.  Do you want to copy %3 to %4?", u"Orvandel 2.0",
          u"C:\\old\\O.msi", u"O.msi", u"C:\\old\\");
  EXPECT_EQ(out, u"Orvandel 2.0 was originally installed from C:\\old\\O.msi.  Do you want to copy O.msi to C:\\old\\?");

  // Inserts in any order and repeated; extra arguments are ignored.
  FormatV(&out, 0, u"%2-%1-%2", u"a", u"b", u"unused");
  EXPECT_EQ(out, u"b-a-b");

  struct Row {
    const char16_t *format;
    const char16_t *out;
  } rows[] = {
      {u"100%% sure", u"100% sure"},
      {u"one%ntwo", u"one\r\ntwo"},
      {u"cut here%0 and not this", u"cut here"},
      {u"dot%. bang%! blank% end", u"dot. bang! blank end"},
      {u"tab%tx", u"tab\tx"},
      {u"line\r\nbreak", u"line\r\nbreak"},  // kept without a width limit
  };
  for (const Row &row : rows) {
    FormatV(&out, 0, row.format);
    EXPECT_EQ(out, row.out) << U8(row.format);
  }
}

TEST(FormatMessageFromString, PrintfFormats) {
  std::u16string out;
  FormatV(&out, 0, u"%1!d! giving %2!d! action %3!d!", 3, -6, 2);
  EXPECT_EQ(out, u"3 giving -6 action 2");
  FormatV(&out, 0, u"[%1!08X!] [%2!-4s!] [%3!5s!] [%4!.2s!]", 0x800704C7u, u"ab", u"cd", u"xyz");
  EXPECT_EQ(out, u"[800704C7] [ab  ] [   cd] [xy]");
  FormatV(&out, 0, u"%1!u! %2!x! %3!c!", 4000000000u, 255u, u'Z');
  EXPECT_EQ(out, u"4000000000 ff Z");
}

TEST(FormatMessageFromString, ArgumentArrayAndBuffer) {
  const WCHAR *inserts[] = {u"first", u"second"};
  WCHAR buffer[64];
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, u"%2 then %1", 0, 0, buffer,
                           64, reinterpret_cast<va_list *>(inserts));
  EXPECT_EQ(n, 17u);
  EXPECT_EQ(std::u16string(hw::View(buffer)), u"second then first");

  // Too small a buffer fails without a partial result being returned.
  WCHAR small[5];
  SetLastError(0);
  EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, u"%2 then %1", 0, 0, small, 5,
                           reinterpret_cast<va_list *>(inserts)),
            0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST(FormatMessageFromString, MissingInsertsFail) {
  // An insert with no arguments at all fails as on Windows, and never reads
  // memory that is not there.
  WCHAR buffer[64];
  SetLastError(0);
  EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_STRING, u"Setup %1", 0, 0, buffer, 64, nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  LPWSTR allocated = reinterpret_cast<LPWSTR>(0x1);
  EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER, u"%1", 0, 0,
                           reinterpret_cast<LPWSTR>(&allocated), 0, nullptr),
            0u);
  EXPECT_EQ(allocated, nullptr) << "no buffer is handed out on failure";
  // An unterminated !format! fails too.
  std::u16string out;
  EXPECT_EQ(FormatV(&out, 0, u"%1!d", 5), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  // With IGNORE_INSERTS the inserts pass through unchanged.
  EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_IGNORE_INSERTS, u"Setup %1 %2!d! %%", 0, 0,
                           buffer, 64, nullptr),
            16u);
  EXPECT_EQ(std::u16string(hw::View(buffer)), u"Setup %1 %2!d! %");
}

TEST(FormatMessageFromSystem, EnglishTextsWithTheirLineEnd) {
  struct Row {
    DWORD code;
    const char16_t *text;
  } rows[] = {
      {ERROR_SUCCESS, u"The operation completed successfully.\r\n"},
      {ERROR_FILE_NOT_FOUND, u"The system cannot find the file specified.\r\n"},
      {ERROR_PATH_NOT_FOUND, u"The system cannot find the path specified.\r\n"},
      {ERROR_ACCESS_DENIED, u"Access is denied.\r\n"},
      {ERROR_SHARING_VIOLATION, u"The process cannot access the file because it is being used by another process.\r\n"},
      {ERROR_DISK_FULL, u"There is not enough space on the disk.\r\n"},
      {ERROR_HANDLE_DISK_FULL, u"The disk is full.\r\n"},
      {ERROR_INVALID_PARAMETER, u"The parameter is incorrect.\r\n"},
      {ERROR_BAD_ARGUMENTS, u"One or more arguments are not correct.\r\n"},
      {ERROR_CANCELLED, u"The operation was canceled by the user.\r\n"},
      {ERROR_REQUEST_ABORTED, u"The request was aborted.\r\n"},
      {ERROR_INSTALL_USEREXIT, u"User cancelled installation.\r\n"},
      {ERROR_INSTALL_FAILURE, u"Fatal error during installation.\r\n"},
      {ERROR_INSTALL_ALREADY_RUNNING,
       u"Another installation is already in progress.  Complete that installation before proceeding with this "
       u"install.\r\n"},
      {ERROR_INSTALL_PACKAGE_OPEN_FAILED,
       u"This installation package could not be opened.  Verify that the package exists and that you can access it, "
       u"or contact the application vendor to verify that this is a valid Windows Installer package.\r\n"},
      {ERROR_SUCCESS_REBOOT_INITIATED,
       u"The requested operation completed successfully.  The system will be restarted so the changes can take "
       u"effect.\r\n"},
      {ERROR_SUCCESS_REBOOT_REQUIRED,
       u"The requested operation is successful.  Changes will not be effective until the system is rebooted.\r\n"},
      {ERROR_SUCCESS_RESTART_REQUIRED,
       u"The requested operation is successful.  Changes will not be effective until the service is restarted.\r\n"},
  };
  for (const Row &row : rows) EXPECT_EQ(System(row.code), row.text) << row.code;
}

TEST(FormatMessageFromSystem, EveryCodeTheSystemMeets) {
  // Installer codes 1601 to 1650, restart codes, and the low 16 bits of the
  // network (INET_E_*) and trust codes the download reports.
  for (DWORD code = 1601; code <= 1650; ++code) {
    std::u16string text = System(code);
    ASSERT_GT(text.size(), 2u) << code;
    EXPECT_EQ(text.substr(text.size() - 2), u"\r\n") << code;
  }
  for (DWORD code : {2u, 3u, 4u, 5u, 6u, 8u, 11u, 12u, 13u, 14u, 20u, 87u, 110u, 112u, 123u, 206u, 1223u, 1235u,
                     1460u, 3010u, 3011u, 1641u}) {
    EXPECT_FALSE(System(code).empty()) << code;
  }
}

TEST(FormatMessageFromSystem, CodesWithoutTextAndOptions) {
  LPWSTR buffer = nullptr;
  SetLastError(0);
  EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, 0x4005, 0,
                           reinterpret_cast<LPWSTR>(&buffer), 0, nullptr),
            0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
  EXPECT_EQ(buffer, nullptr);
  // A Win32 code as an HRESULT has the code's text.
  EXPECT_EQ(System(0x80070652), System(1618));
  // A text with an insert needs arguments; without them it fails.
  EXPECT_EQ(System(ERROR_BAD_EXE_FORMAT), u"");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(System(ERROR_BAD_EXE_FORMAT, FORMAT_MESSAGE_IGNORE_INSERTS), u"%1 is not a valid Win32 application.\r\n");
  // No line breaks with the width mask: each becomes a blank.
  EXPECT_EQ(System(ERROR_ACCESS_DENIED, FORMAT_MESSAGE_MAX_WIDTH_MASK), u"Access is denied. ");
  // English only.
  WCHAR text[256];
  EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 5, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                           text, 256, nullptr),
            19u);
  EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 5, MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), text,
                           256, nullptr),
            0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_LANG_NOT_FOUND));
}

}  // namespace
