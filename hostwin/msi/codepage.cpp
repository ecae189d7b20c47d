// Text in the database's code page. The host's ANSI code page is UTF-8, so a
// database with code page 0 stores UTF-8 and any text survives; code pages
// the kernel does not convert go through iconv.
#include "text.h"

#include <windows.h>

#include "hw/text.h"

#include <iconv.h>

#include <cerrno>

namespace hw::msi {
namespace {

bool IsUtf8(uint32_t codePage) { return codePage == 0 || codePage == CP_UTF8; }

bool KernelConverts(uint32_t codePage) {
  const char probe = 'a';
  return MultiByteToWideChar(codePage, 0, &probe, 1, nullptr, 0) == 1;
}

bool Iconv(const char *to, const char *from, std::string_view in, std::string &out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out.assign(in.size() * 4 + 16, '\0');
  char *src = const_cast<char *>(in.data());
  size_t srcLeft = in.size();
  char *dst = out.data();
  size_t dstLeft = out.size();
  const size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  iconv_close(cd);
  if (rc == static_cast<size_t>(-1) || srcLeft != 0 || rc != 0) return false;
  out.resize(out.size() - dstLeft);
  return true;
}

std::string IconvName(uint32_t codePage) { return "CP" + std::to_string(codePage); }

}  // namespace

bool CodePageSupported(uint32_t codePage) {
  if (IsUtf8(codePage) || KernelConverts(codePage)) return true;
  iconv_t cd = iconv_open("UTF-16LE", IconvName(codePage).c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  iconv_close(cd);
  return true;
}

bool DecodeText(uint32_t codePage, std::string_view bytes, std::u16string &out) {
  if (bytes.empty()) {
    out.clear();
    return true;
  }
  if (IsUtf8(codePage)) {
    out = hw::Utf8ToUtf16(bytes);
    return true;
  }
  const int length = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (length > 0) {
    out.resize(length);
    MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), reinterpret_cast<LPWSTR>(out.data()),
                        length);
    return true;
  }
  std::string wide;
  if (!Iconv("UTF-16LE", IconvName(codePage).c_str(), bytes, wide)) return false;
  out.assign(reinterpret_cast<const char16_t *>(wide.data()), wide.size() / 2);
  return true;
}

bool EncodeText(uint32_t codePage, std::u16string_view text, std::string &out) {
  out.clear();
  if (text.empty()) return true;
  if (IsUtf8(codePage)) {
    if (!hw::IsWellFormedUtf16(text)) return false;
    out = hw::Utf16ToUtf8(text);
    return true;
  }
  BOOL usedDefault = FALSE;
  const auto *wide = reinterpret_cast<LPCWSTR>(text.data());
  const int length = WideCharToMultiByte(codePage, 0, wide, static_cast<int>(text.size()), nullptr, 0, nullptr, &usedDefault);
  if (length > 0) {
    if (usedDefault) return false;
    out.resize(length);
    WideCharToMultiByte(codePage, 0, wide, static_cast<int>(text.size()), out.data(), length, nullptr, nullptr);
    return true;
  }
  std::string_view in(reinterpret_cast<const char *>(text.data()), text.size() * 2);
  return Iconv(IconvName(codePage).c_str(), "UTF-16LE", in, out);
}

}  // namespace hw::msi
