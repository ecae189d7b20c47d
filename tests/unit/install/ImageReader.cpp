#include "ImageReader.h"

namespace image {

namespace {

class Bytes {
 public:
  explicit Bytes(const std::string &data) : m_data(data) {}
  bool Has(size_t offset, size_t count) const { return offset <= m_data.size() && count <= m_data.size() - offset; }
  uint8_t U8(size_t offset) const { return static_cast<uint8_t>(m_data[offset]); }
  uint16_t U16(size_t offset) const { return static_cast<uint16_t>(U8(offset) | U8(offset + 1) << 8); }
  uint32_t U32(size_t offset) const { return U16(offset) | static_cast<uint32_t>(U16(offset + 2)) << 16; }
  size_t size() const { return m_data.size(); }

 private:
  const std::string &m_data;
};

// Decodes RLE8 or RLE4 data (bottom-up) into top-down indices.
bool DecodeRle(const Bytes &in, size_t start, size_t end, Bitmap &bitmap, std::string &error) {
  const int bits = bitmap.bits;
  std::vector<bool> written(bitmap.indices.size(), false);
  int x = 0, y = 0;  // y counts rows from the bottom
  auto put = [&](uint8_t index) {
    if (x >= bitmap.width || y >= bitmap.height) return false;
    const size_t at = static_cast<size_t>(bitmap.height - 1 - y) * bitmap.width + x;
    bitmap.indices[at] = index;
    written[at] = true;
    ++x;
    return true;
  };
  size_t p = start;
  for (;;) {
    if (p + 2 > end) {
      error = "the data ends without end-of-bitmap";
      return false;
    }
    const uint8_t count = in.U8(p), value = in.U8(p + 1);
    p += 2;
    if (count > 0) {
      for (int k = 0; k < count; ++k) {
        const uint8_t index = bits == 8 ? value : (k % 2 == 0 ? value >> 4 : value & 15);
        if (!put(index)) {
          error = "an encoded run passes the end of its row";
          return false;
        }
      }
    } else if (value == 0) {
      x = 0;
      ++y;
    } else if (value == 1) {
      break;
    } else if (value == 2) {
      if (p + 2 > end) {
        error = "a truncated delta";
        return false;
      }
      x += in.U8(p);
      y += in.U8(p + 1);
      p += 2;
      if (x > bitmap.width || y > bitmap.height) {
        error = "a delta leaves the bitmap";
        return false;
      }
    } else {
      const size_t bytes = bits == 8 ? value : (value + 1) / 2;
      const size_t padded = bytes + bytes % 2;
      if (p + padded > end) {
        error = "a truncated absolute run";
        return false;
      }
      for (int k = 0; k < value; ++k) {
        const uint8_t byte = in.U8(p + (bits == 8 ? k : k / 2));
        const uint8_t index = bits == 8 ? byte : (k % 2 == 0 ? byte >> 4 : byte & 15);
        if (!put(index)) {
          error = "an absolute run passes the end of its row";
          return false;
        }
      }
      p += padded;
    }
  }
  if (p != end) {
    error = "bytes follow end-of-bitmap";
    return false;
  }
  bitmap.complete = true;
  for (bool w : written) bitmap.complete = bitmap.complete && w;
  return true;
}

bool DecodeRows(const Bytes &in, size_t start, size_t end, Bitmap &bitmap, std::string &error) {
  const size_t stride = (static_cast<size_t>(bitmap.width) * bitmap.bits + 31) / 32 * 4;
  if (end - start < stride * bitmap.height) {
    error = "the rows are truncated";
    return false;
  }
  for (int y = 0; y < bitmap.height; ++y) {
    const size_t row = start + stride * (bitmap.height - 1 - y);
    for (int x = 0; x < bitmap.width; ++x) {
      const size_t bit = static_cast<size_t>(x) * bitmap.bits;
      const uint8_t byte = in.U8(row + bit / 8);
      const int shift = 8 - bitmap.bits - static_cast<int>(bit % 8);
      bitmap.indices[static_cast<size_t>(y) * bitmap.width + x] = (byte >> shift) & ((1 << bitmap.bits) - 1);
    }
  }
  bitmap.complete = true;
  return true;
}

// The information header, palette and pixels at `offset`; `rowsHeight` is
// the height of the colour rows (an icon's header gives twice that).
bool ReadDib(const Bytes &in, size_t offset, size_t end, size_t pixelsAt, bool icon, Bitmap &bitmap,
             std::string &error) {
  if (!in.Has(offset, 40) || in.U32(offset) != 40) {
    error = "no 40-byte information header";
    return false;
  }
  bitmap.width = static_cast<int32_t>(in.U32(offset + 4));
  const int32_t height = static_cast<int32_t>(in.U32(offset + 8));
  bitmap.bits = in.U16(offset + 14);
  bitmap.compression = in.U32(offset + 16);
  bitmap.imageSize = in.U32(offset + 20);
  const uint32_t used = in.U32(offset + 32);
  if (in.U16(offset + 12) != 1 || bitmap.width <= 0 || height <= 0) {
    error = "not a bottom-up single-plane bitmap";
    return false;
  }
  bitmap.height = icon ? height / 2 : height;
  if (bitmap.bits != 1 && bitmap.bits != 4 && bitmap.bits != 8) {
    error = "unsupported depth " + std::to_string(bitmap.bits);
    return false;
  }
  const uint32_t entries = used ? used : 1u << bitmap.bits;
  if (entries > (1u << bitmap.bits) || !in.Has(offset + 40, entries * 4)) {
    error = "bad palette";
    return false;
  }
  for (uint32_t i = 0; i < entries; ++i) {
    const size_t at = offset + 40 + 4 * i;
    bitmap.palette.push_back({in.U8(at + 2), in.U8(at + 1), in.U8(at)});
  }
  if (!pixelsAt) pixelsAt = offset + 40 + 4 * entries;
  if (pixelsAt > end || end > in.size()) {
    error = "pixels outside the file";
    return false;
  }
  bitmap.indices.assign(static_cast<size_t>(bitmap.width) * bitmap.height, 0);
  if (bitmap.compression == 0) return DecodeRows(in, pixelsAt, end, bitmap, error);
  if ((bitmap.compression == 1 && bitmap.bits == 8) || (bitmap.compression == 2 && bitmap.bits == 4)) {
    if (bitmap.imageSize != end - pixelsAt) {
      error = "biSizeImage is not the size of the compressed data";
      return false;
    }
    return DecodeRle(in, pixelsAt, end, bitmap, error);
  }
  error = "compression " + std::to_string(bitmap.compression) + " with " + std::to_string(bitmap.bits) + " bits";
  return false;
}

}  // namespace

bool ReadBitmapFile(const std::string &data, Bitmap &bitmap, std::string &error) {
  const Bytes in(data);
  if (!in.Has(0, 14) || data.compare(0, 2, "BM") != 0) {
    error = "no BM file header";
    return false;
  }
  if (in.U32(2) != data.size()) {
    error = "the file header gives another size";
    return false;
  }
  return ReadDib(in, 14, data.size(), in.U32(10), false, bitmap, error);
}

bool ReadIconFile(const std::string &data, std::vector<IconImage> &images, std::string &error) {
  const Bytes in(data);
  if (!in.Has(0, 6) || in.U16(0) != 0 || in.U16(2) != 1) {
    error = "no icon directory";
    return false;
  }
  const int count = in.U16(4);
  for (int i = 0; i < count; ++i) {
    const size_t entry = 6 + 16 * static_cast<size_t>(i);
    if (!in.Has(entry, 16)) {
      error = "truncated directory";
      return false;
    }
    const size_t size = in.U32(entry + 8), offset = in.U32(entry + 12);
    if (!in.Has(offset, size)) {
      error = "image outside the file";
      return false;
    }
    IconImage image;
    Bitmap &colour = image.colour;
    // Colour rows first, the 1-bit mask after them.
    if (!ReadDib(in, offset, offset + size, 0, true, colour, error)) return false;
    const int listedWidth = in.U8(entry) ? in.U8(entry) : 256;
    const int listedHeight = in.U8(entry + 1) ? in.U8(entry + 1) : 256;
    if (listedWidth != colour.width || listedHeight != colour.height || in.U16(entry + 6) != colour.bits) {
      error = "the directory entry does not match its image";
      return false;
    }
    const size_t colourBytes = (static_cast<size_t>(colour.width) * colour.bits + 31) / 32 * 4 * colour.height;
    const size_t maskStart = offset + 40 + 4 * colour.palette.size() + colourBytes;
    Bitmap mask;
    mask.width = colour.width;
    mask.height = colour.height;
    mask.bits = 1;
    mask.indices.assign(static_cast<size_t>(mask.width) * mask.height, 0);
    if (!DecodeRows(in, maskStart, offset + size, mask, error)) return false;
    image.mask = mask.indices;
    images.push_back(image);
  }
  return true;
}

}  // namespace image
