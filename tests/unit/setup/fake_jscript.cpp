// Stands in for "JScript.dll" in the script engine repair tests.
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

extern "C" __attribute__((visibility("default"))) long DllRegisterServer() {
  if (const char *log = getenv("ORV_FAKE_JSCRIPT_LOG")) {
    if (FILE *f = fopen(log, "a")) {
      fputs("registered\n", f);
      fclose(f);
    }
  }
  if (getenv("ORV_FAKE_JSCRIPT_THROW")) throw std::runtime_error("registration failed");
  return 0;
}
