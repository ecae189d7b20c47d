// The host resource compiler: a fault in a script fails with its file and
// line and leaves no output; and what it compiles is byte for byte what
// windres compiles from the same script.
#include "Lexer.h"
#include "Parser.h"
#include "Preprocess.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

struct CompileRun {
  int status;
  std::string output;
};

CompileRun Compile(const std::string &dir, const std::string &script) {
  testenv::WriteFile(dir + "/test.rc", script);
  std::string command = std::string(ORV_RC) + " --cpp " + C_COMPILER + " -I " + HOSTWIN_INCLUDE + " -o " + dir +
                        "/out.cpp " + dir + "/test.rc 2>&1";
  CompileRun run;
  run.status = testenv::RunProgram({"/bin/sh", "-c", command}, &run.output);
  return run;
}

TEST(ResourceCompiler, ErrorsNameTheirLine) {
  std::string dir = testenv::MakeTempDir("rcerrors");
  testenv::WriteFile(dir + "/ids.h", "#define IDS_A 1\n#define IDS_B 1\n");
  testenv::WriteFile(dir + "/data.bin", "data");
  struct Row {
    const char *script;
    const char *where;
    const char *message;
  } rows[] = {
      {"STRINGTABLE\nBEGIN\n  1 \"fine\"\n  2 \"unterminated\nEND\n", "test.rc:4:", "unterminated string"},
      {"\n\n1 DIALOG 0, 0, 10, 10\nBEGIN\nEND\n", "test.rc:3:", "DIALOG resources are not supported"},
      {"1 RCDATA \"missing.bin\"\n", "test.rc:1:", "cannot find the file \"missing.bin\""},
      {"#include \"ids.h\"\nSTRINGTABLE\nBEGIN\n  IDS_A \"a\"\n  IDS_B \"b\"\nEND\n", "test.rc:5:",
       "duplicate string id 1"},
      {"STRINGTABLE\nBEGIN\n  1 \"a\"\n", "test.rc:3:", "expected END"},
      {"1 RCDATA BEGIN 12ab END\n", "test.rc:1:", "malformed number"},
      {"1 RCDATA \"data.bin\"\n1 RCDATA \"data.bin\"\n", "test.rc:2:", "duplicate resource"},
      {"LANGUAGE 9\n", "test.rc:1:", "LANGUAGE needs a primary and a sub-language"},
      {"1 VERSIONINFO\n FILEVERSION 1,2,3,4\n FILEKIND 3\nBEGIN\nEND\n", "test.rc:3:", "unknown VERSIONINFO statement"},
      {"1 ICON \"data.bin\"\n", "test.rc:1:", "not an icon file"},
  };
  for (const Row &row : rows) {
    remove((dir + "/out.cpp").c_str());
    CompileRun run = Compile(dir, row.script);
    EXPECT_NE(run.status, 0) << row.script;
    EXPECT_NE(run.output.find(row.where), std::string::npos) << run.output;
    EXPECT_NE(run.output.find(std::string("error: ") + row.message), std::string::npos) << run.output;
    EXPECT_FALSE(testenv::FileExists(dir + "/out.cpp")) << "no partial output for: " << row.script;
  }
}

TEST(ResourceCompiler, ErrorInAnIncludedFileNamesThatFile) {
  std::string dir = testenv::MakeTempDir("rcinclude");
  testenv::WriteFile(dir + "/part.rc", "// part\n\n1 RCDATA \"nowhere.bin\"\n");
  CompileRun run = Compile(dir, "#include \"part.rc\"\n");
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.output.find("part.rc:3: error:"), std::string::npos) << run.output;
}

TEST(ResourceCompiler, PreprocessorFailureFailsTheBuild) {
  std::string dir = testenv::MakeTempDir("rccpp");
  CompileRun run = Compile(dir, "#include \"no-such-header.h\"\n");
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.output.find("error"), std::string::npos) << run.output;
  EXPECT_FALSE(testenv::FileExists(dir + "/out.cpp"));
}

// The resources of a .res file as windres writes it (type, name, language
// -> data), numbered ids only.
std::map<std::string, std::string> ReadRes(const std::string &bytes) {
  std::map<std::string, std::string> resources;
  auto word = [&](size_t at) { return static_cast<unsigned>(static_cast<uint8_t>(bytes[at]) | (static_cast<uint8_t>(bytes[at + 1]) << 8)); };
  auto dword = [&](size_t at) { return word(at) | (word(at + 2) << 16); };
  size_t at = 0;
  while (at + 32 <= bytes.size()) {
    unsigned size = dword(at), header = dword(at + 4);
    size_t p = at + 8;
    std::string ids[2];
    for (std::string &id : ids) {
      if (word(p) == 0xFFFF) {
        id = std::to_string(word(p + 2));
        p += 4;
      } else {
        while (word(p)) {
          id.push_back(static_cast<char>(word(p)));
          p += 2;
        }
        p += 2;
      }
    }
    p = (p + 3) & ~size_t(3);
    unsigned language = word(p + 6);
    if (size || ids[0] != "0")
      resources[ids[0] + "/" + ids[1] + "/" + std::to_string(language)] = bytes.substr(at + header, size);
    at = (at + header + size + 3) & ~size_t(3);
  }
  return resources;
}

