// Values of the installer's records and table cells: null, integer, string
// or stream. An empty string is null, as in the installer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace hw::msi {

using Bytes = std::vector<uint8_t>;
using BytesPtr = std::shared_ptr<const Bytes>;

constexpr int32_t kNullInteger = INT32_MIN;  // MSI_NULL_INTEGER

struct Field {
  enum class Type : uint8_t { Null, Integer, String, Stream };

  Type type = Type::Null;
  int32_t integer = 0;
  std::u16string text;
  BytesPtr stream;

  static Field Int(int32_t value);  // kNullInteger gives null
  static Field Str(std::u16string value);  // empty gives null
  static Field Blob(BytesPtr data);

  bool IsNull() const { return type == Type::Null; }
  // Integers in decimal; streams and null as "".
  std::u16string AsString() const;
  // Strings holding a decimal integer are converted; anything else is
  // kNullInteger.
  int32_t AsInteger() const;
  bool operator==(const Field &other) const;
};

using Row = std::vector<Field>;

// Parses a whole decimal integer ("-12"); false for anything else.
bool ParseInteger(std::u16string_view text, int32_t &value);

}  // namespace hw::msi
