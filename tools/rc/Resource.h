// What a resource script compiles to: resources keyed by type, name and
// language, each a block of bytes laid out as on Windows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rc {

// A type or name: a number, or an upper-case string.
struct ResId {
  bool isNumber = true;
  uint16_t number = 0;
  std::u16string name;
  bool operator==(const ResId &other) const {
    return isNumber == other.isNumber && number == other.number && name == other.name;
  }
};

struct Resource {
  ResId type;
  ResId name;
  uint16_t language = 0;
  std::vector<uint8_t> data;
};

// Thrown for a fault in the script, with where it was found.
struct CompileError {
  std::string file;
  int line = 0;
  std::string message;
};

}  // namespace rc
