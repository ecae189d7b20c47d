#include "PeWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace testsign {
namespace {

constexpr uint32_t kFileAlignment = 0x200;
constexpr uint32_t kSectionAlignment = 0x1000;

uint64_t AlignUp(uint64_t value, uint64_t alignment) { return (value + alignment - 1) / alignment * alignment; }

void Put16(std::vector<uint8_t> &b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t> &b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put64(std::vector<uint8_t> &b, size_t at, uint64_t v) {
  for (int i = 0; i < 8; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

std::vector<uint8_t> Headers(const PeOptions &options, uint32_t rawSize) {
  std::vector<uint8_t> h(kFileAlignment, 0);
  h[0] = 'M';
  h[1] = 'Z';
  Put32(h, 0x3C, 0x40);
  memcpy(&h[0x40], "PE\0\0", 4);
  const size_t coff = 0x44;
  const uint16_t optionalSize = options.pe32Plus ? 240 : 224;
  Put16(h, coff + 0, options.pe32Plus ? 0x8664 : 0x14C);  // machine
  Put16(h, coff + 2, 1);                                  // one section
  Put16(h, coff + 16, optionalSize);
  Put16(h, coff + 18, options.pe32Plus ? 0x0022 : 0x0102);  // executable image
  const size_t opt = coff + 20;
  Put16(h, opt + 0, options.pe32Plus ? 0x20B : 0x10B);
  h[opt + 2] = 14;                                          // linker version
  Put32(h, opt + 4, rawSize);                               // size of code
  Put32(h, opt + 16, kSectionAlignment);                    // entry point
  Put32(h, opt + 20, kSectionAlignment);                    // base of code
  size_t field = opt + 24;
  if (options.pe32Plus) {
    Put64(h, field, 0x140000000ull);
    field += 8;
  } else {
    Put32(h, field + 4, 0x400000);  // after BaseOfData
    field += 8;
  }
  Put32(h, field, kSectionAlignment);
  Put32(h, field + 4, kFileAlignment);
  Put16(h, field + 8, 6);   // operating system version
  Put16(h, field + 16, 6);  // subsystem version
  const uint64_t imageSize = kSectionAlignment + AlignUp(rawSize, kSectionAlignment);
  Put32(h, field + 24, static_cast<uint32_t>(imageSize));
  Put32(h, field + 28, kFileAlignment);  // size of headers
  // field + 32: CheckSum stays 0
  Put16(h, field + 36, 3);  // console subsystem
  Put16(h, field + 38, 0x8140);
  size_t sizes = field + 40;
  const int width = options.pe32Plus ? 8 : 4;
  for (int i = 0; i < 4; ++i) {
    const uint64_t value = i % 2 == 0 ? 0x100000 : 0x1000;  // stack and heap: reserve, commit
    if (width == 8) Put64(h, sizes + 8 * i, value); else Put32(h, sizes + 4 * i, static_cast<uint32_t>(value));
  }
  const size_t loaderFlags = sizes + 4 * width;
  Put32(h, loaderFlags + 4, 16);  // NumberOfRvaAndSizes; the directories stay empty
  const size_t section = opt + optionalSize;
  memcpy(&h[section], ".text", 5);
  Put32(h, section + 8, rawSize);             // virtual size
  Put32(h, section + 12, kSectionAlignment);  // virtual address
  Put32(h, section + 16, rawSize);            // raw size
  Put32(h, section + 20, kFileAlignment);     // raw pointer
  Put32(h, section + 36, 0x60000020);         // code, execute, read
  return h;
}

}  // namespace

bool WritePe(const std::string &path, const PeOptions &options) {
  const uint32_t rawSize = static_cast<uint32_t>(AlignUp(options.codeSize, kFileAlignment));
  FILE *out = fopen(path.c_str(), "wb");
  if (!out) return false;
  std::vector<uint8_t> headers = Headers(options, rawSize);
  bool ok = fwrite(headers.data(), 1, headers.size(), out) == headers.size();
  std::vector<uint8_t> chunk(1 << 20);
  uint64_t state = 0x9E3779B97F4A7C15ull ^ options.seed;
  for (uint64_t written = 0; ok && written < rawSize;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(chunk.size(), rawSize - written));
    for (size_t i = 0; i < n; i += 8) {
      state ^= state << 13;
      state ^= state >> 7;
      state ^= state << 17;
      memcpy(&chunk[i], &state, std::min<size_t>(8, n - i));
    }
    if (written + n > options.codeSize) {
      const size_t codeEnd = options.codeSize > written ? static_cast<size_t>(options.codeSize - written) : 0;
      memset(&chunk[codeEnd], 0, n - codeEnd);  // the section's padding
    }
    ok = fwrite(chunk.data(), 1, n, out) == n;
    written += n;
  }
  return fclose(out) == 0 && ok;
}

}  // namespace testsign
