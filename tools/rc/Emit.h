// The generated C++ file: the resources as constant data and a static
// object that registers them with hostwin for the module they are linked
// into.
#pragma once

#include "Resource.h"

#include <string>
#include <vector>

namespace rc {

std::string EmitTable(const std::vector<Resource> &resources, const std::string &script);

}  // namespace rc
