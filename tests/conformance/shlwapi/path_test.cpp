// Path functions: each table holds the results Windows gives for the cases
// the system relies on (parent locations and leaf names of /s, log file
// names of /l, setup folders, relative paths of the property actions).
#include <windows.h>
#include <shlwapi.h>

#include "TestEnvironment.h"
#include "hw/paths.h"
#include "hw/text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string U8(std::u16string_view text) { return hw::Utf16ToUtf8(text); }

struct Buffer {
  explicit Buffer(std::u16string_view text) {
    text.copy(chars, text.size());
    chars[text.size()] = 0;
  }
  std::u16string str() const { return std::u16string(hw::View(chars)); }
  WCHAR chars[MAX_PATH + 8] = {};
};

TEST(PathRemoveFileSpec, Table) {
  struct Row {
    const char16_t *in;
    const char16_t *out;
    BOOL changed;
  } rows[] = {
      {u"C:\\pkgs\\Other.msi", u"C:\\pkgs", TRUE},
      {u"C:\\a\\b\\c.txt", u"C:\\a\\b", TRUE},
      {u"C:\\a\\b\\c\\", u"C:\\a\\b\\c", TRUE},  // a trailing backslash is removed as the "file"
      {u"C:\\file.txt", u"C:\\", TRUE},
      {u"C:\\", u"C:\\", FALSE},
      {u"file.txt", u"", TRUE},
      {u"\\file.txt", u"\\", TRUE},
      {u"a\\b", u"a", TRUE},
      {u"\\\\server\\share\\x.msi", u"\\\\server\\share", TRUE},
      {u"", u"", FALSE},
  };
  for (const Row &row : rows) {
    Buffer path(row.in);
    EXPECT_EQ(PathRemoveFileSpecW(path.chars), row.changed) << U8(row.in);
    EXPECT_EQ(path.str(), row.out) << U8(row.in);
  }
  EXPECT_FALSE(PathRemoveFileSpecW(nullptr));
}

TEST(PathAddBackslash, Table) {
  struct Row {
    const char16_t *in;
    const char16_t *out;
  } rows[] = {
      {u"C:\\pkgs", u"C:\\pkgs\\"},
      {u"C:\\pkgs\\", u"C:\\pkgs\\"},
      {u"C:", u"C:\\"},
      {u"", u""},  // an empty path stays empty
  };
  for (const Row &row : rows) {
    Buffer path(row.in);
    LPWSTR end = PathAddBackslashW(path.chars);
    EXPECT_EQ(path.str(), row.out) << U8(row.in);
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(*end, 0);
    EXPECT_EQ(end - path.chars, static_cast<ptrdiff_t>(path.str().size()));
  }
  // No room for one more character and its terminator.
  Buffer full(std::u16string(MAX_PATH - 1, u'a'));
  EXPECT_EQ(PathAddBackslashW(full.chars), nullptr);
  EXPECT_EQ(full.str().size(), static_cast<size_t>(MAX_PATH - 1));
}

TEST(PathRemoveBackslash, Table) {
  struct Row {
    const char16_t *in;
    const char16_t *out;
  } rows[] = {
      {u"C:\\a\\", u"C:\\a"},
      {u"C:\\a", u"C:\\a"},
      {u"C:\\", u"C:\\"},  // a root keeps its backslash
      {u"\\", u"\\"},
      {u"C:\\a\\\\", u"C:\\a\\"},  // only one is removed
  };
  for (const Row &row : rows) {
    Buffer path(row.in);
    LPWSTR at = PathRemoveBackslashW(path.chars);
    EXPECT_EQ(path.str(), row.out) << U8(row.in);
    std::u16string in(row.in);
    EXPECT_EQ(at - path.chars, static_cast<ptrdiff_t>(in.size() - 1)) << U8(row.in);
  }
}

TEST(PathFindFileNameAndStripPath, Table) {
  struct Row {
    const char16_t *in;
    const char16_t *name;
  } rows[] = {
      {u"C:\\pkgs\\Other.msi", u"Other.msi"},
      {u"http://example.com/dl/Orvandel20.msi", u"Orvandel20.msi"},  // splits at '/' too
      {u"http://example.com/dl/My%20File.msi", u"My%20File.msi"},
      {u"C:\\a\\b\\", u"b\\"},  // a trailing separator belongs to the last name
      {u"C:file.txt", u"file.txt"},
      {u"file.txt", u"file.txt"},
      {u"C:\\", u"C:\\"},
      {u"", u""},
  };
  for (const Row &row : rows) {
    EXPECT_EQ(std::u16string(hw::View(PathFindFileNameW(row.in))), row.name) << U8(row.in);
    Buffer path(row.in);
    PathStripPathW(path.chars);
    EXPECT_EQ(path.str(), row.name) << U8(row.in);
  }
}

