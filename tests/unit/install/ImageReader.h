// A small reader of device-independent bitmap files and icon files, for
// checking what the image generator wrote: uncompressed, RLE8 and RLE4 rows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace image {

struct Rgb {
  uint8_t red = 0, green = 0, blue = 0;
  bool operator==(const Rgb &other) const {
    return red == other.red && green == other.green && blue == other.blue;
  }
};

struct Bitmap {
  int width = 0;
  int height = 0;
  int bits = 0;
  uint32_t compression = 0;  // 0 none, 1 RLE8, 2 RLE4
  uint32_t imageSize = 0;    // biSizeImage
  std::vector<Rgb> palette;
  std::vector<uint8_t> indices;  // top row first
  bool complete = false;         // every pixel was given by the data

  uint8_t Index(int x, int y) const { return indices[static_cast<size_t>(y) * width + x]; }
  Rgb Colour(int x, int y) const { return palette.at(Index(x, y)); }
};

struct IconImage {
  Bitmap colour;               // the XOR image
  std::vector<uint8_t> mask;   // top row first; 1 = transparent
  bool Transparent(int x, int y) const { return mask[static_cast<size_t>(y) * colour.width + x] != 0; }
};

// A whole .bmp file. On failure returns false and says why in `error`.
bool ReadBitmapFile(const std::string &data, Bitmap &bitmap, std::string &error);
// A whole .ico file.
bool ReadIconFile(const std::string &data, std::vector<IconImage> &images, std::string &error);

}  // namespace image
