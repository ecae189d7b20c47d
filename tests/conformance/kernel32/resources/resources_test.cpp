// Resources of a module through FindResourceW, LoadResource, LockResource,
// SizeofResource and LoadStringW, over the table the host resource compiler
// made from resources_test.rc; and the separate table of a library.
#include <windows.h>

#include "TestEnvironment.h"
#include "hw/paths.h"
#include "hw/text.h"
#include "resource_ids.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Bytes(HMODULE module, LPCWSTR name, LPCWSTR type) {
  HRSRC info = FindResourceW(module, name, type);
  if (!info) return "<not found>";
  HGLOBAL loaded = LoadResource(module, info);
  const void *data = LockResource(loaded);
  DWORD size = SizeofResource(module, info);
  return data ? std::string(static_cast<const char *>(data), size) : "<no data>";
}

std::u16string String(HMODULE module, UINT id) {
  WCHAR buffer[2048];
  int n = LoadStringW(module, id, buffer, 2048);
  return std::u16string(buffer, static_cast<size_t>(n));
}

TEST(Resources, RawDataMadeByTheBuild) {
  std::string expected = testenv::ReadFile(PACKAGE_SOURCE);
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(Bytes(nullptr, MAKEINTRESOURCEW(IDR_PACKAGE), RT_RCDATA), expected);
  EXPECT_EQ(Bytes(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_PACKAGE), RT_RCDATA), expected);
  EXPECT_EQ(Bytes(nullptr, u"#1000", u"#10"), expected) << "numbers written as \"#n\"";
}

TEST(Resources, InlineDataNamedTypesAndManifest) {
  EXPECT_EQ(Bytes(nullptr, MAKEINTRESOURCEW(IDR_INLINE), RT_RCDATA), std::string("ABCD\x78\x56\x34\x12W\0", 10));
  std::string manifest = Bytes(nullptr, MAKEINTRESOURCEW(1), RT_MANIFEST);
  EXPECT_NE(manifest.find("Pellomar.Test.Resources"), std::string::npos) << manifest;
  EXPECT_EQ(Bytes(nullptr, u"logo", u"pngdata"), manifest) << "names and types without regard to case";
}

TEST(Resources, Failures) {
  SetLastError(0);
  EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(4242), RT_RCDATA), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(1), RT_BITMAP), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
  EXPECT_EQ(FindResourceExW(nullptr, RT_RCDATA, MAKEINTRESOURCEW(IDR_PACKAGE), MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH)),
            nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_LANG_NOT_FOUND));
  EXPECT_NE(FindResourceExW(nullptr, RT_RCDATA, MAKEINTRESOURCEW(IDR_PACKAGE),
                            MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_CAN)),
            nullptr);
  // A module without resources (hostwin's own kernel32).
  EXPECT_EQ(FindResourceW(GetModuleHandleW(u"kernel32.dll"), MAKEINTRESOURCEW(1), RT_RCDATA), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));
  EXPECT_EQ(LoadResource(nullptr, nullptr), nullptr);
  EXPECT_EQ(SizeofResource(nullptr, nullptr), 0u);
}

TEST(LoadString, StringTable) {
  EXPECT_EQ(String(nullptr, IDS_TITLE), u"Setup %1");
  EXPECT_EQ(String(nullptr, IDS_QUOTED), u"He said \"hi\"\tand left\n");
  EXPECT_EQ(String(nullptr, IDS_UNICODE), u"caf\u00e9 \u20ac");
  EXPECT_EQ(String(nullptr, IDS_OTHER_BLOCK), u"in block two");
  WCHAR buffer[16] = {u'?'};
  EXPECT_EQ(LoadStringW(nullptr, IDS_EMPTY_SLOT, buffer, 16), 0) << "an empty slot of an existing block";
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(LoadStringW(nullptr, 4000, buffer, 16), 0) << "a block that does not exist";
  EXPECT_EQ(buffer[0], 0);
}

TEST(LoadString, BufferContract) {
  WCHAR small[6];
  EXPECT_EQ(LoadStringW(nullptr, IDS_TITLE, small, 6), 5) << "cut to fit, with its terminator";
  EXPECT_EQ(std::u16string(hw::View(small)), u"Setup");
  const WCHAR *direct = nullptr;
  EXPECT_EQ(LoadStringW(nullptr, IDS_TITLE, reinterpret_cast<LPWSTR>(&direct), 0), 8);
  ASSERT_NE(direct, nullptr);
  EXPECT_EQ(std::u16string(direct, 8), u"Setup %1") << "a pointer into the table";
}

TEST(LoadString, LanguageOrder) {
  // Both tables hold 1003; the user's English comes before German, and the
  // German one is there for who asks for it.
  EXPECT_EQ(String(nullptr, IDS_TITLE), u"Setup %1");
  HRSRC german = FindResourceExW(nullptr, RT_STRING, MAKEINTRESOURCEW(IDS_TITLE / 16 + 1),
                                 MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN));
  ASSERT_NE(german, nullptr);
  const auto *block = static_cast<const WCHAR *>(LockResource(LoadResource(nullptr, german)));
  // Slot 1003 % 16 = 11 of the block: skip the counted strings before it.
  for (int k = 0; k < IDS_TITLE % 16; ++k) block += 1 + block[0];
  EXPECT_EQ(std::u16string(block + 1, block[0]), u"Einrichtung %1");
}

