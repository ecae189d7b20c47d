// Installer records: fields 0..n of null, integer, string or stream values.
// A record fetched from a view remembers the view and the key of its row,
// for MsiViewModify.
#pragma once

#include "hw/msi_field.h"
#include "hw/msi_handles.h"

#include <vector>

namespace hw::msi {

class Record : public HandleObject {
 public:
  explicit Record(unsigned count) : fields(count + 1), readPositions(count + 1, 0) {}
  unsigned Count() const { return static_cast<unsigned>(fields.size() - 1); }
  bool Has(unsigned field) const { return field < fields.size(); }
  void Set(unsigned field, Field value) {
    fields[field] = std::move(value);
    readPositions[field] = 0;
  }

  std::vector<Field> fields;
  std::vector<uint64_t> readPositions;  // of stream fields, for MsiRecordReadStream
  uint64_t sourceView = 0;              // the serial of the view that fetched it
  std::vector<Field> sourceKey;         // the key of the row it came from
};

}  // namespace hw::msi
