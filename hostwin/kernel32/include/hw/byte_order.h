// Little-endian numbers in the file formats hostwin reads (compound files,
// property sets, PE images). The caller checks that the bytes are there.
#pragma once

#include <cstdint>

namespace hw {

inline uint16_t Le16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

inline uint32_t Le32(const uint8_t *p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

inline uint64_t Le64(const uint8_t *p) { return uint64_t{Le32(p)} | uint64_t{Le32(p + 4)} << 32; }

}  // namespace hw