TEST(PathFindExtension, Table) {
  struct Row {
    const char16_t *in;
    const char16_t *extension;
  } rows[] = {
      {u"Orvandel20.msi", u".msi"},
      {u"C:\\Logs\\setup.txt", u".txt"},
      {u"setup", u""},
      {u"*.txt", u".txt"},
      {u".txt", u".txt"},
      {u"archive.tar.gz", u".gz"},
      {u"C:\\dir.d\\file", u""},   // a dot in a folder name is no extension
      {u"name.a b", u""},          // nor is one followed by a blank
  };
  for (const Row &row : rows) {
    LPWSTR extension = PathFindExtensionW(row.in);
    EXPECT_EQ(std::u16string(hw::View(extension)), row.extension) << U8(row.in);
    EXPECT_EQ(extension + hw::Length(extension), row.in + hw::Length(row.in)) << "points into the argument";
  }
}

TEST(PathQuoteSpaces, Table) {
  struct Row {
    const char16_t *in;
    const char16_t *out;
    BOOL quoted;
  } rows[] = {
      {u"My File.msi", u"\"My File.msi\"", TRUE},
      {u"Orvandel20.msi", u"Orvandel20.msi", FALSE},
      {u"", u"", FALSE},
  };
  for (const Row &row : rows) {
    Buffer path(row.in);
    EXPECT_EQ(PathQuoteSpacesW(path.chars), row.quoted) << U8(row.in);
    EXPECT_EQ(path.str(), row.out);
  }
}

