// The package's images decoded with our own reader: sizes, depths,
// compressions, palettes and the colours that the dialogs show.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ImageReader.h"
#include "PackageSupport.h"
#include "TestEnvironment.h"

namespace {

using image::Bitmap;
using image::IconImage;
using image::Rgb;

const Rgb kWhite{255, 255, 255};

Bitmap LoadBitmap(const std::string &name) {
  Bitmap bitmap;
  std::string error;
  const std::string data = testenv::ReadFile(package::ImagesDir() + "/" + name);
  EXPECT_TRUE(image::ReadBitmapFile(data, bitmap, error)) << name << ": " << error;
  return bitmap;
}

std::vector<IconImage> LoadIcon(const std::string &name) {
  std::vector<IconImage> images;
  std::string error;
  const std::string data = testenv::ReadFile(package::ImagesDir() + "/" + name);
  EXPECT_TRUE(image::ReadIconFile(data, images, error)) << name << ": " << error;
  return images;
}

struct Format {
  const char *file;
  int width, height, bits;
  uint32_t compression;
};

TEST(PackageImages, SizesDepthsAndCompressions) {
  const Format formats[] = {
      {"Banner.rle", 500, 63, 8, 1}, {"Logo.rle", 100, 100, 8, 1},  {"TopLine.rle", 50, 4, 4, 2},
      {"BottomLine.rle", 50, 4, 4, 2}, {"Bottom.rle", 500, 63, 4, 2}, {"Dialog.rle", 500, 314, 8, 1},
  };
  for (const Format &f : formats) {
    const Bitmap bitmap = LoadBitmap(f.file);
    EXPECT_EQ(bitmap.width, f.width) << f.file;
    EXPECT_EQ(bitmap.height, f.height) << f.file;
    EXPECT_EQ(bitmap.bits, f.bits) << f.file;
    EXPECT_EQ(bitmap.compression, f.compression) << f.file;
    EXPECT_EQ(bitmap.palette.size(), 1u << f.bits) << f.file;
    EXPECT_TRUE(bitmap.complete) << f.file << ": the runs leave pixels out";
  }
}

TEST(PackageImages, BannerFadesFromLightBlueToWhite) {
  const Bitmap banner = LoadBitmap("Banner.rle");
  ASSERT_EQ(banner.width, 500);
  for (int y : {0, 31, 62}) {
    EXPECT_EQ(banner.Colour(0, y), (Rgb{209, 224, 250})) << y;
    EXPECT_EQ(banner.Colour(499, y), kWhite) << y;
  }
  const Rgb middle = banner.Colour(250, 30);
  EXPECT_GT(middle.red, 209);
  EXPECT_LT(middle.red, 255);
  for (int x = 1; x < banner.width; ++x) {
    EXPECT_GE(banner.Colour(x, 10).red, banner.Colour(x - 1, 10).red) << x;
  }
}

TEST(PackageImages, LinesAndBottom) {
  const Rgb light{171, 197, 245}, dark{133, 154, 192};
  const Bitmap top = LoadBitmap("TopLine.rle"), bottomLine = LoadBitmap("BottomLine.rle");
  ASSERT_EQ(top.height, 4);
  ASSERT_EQ(bottomLine.height, 4);
  for (int x : {0, 25, 49}) {
    for (int y = 0; y < 3; ++y) EXPECT_EQ(top.Colour(x, y), light) << x << "," << y;
    EXPECT_EQ(top.Colour(x, 3), dark) << x;
    EXPECT_EQ(bottomLine.Colour(x, 0), dark) << x;
    for (int y = 1; y < 4; ++y) EXPECT_EQ(bottomLine.Colour(x, y), light) << x << "," << y;
  }
  const Bitmap bottom = LoadBitmap("Bottom.rle");
  ASSERT_EQ(bottom.indices.size(), 500u * 63u);
  for (int y = 0; y < bottom.height; ++y) {
    for (int x = 0; x < bottom.width; ++x) ASSERT_EQ(bottom.Colour(x, y), (Rgb{192, 212, 248})) << x << "," << y;
  }
}

TEST(PackageImages, LogoIsDarkRedOnWhite) {
  const Bitmap logo = LoadBitmap("Logo.rle");
  ASSERT_EQ(logo.width, 100);
  const Rgb red{140, 16, 32};
  EXPECT_EQ(logo.Colour(0, 0), kWhite);
  EXPECT_EQ(logo.Colour(99, 99), kWhite);
  EXPECT_EQ(logo.Colour(50, 5), red);    // the ring
  EXPECT_EQ(logo.Colour(39, 50), red);   // the letter's stem
  EXPECT_EQ(logo.Colour(55, 40), kWhite);  // inside the letter's bowl
}

TEST(PackageImages, DialogPictureIsPaleAndFadesToWhite) {
  const Bitmap dialog = LoadBitmap("Dialog.rle");
  ASSERT_EQ(dialog.width, 500);
  auto brightness = [&](int x) {
    int sum = 0;
    for (int y = 0; y < dialog.height; ++y) {
      const Rgb c = dialog.Colour(x, y);
      sum += c.red + c.green + c.blue;
    }
    return sum / dialog.height;
  };
  // The texts stand on white in the right two thirds.
  for (int x = 200; x < dialog.width; x += 37) EXPECT_EQ(brightness(x), 3 * 255) << x;
  EXPECT_LT(brightness(20), brightness(150));
  EXPECT_LT(brightness(150), brightness(250));
  for (int y = 0; y < dialog.height; y += 13) {
    const Rgb c = dialog.Colour(20, y);
    EXPECT_FALSE(c == kWhite) << y;
    EXPECT_GE(std::min({c.red, c.green, c.blue}), 150) << "pale at " << y;
  }
}

TEST(PackageImages, InfoIconIsABlueLetterInAWhiteBalloon) {
  const std::vector<IconImage> images = LoadIcon("Info.ico");
  ASSERT_EQ(images.size(), 2u);
  struct Probe {
    int size, letterX, letterY, balloonX, balloonY;
  };
  const Probe probes[] = {{32, 15, 15, 6, 14}, {16, 8, 8, 3, 7}};
  for (size_t i = 0; i < images.size(); ++i) {
    const IconImage &icon = images[i];
    const Probe &p = probes[i];
    ASSERT_EQ(icon.colour.width, p.size);
    EXPECT_EQ(icon.colour.height, p.size);
    EXPECT_EQ(icon.colour.bits, 4);
    EXPECT_EQ(icon.colour.palette.size(), 16u);
    EXPECT_EQ(icon.colour.Colour(p.letterX, p.letterY), (Rgb{0, 0, 255})) << p.size;
    EXPECT_FALSE(icon.Transparent(p.letterX, p.letterY));
    EXPECT_EQ(icon.colour.Colour(p.balloonX, p.balloonY), kWhite) << p.size;
    EXPECT_TRUE(icon.Transparent(0, 0)) << p.size;
    EXPECT_TRUE(icon.Transparent(p.size - 1, p.size - 1)) << p.size;
  }
}

TEST(PackageImages, ExclamationIconIsABlackMarkOnAYellowTriangle) {
  const std::vector<IconImage> images = LoadIcon("Exclamation.ico");
  ASSERT_EQ(images.size(), 1u);
  const IconImage &icon = images[0];
  ASSERT_EQ(icon.colour.width, 32);
  EXPECT_EQ(icon.colour.height, 32);
  EXPECT_EQ(icon.colour.bits, 4);
  EXPECT_EQ(icon.colour.palette.size(), 16u);
  EXPECT_EQ(icon.colour.Colour(16, 15), (Rgb{0, 0, 0}));   // the stroke
  EXPECT_EQ(icon.colour.Colour(16, 24), (Rgb{0, 0, 0}));   // the point
  EXPECT_EQ(icon.colour.Colour(10, 26), (Rgb{255, 255, 0}));
  EXPECT_FALSE(icon.Transparent(16, 15));
  EXPECT_TRUE(icon.Transparent(0, 0));
  EXPECT_TRUE(icon.Transparent(31, 0));
}

// The reader refuses data that breaks the run-length rules, so the checks
// above cannot pass on a faulty encoder.
TEST(ImageReader, RefusesBrokenRuns) {
  auto file = [](const std::string &runs, int width, int height) {
    std::string header(54 + 4 * 256, '\0');
    auto put32 = [&](size_t at, uint32_t v) {
      for (int k = 0; k < 4; ++k) header[at + k] = static_cast<char>(v >> (8 * k));
    };
    header[0] = 'B';
    header[1] = 'M';
    put32(2, static_cast<uint32_t>(header.size() + runs.size()));
    put32(10, static_cast<uint32_t>(header.size()));
    put32(14, 40);
    put32(18, width);
    put32(22, height);
    header[26] = 1;
    header[28] = 8;
    put32(30, 1);
    put32(34, static_cast<uint32_t>(runs.size()));
    return header + runs;
  };
  const std::string good("\x02\x05\x00\x00\x00\x01", 6);
  Bitmap bitmap;
  std::string error;
  EXPECT_TRUE(image::ReadBitmapFile(file(good, 2, 1), bitmap, error)) << error;
  EXPECT_TRUE(bitmap.complete);
  const std::pair<std::string, std::string> broken[] = {
      {std::string("\x03\x05\x00\x01", 4), "run passes the row"},
      {std::string("\x02\x05\x00\x00", 4), "no end-of-bitmap"},
      {std::string("\x00\x03\x01\x02", 4), "truncated absolute run"},
      {std::string("\x00\x03\x01\x02\x03\x00\x00\x01", 8), "absolute run passes the row"},
  };
  for (const auto &[runs, why] : broken) {
    Bitmap b;
    EXPECT_FALSE(image::ReadBitmapFile(file(runs, 2, 1), b, error)) << why;
  }
  Bitmap partial;
  EXPECT_TRUE(image::ReadBitmapFile(file(std::string("\x01\x05\x00\x00\x00\x01", 6), 2, 1), partial, error));
  EXPECT_FALSE(partial.complete) << "one pixel of two given";
}

}  // namespace
