// The installer's compressed stream names. A compound file entry name holds
// at most 31 code units; packing two alphabet characters into one unit
// lets longer table and stream names fit.
#include "text.h"

namespace hw::msi {
namespace {

constexpr char16_t kTableMarker = 0x4840;
constexpr char16_t kPairBase = 0x3800;
constexpr char16_t kSingleBase = 0x4800;

int AlphabetIndex(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'Z') return c - u'A' + 10;
  if (c >= u'a' && c <= u'z') return c - u'a' + 36;
  if (c == u'.') return 62;
  if (c == u'_') return 63;
  return -1;
}

char16_t AlphabetChar(int index) {
  static const char16_t kAlphabet[] = u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz._";
  return kAlphabet[index & 63];
}

}  // namespace

std::u16string EncodeStreamName(std::u16string_view name, bool isTable) {
  std::u16string out;
  if (isTable) out.push_back(kTableMarker);
  for (size_t i = 0; i < name.size(); ++i) {
    const int first = AlphabetIndex(name[i]);
    if (first < 0) {
      out.push_back(name[i]);
      continue;
    }
    const int second = i + 1 < name.size() ? AlphabetIndex(name[i + 1]) : -1;
    if (second >= 0) {
      out.push_back(static_cast<char16_t>(kPairBase + first + (second << 6)));
      ++i;
    } else {
      out.push_back(static_cast<char16_t>(kSingleBase + first));
    }
  }
  return out;
}

std::u16string DecodeStreamName(std::u16string_view stored, bool *isTable) {
  std::u16string out;
  size_t i = 0;
  const bool table = !stored.empty() && stored[0] == kTableMarker;
  if (table) i = 1;
  if (isTable) *isTable = table;
  for (; i < stored.size(); ++i) {
    const char16_t c = stored[i];
    if (c >= kPairBase && c < kSingleBase) {
      out.push_back(AlphabetChar((c - kPairBase) & 63));
      out.push_back(AlphabetChar((c - kPairBase) >> 6));
    } else if (c >= kSingleBase && c < kTableMarker) {
      out.push_back(AlphabetChar(c - kSingleBase));
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace hw::msi
