// Where the built download package of this build and its parts are.
#pragma once

#include <string>

namespace package {

// The package that the build assembled for this target (host path).
inline std::string Path() { return ORV_DOWNLOAD_PACKAGE; }
// The download library that the build made for this target.
inline std::string LibraryPath() { return ORV_MSIDOWNLOAD2_PATH; }
// The folder of the IDT tables, and of the images.
inline std::string TablesDir() { return ORV_INSTALL_DIR; }
inline std::string ImagesDir() { return std::string(ORV_INSTALL_DIR) + "/Bitmaps"; }

}  // namespace package
