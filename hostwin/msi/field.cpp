// Record and cell values.
#include "hw/msi_field.h"

#include <string>

namespace hw::msi {

Field Field::Int(int32_t value) {
  Field f;
  if (value != kNullInteger) {
    f.type = Type::Integer;
    f.integer = value;
  }
  return f;
}

Field Field::Str(std::u16string value) {
  Field f;
  if (!value.empty()) {
    f.type = Type::String;
    f.text = std::move(value);
  }
  return f;
}

Field Field::Blob(BytesPtr data) {
  Field f;
  f.type = Type::Stream;
  f.stream = data ? std::move(data) : std::make_shared<Bytes>();
  return f;
}

std::u16string Field::AsString() const {
  if (type == Type::String) return text;
  if (type != Type::Integer) return std::u16string();
  const std::string digits = std::to_string(integer);
  return std::u16string(digits.begin(), digits.end());
}

int32_t Field::AsInteger() const {
  int32_t value;
  if (type == Type::Integer) return integer;
  if (type == Type::String && ParseInteger(text, value)) return value;
  return kNullInteger;
}

bool Field::operator==(const Field &other) const {
  if (type != other.type) return false;
  switch (type) {
    case Type::Null:
      return true;
    case Type::Integer:
      return integer == other.integer;
    case Type::String:
      return text == other.text;
    case Type::Stream:
      return stream == other.stream || *stream == *other.stream;
  }
  return false;
}

bool ParseInteger(std::u16string_view text, int32_t &value) {
  size_t i = 0;
  const bool negative = !text.empty() && text[0] == u'-';
  if (negative || (!text.empty() && text[0] == u'+')) i = 1;
  if (i >= text.size()) return false;
  int64_t result = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < u'0' || text[i] > u'9') return false;
    result = result * 10 + (text[i] - u'0');
    if (result > 0x80000000LL) return false;
  }
  if (negative) result = -result;
  if (result > INT32_MAX || result < INT32_MIN) return false;
  value = static_cast<int32_t>(result);
  return true;
}

}  // namespace hw::msi