// Walks a version block: each node is wLength, wValueLength, wType, a key,
// padding, a value and children.
struct VersionNode {
  std::u16string key;
  const uint8_t *value;
  size_t valueLength;
  bool text;
  std::vector<VersionNode> children;
};

VersionNode ParseNode(const uint8_t *p, size_t available) {
  auto word = [&](size_t at) { return static_cast<uint16_t>(p[at] | (p[at + 1] << 8)); };
  VersionNode node;
  size_t length = word(0);
  EXPECT_LE(length, available);
  node.valueLength = word(2);
  node.text = word(4) == 1;
  size_t at = 6;
  while (word(at)) {
    node.key.push_back(word(at));
    at += 2;
  }
  at = (at + 2 + 3) & ~size_t(3);
  node.value = p + at;
  at += node.text ? node.valueLength * 2 : node.valueLength;
  while (true) {
    at = (at + 3) & ~size_t(3);
    if (at >= length) break;
    node.children.push_back(ParseNode(p + at, length - at));
    at += word(at);
  }
  return node;
}

const VersionNode *Child(const VersionNode &node, std::u16string_view key) {
  for (const VersionNode &child : node.children) {
    if (child.key == key) return &child;
  }
  return nullptr;
}

TEST(Resources, VersionBlock) {
  std::string block = Bytes(nullptr, MAKEINTRESOURCEW(1), RT_VERSION);
  ASSERT_GT(block.size(), 92u);
  const auto *bytes = reinterpret_cast<const uint8_t *>(block.data());
  VersionNode root = ParseNode(bytes, block.size());
  EXPECT_EQ(bytes[0] | (bytes[1] << 8), static_cast<int>(block.size()));
  EXPECT_EQ(root.key, u"VS_VERSION_INFO");
  ASSERT_EQ(root.valueLength, 52u);
  uint32_t fixed[13];
  memcpy(fixed, root.value, sizeof fixed);
  EXPECT_EQ(fixed[0], 0xFEEF04BDu);
  EXPECT_EQ(fixed[2], 0x00020000u) << "file version 2.0";
  EXPECT_EQ(fixed[3], 0x0006006Eu) << "file version .6.110";
  EXPECT_EQ(fixed[4], 0x00020000u);
  EXPECT_EQ(fixed[5], 0x0006006Eu);
  EXPECT_EQ(fixed[6], 0x3Fu);
  EXPECT_EQ(fixed[7], 0x6u) << "prerelease | patched";
  EXPECT_EQ(fixed[8], 0x40004u);
  EXPECT_EQ(fixed[9], 1u);

  const VersionNode *strings = Child(root, u"StringFileInfo");
  ASSERT_NE(strings, nullptr);
  const VersionNode *table = Child(*strings, u"100904b0");
  ASSERT_NE(table, nullptr);
  const VersionNode *product = Child(*table, u"ProductName");
  ASSERT_NE(product, nullptr);
  EXPECT_TRUE(product->text);
  EXPECT_EQ(product->valueLength, 9u) << "characters with the terminator";
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t *>(product->value), 8), u"Orvandel");
  ASSERT_NE(Child(*table, u"CompanyName"), nullptr);
  const VersionNode *translation = Child(*Child(root, u"VarFileInfo"), u"Translation");
  ASSERT_NE(translation, nullptr);
  EXPECT_FALSE(translation->text);
  ASSERT_EQ(translation->valueLength, 4u);
  EXPECT_EQ(translation->value[0] | (translation->value[1] << 8), 0x1009);
  EXPECT_EQ(translation->value[2] | (translation->value[3] << 8), 1200);
}

TEST(Resources, EachModuleHasItsOwnTable) {
  std::u16string path = hw::ToWindowsPath(testenv::BinaryDir() + "/../lib/libconformance_resource_lib.so");
  HMODULE library = LoadLibraryW(path.c_str());
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(String(library, IDS_LIBRARY), u"from the library");
  EXPECT_EQ(Bytes(library, MAKEINTRESOURCEW(IDR_PACKAGE), RT_RCDATA), "library package");
  EXPECT_EQ(Bytes(nullptr, MAKEINTRESOURCEW(IDR_PACKAGE), RT_RCDATA), testenv::ReadFile(PACKAGE_SOURCE))
      << "the program's table is unchanged";
  EXPECT_EQ(FindResourceW(library, MAKEINTRESOURCEW(IDR_INLINE), RT_RCDATA), nullptr) << "only the program has it";
  EXPECT_TRUE(FreeLibrary(library));
  // Unloaded with its library, the table is gone.
  EXPECT_EQ(FindResourceW(library, MAKEINTRESOURCEW(IDR_LIBRARY), RT_RCDATA), nullptr);
}

}  // namespace
