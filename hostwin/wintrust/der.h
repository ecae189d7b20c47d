// A strict reader of DER elements (definite lengths, one-byte tags), for the
// few structures OpenSSL has no type for.
#pragma once

#include <cstdint>
#include <span>

namespace hw::trust {

struct DerElement {
  uint8_t tag = 0;
  std::span<const uint8_t> content;   // the value bytes
  std::span<const uint8_t> encoding;  // tag, length and value
};

inline constexpr uint8_t kDerSequence = 0x30;

// Reads the element at the front of `input` and moves `input` past it.
// False when the bytes do not hold a whole DER element.
bool ReadDerElement(std::span<const uint8_t> &input, DerElement *element);

}  // namespace hw::trust