TEST(ResourceCompiler, SameBytesAsWindres) {
  if (std::strlen(WINDRES) == 0) GTEST_SKIP() << "windres is not installed";
  std::string dir = testenv::MakeTempDir("rcwindres");
  // An icon file with two images.
  std::string icon("\0\0\1\0\2\0", 6);
  std::string images[2] = {std::string(40, 'a'), std::string(72, 'b')};
  uint32_t offset = 6 + 2 * 16;
  for (const std::string &image : images) {
    std::string entry(16, '\0');
    entry[0] = 16;
    entry[1] = 16;
    entry[4] = 1;
    entry[6] = 4;
    uint32_t size = static_cast<uint32_t>(image.size());
    memcpy(&entry[8], &size, 4);
    memcpy(&entry[12], &offset, 4);
    offset += size;
    icon += entry;
  }
  icon += images[0] + images[1];
  testenv::WriteFile(dir + "/app.ico", icon);
  testenv::WriteFile(dir + "/data.bin", std::string("raw\0data", 8));
  std::string script =
      "#include <windows.h>\n"
      "#define IDS_BASE 1000\n"
      "LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_CAN\n"
      "STRINGTABLE\nBEGIN\n"
      "  IDS_BASE+3 \"Setup %1\"\n"
      "  1004, \"two  blanks.  Quote \"\"q\"\" tab\\t\"\n"
      "  17 \"second block\"\n"
      "  31 L\"wide \\x00e9\"\n"
      "END\n"
      "STRINGTABLE LANGUAGE LANG_GERMAN, SUBLANG_GERMAN\nBEGIN\n  1003 \"Einrichtung %1\"\nEND\n"
      "100 ICON \"app.ico\"\n"
      "1000 RCDATA \"data.bin\"\n"
      "1001 RCDATA BEGIN \"AB\", 0x4443, 7L, L\"W\" END\n"
      "1 24 \"data.bin\"\n"
      "1 VERSIONINFO\n"
      " FILEVERSION 2,0,6,110\n PRODUCTVERSION 2,0,6\n FILEFLAGSMASK 0x3fL\n FILEFLAGS VS_FF_PRERELEASE\n"
      " FILEOS 0x40004L\n FILETYPE 0x2L\n FILESUBTYPE 0x0L\n"
      "BEGIN\n"
      "  BLOCK \"StringFileInfo\"\n  BEGIN\n    BLOCK \"100904b0\"\n    BEGIN\n"
      "      VALUE \"CompanyName\", \"Pellomar\"\n      VALUE \"FileDescription\", \"Orvandel Setup\"\n"
      "      VALUE \"Comments\", \"\"\n"
      "    END\n  END\n"
      "  BLOCK \"VarFileInfo\"\n  BEGIN\n    VALUE \"Translation\", 0x1009, 1200\n  END\n"
      "END\n";
  testenv::WriteFile(dir + "/test.rc", script);
  std::string res = dir + "/test.res";
  ASSERT_EQ(testenv::RunProgram({WINDRES, "-I", dir, "-O", "res", "-o", res, dir + "/test.rc"}), 0);
  std::map<std::string, std::string> expected = ReadRes(testenv::ReadFile(res));

  std::vector<std::string> files;
  rc::PreprocessOptions options{C_COMPILER, {HOSTWIN_INCLUDE}, {}};
  std::vector<rc::SourceLine> lines = rc::Preprocess(dir + "/test.rc", options, files);
  std::vector<rc::Token> tokens = rc::Tokenize(lines);
  std::vector<rc::Resource> resources =
      rc::Compile(tokens, [&](const std::string &name, const rc::SourceLine &) { return dir + "/" + name; });
  std::map<std::string, std::string> ours;
  for (const rc::Resource &r : resources) {
    ASSERT_TRUE(r.type.isNumber && r.name.isNumber);
    ours[std::to_string(r.type.number) + "/" + std::to_string(r.name.number) + "/" + std::to_string(r.language)] =
        std::string(r.data.begin(), r.data.end());
  }
  EXPECT_EQ(ours.size(), expected.size());
  for (const auto &[key, data] : expected) {
    ASSERT_TRUE(ours.count(key)) << "missing " << key;
    EXPECT_EQ(ours[key], data) << key;
  }
}

}  // namespace
