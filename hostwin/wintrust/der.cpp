#include "der.h"

namespace hw::trust {

bool ReadDerElement(std::span<const uint8_t> &input, DerElement *element) {
  if (input.size() < 2) return false;
  const uint8_t tag = input[0];
  if ((tag & 0x1F) == 0x1F) return false;  // multi-byte tags are not used here
  size_t length = input[1];
  size_t header = 2;
  if (length & 0x80) {
    const size_t octets = length & 0x7F;
    if (octets == 0 || octets > 4 || input.size() < 2 + octets) return false;  // indefinite or absurd
    length = 0;
    for (size_t i = 0; i < octets; ++i) length = length << 8 | input[2 + i];
    header += octets;
  }
  if (length > input.size() - header) return false;
  element->tag = tag;
  element->content = input.subspan(header, length);
  element->encoding = input.subspan(0, header + length);
  input = input.subspan(header + length);
  return true;
}

}  // namespace hw::trust
