// Validation of a row against the database's own _Validation table.
#pragma once

#include <msiquery.h>

#include "relation.h"

#include <string>
#include <utility>
#include <vector>

namespace hw::msi {

using ValidationErrors = std::vector<std::pair<MSIDBERROR, std::u16string>>;

// Checks the given columns of a full row of `table`. With `newRow` the key
// must also be free (MSIMODIFY_VALIDATE_NEW).
ValidationErrors ValidateRow(Database &db, std::u16string_view table, const Relation &relation, const Row &row,
                             const std::vector<int> &columns, bool newRow);

}  // namespace hw::msi
