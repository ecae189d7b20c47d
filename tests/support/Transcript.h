// Reads the user-interface transcript (HOSTWIN_TRANSCRIPT): one JSON object
// per line, one line per box or dialog event.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace testenv {

struct TranscriptEntry {
  // Every member as text: strings decoded (UTF-8), numbers as written,
  // arrays of strings joined with '|'.
  std::map<std::string, std::string> fields;

  std::string Get(const std::string &key) const;
  long long Number(const std::string &key) const;  // -1 when absent
};

// The entries of a transcript file; a line that is not a JSON object fails
// the calling test.
std::vector<TranscriptEntry> ReadTranscript(const std::string &path);
// The entries of this test process's own transcript.
std::vector<TranscriptEntry> ReadTranscript();
// Entries of one kind ("messagebox", ...).
std::vector<TranscriptEntry> EntriesOfKind(const std::vector<TranscriptEntry> &entries, const std::string &kind);

}  // namespace testenv