TEST(PathCanonicalize, Table) {
  struct Row {
    const char16_t *in;
    const char16_t *out;
  } rows[] = {
      {u"A:\\name_1\\.\\name_2\\..\\name_3", u"A:\\name_1\\name_3"},
      {u"A:\\name_1\\..\\name_2\\.\\name_3", u"A:\\name_2\\name_3"},
      {u"A:\\name_1\\name_2\\.\\name_3\\..\\name_4", u"A:\\name_1\\name_2\\name_4"},
      {u"A:\\name_1\\.\\name_2\\.\\name_3\\..\\name_4\\..", u"A:\\name_1\\name_2"},
      {u"C:\\..", u"C:\\"},
      {u"C:\\a\\b\\", u"C:\\a\\b\\"},
      {u"C:\\a\\.", u"C:\\a"},
      {u"C:\\Temp\\..\\Downloads", u"C:\\Downloads"},
      {u"", u"\\"},
  };
  for (const Row &row : rows) {
    WCHAR out[MAX_PATH];
    EXPECT_TRUE(PathCanonicalizeW(out, row.in)) << U8(row.in);
    EXPECT_EQ(std::u16string(hw::View(out)), row.out) << U8(row.in);
  }
  WCHAR out[MAX_PATH];
  std::u16string tooLong = u"C:\\" + std::u16string(MAX_PATH, u'a');
  SetLastError(0);
  EXPECT_FALSE(PathCanonicalizeW(out, tooLong.c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
  EXPECT_FALSE(PathCanonicalizeW(out, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(PathCombine, Table) {
  struct Row {
    const char16_t *dir;
    const char16_t *file;
    const char16_t *out;
  } rows[] = {
      {u"C:\\Logs", u"Orvandel20.log", u"C:\\Logs\\Orvandel20.log"},
      {u"C:\\Logs\\", u"setup.txt", u"C:\\Logs\\setup.txt"},
      {u"C:\\Program Files\\Orvandel", u"Setup", u"C:\\Program Files\\Orvandel\\Setup"},
      {u"C:\\a\\b", u"..\\c", u"C:\\a\\c"},
      {u"C:\\a", u"D:\\x.msi", u"D:\\x.msi"},  // a full path wins
      {u"C:\\a\\b", u"\\x.msi", u"C:\\x.msi"},  // rooted on the folder's drive
      {u"C:\\a", u"", u"C:\\a"},
      {u"C:\\a", nullptr, u"C:\\a"},
      {nullptr, u"x.msi", u"x.msi"},
  };
  for (const Row &row : rows) {
    WCHAR out[MAX_PATH] = {u'?'};
    EXPECT_EQ(PathCombineW(out, row.dir, row.file), out);
    EXPECT_EQ(std::u16string(hw::View(out)), row.out) << U8(hw::View(row.dir)) << " + " << U8(hw::View(row.file));
  }
  WCHAR out[MAX_PATH] = {u'?'};
  EXPECT_EQ(PathCombineW(out, nullptr, nullptr), nullptr);
  EXPECT_EQ(out[0], 0);
  std::u16string longName(MAX_PATH - 3, u'n');
  EXPECT_EQ(PathCombineW(out, u"C:\\folder", longName.c_str()), nullptr);
  EXPECT_EQ(out[0], 0);
}

TEST(PathAppend, Table) {
  struct Row {
    const char16_t *path;
    const char16_t *more;
    const char16_t *out;
  } rows[] = {
      {u"C:\\Program Files\\Orvandel", u"Setup", u"C:\\Program Files\\Orvandel\\Setup"},
      {u"C:\\Setup\\", u"Orvandel20.msi", u"C:\\Setup\\Orvandel20.msi"},
      {u"C:\\Setup", u"\\Orvandel20.msi", u"C:\\Setup\\Orvandel20.msi"},  // leading backslashes are skipped
      {u"C:\\Temp", u"My File.msi", u"C:\\Temp\\My File.msi"},
      {u"C:\\a\\b", u"..\\c", u"C:\\a\\c"},
  };
  for (const Row &row : rows) {
    Buffer path(row.path);
    EXPECT_TRUE(PathAppendW(path.chars, row.more));
    EXPECT_EQ(path.str(), row.out) << U8(row.path) << " + " << U8(row.more);
  }
  Buffer path(u"C:\\folder");
  std::u16string longName(MAX_PATH, u'n');
  EXPECT_FALSE(PathAppendW(path.chars, longName.c_str()));
}

TEST(PathRelativePathTo, Table) {
  // Both paths taken as files (attributes 0), as the relative-path action
  // passes them; the action then drops the leading ".\".
  struct Row {
    const char16_t *from;
    const char16_t *to;
    BOOL ok;
    const char16_t *out;
  } rows[] = {
      {u"C:\\a\\b\\f.txt", u"C:\\a\\c\\g.txt", TRUE, u"..\\c\\g.txt"},
      {u"C:\\a\\f.txt", u"C:\\a\\g.txt", TRUE, u".\\g.txt"},
      {u"C:\\a\\f.txt", u"C:\\a\\b\\c\\g.txt", TRUE, u".\\b\\c\\g.txt"},
      {u"C:\\a\\b\\f.txt", u"C:\\x.txt", TRUE, u"..\\..\\x.txt"},
      {u"C:\\A\\f.txt", u"c:\\a\\g.txt", TRUE, u".\\g.txt"},  // without regard to case
      {u"C:\\a\\f.txt", u"D:\\g.txt", FALSE, u""},             // no relative path across drives
  };
  for (const Row &row : rows) {
    WCHAR out[MAX_PATH] = {u'?'};
    EXPECT_EQ(PathRelativePathToW(out, row.from, 0, row.to, 0), row.ok) << U8(row.from) << " -> " << U8(row.to);
    EXPECT_EQ(std::u16string(hw::View(out)), row.out) << U8(row.from) << " -> " << U8(row.to);
  }
  WCHAR out[MAX_PATH];
  EXPECT_TRUE(PathRelativePathToW(out, u"C:\\a\\b", FILE_ATTRIBUTE_DIRECTORY, u"C:\\a\\c", FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(std::u16string(hw::View(out)), u"..\\c");
}

TEST(PathIsRelative, Table) {
  EXPECT_TRUE(PathIsRelativeW(u"setup.txt"));
  EXPECT_TRUE(PathIsRelativeW(u"a\\b"));
  EXPECT_FALSE(PathIsRelativeW(u"C:\\a"));
  EXPECT_FALSE(PathIsRelativeW(u"\\a"));
  EXPECT_FALSE(PathIsRelativeW(u"\\\\server\\share"));
}

TEST(PathExistence, FilesAndFolders) {
  std::string dir = testenv::MakeTempDir("exist");
  testenv::WriteFile(dir + "/file.txt", "x");
  std::u16string folder = hw::ToWindowsPath(dir);
  std::u16string file = folder + u"\\file.txt";
  std::u16string missing = folder + u"\\missing";
  EXPECT_EQ(PathIsDirectoryW(folder.c_str()), static_cast<BOOL>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_FALSE(PathIsDirectoryW(file.c_str()));
  EXPECT_FALSE(PathIsDirectoryW(missing.c_str()));
  EXPECT_TRUE(PathFileExistsW(folder.c_str()));
  EXPECT_TRUE(PathFileExistsW(file.c_str()));
  EXPECT_FALSE(PathFileExistsW(missing.c_str()));
  EXPECT_FALSE(PathFileExistsW(nullptr));
  EXPECT_FALSE(PathIsDirectoryW(nullptr));
}

// The parent location and leaf name of option /s, as the setup program
// forms them from these functions.
TEST(PathFunctions, ParentLocationAndLeafName) {
  Buffer parent(u"C:\\pkgs\\Other.msi");
  PathRemoveFileSpecW(parent.chars);
  PathAddBackslashW(parent.chars);
  EXPECT_EQ(parent.str(), u"C:\\pkgs\\");

  Buffer leaf(u"C:\\pkgs\\My%20Package.msi");
  PathStripPathW(leaf.chars);
  EXPECT_EQ(UrlUnescapeW(leaf.chars, nullptr, nullptr, URL_UNESCAPE_INPLACE), S_OK);
  PathQuoteSpacesW(leaf.chars);
  EXPECT_EQ(leaf.str(), u"\"My Package.msi\"");
}

}  // namespace
