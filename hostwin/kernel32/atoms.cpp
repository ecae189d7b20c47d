// The global atom table, shared by every process of a prefix.
//
// The table is one small text file in the runtime folder, read and rewritten
// under an exclusive lock by every call. Atoms outlive the process that added
// them, as on Windows, until their reference count drops to zero.
#include <winbase.h>

#include "hw/runtime.h"
#include "hw/text.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace {

constexpr ATOM kFirstStringAtom = 0xC000;
constexpr size_t kMaxAtomName = 255;

struct Entry {
  std::u16string name;
  unsigned refs;
};
using Table = std::map<ATOM, Entry>;

// Reads the table; one line per atom: "<atom> <refs> <utf-8 name as hex>".
Table ReadTable(int fd) {
  Table table;
  std::string text;
  char buffer[4096];
  lseek(fd, 0, SEEK_SET);
  for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    unsigned atom = 0, refs = 0;
    int consumed = 0;
    if (sscanf(line.c_str(), "%x %u %n", &atom, &refs, &consumed) != 2 || consumed == 0) continue;
    if (atom < kFirstStringAtom || atom > 0xFFFF || refs == 0) continue;
    std::string utf8;
    for (size_t k = static_cast<size_t>(consumed); k + 1 < line.size(); k += 2) {
      unsigned byte = 0;
      if (sscanf(line.c_str() + k, "%2x", &byte) != 1) break;
      utf8.push_back(static_cast<char>(byte));
    }
    table[static_cast<ATOM>(atom)] = Entry{hw::Utf8ToUtf16(utf8), refs};
  }
  return table;
}

void WriteTable(int fd, const Table &table) {
  std::string text;
  for (const auto &[atom, entry] : table) {
    char head[32];
    snprintf(head, sizeof head, "%x %u ", atom, entry.refs);
    text += head;
    for (unsigned char c : hw::Utf16ToUtf8(entry.name)) {
      char hex[3];
      snprintf(hex, sizeof hex, "%02x", c);
      text += hex;
    }
    text += '\n';
  }
  if (ftruncate(fd, 0) == 0) {
    (void)!pwrite(fd, text.data(), text.size(), 0);
  }
}

std::string TablePath() { return hw::RuntimeSubdir("atoms") + "/global"; }

// Integer atoms: MAKEINTATOM values and "#nnn" strings. Returns true when the
// argument is one, with its value (0 when it is out of range).
bool ParseIntegerAtom(LPCWSTR text, ATOM &value) {
  if (IS_INTRESOURCE(text)) {
    auto number = reinterpret_cast<ULONG_PTR>(text);
    value = number < kFirstStringAtom ? static_cast<ATOM>(number) : 0;
    return true;
  }
  if (text[0] != u'#') return false;
  unsigned long number = 0;
  size_t k = 1;
  for (; text[k] >= u'0' && text[k] <= u'9'; ++k) {
    number = number * 10 + (text[k] - u'0');
    if (number > 0xFFFF) break;
  }
  if (k == 1 || text[k] != 0) return false;  // "#abc" is an ordinary name
  value = number > 0 && number < kFirstStringAtom ? static_cast<ATOM>(number) : 0;
  return true;
}

bool FindByName(const Table &table, std::u16string_view name, ATOM &atom) {
  for (const auto &[key, entry] : table) {
    if (hw::EqualsNoCase(entry.name, name)) {
      atom = key;
      return true;
    }
  }
  return false;
}

}  // namespace

extern "C" ATOM WINAPI GlobalAddAtomW(LPCWSTR lpString) {
  if (!lpString) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  ATOM value = 0;
  if (ParseIntegerAtom(lpString, value)) {
    if (!value) SetLastError(ERROR_INVALID_PARAMETER);
    return value;
  }
  std::u16string_view name = hw::View(lpString);
  if (name.empty() || name.size() > kMaxAtomName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  hw::FileLock lock(TablePath());
  if (!lock.ok()) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  Table table = ReadTable(lock.fd());
  ATOM atom;
  if (FindByName(table, name, atom)) {
    ++table[atom].refs;
  } else {
    atom = kFirstStringAtom;
    while (table.count(atom)) {
      if (atom == 0xFFFF) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
      }
      ++atom;
    }
    table[atom] = Entry{std::u16string(name), 1};
  }
  WriteTable(lock.fd(), table);
  return atom;
}

extern "C" ATOM WINAPI GlobalFindAtomW(LPCWSTR lpString) {
  if (!lpString) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  ATOM value = 0;
  if (ParseIntegerAtom(lpString, value)) {
    if (!value) SetLastError(ERROR_INVALID_PARAMETER);
    return value;
  }
  hw::FileLock lock(TablePath());
  ATOM atom = 0;
  if (!lock.ok() || !FindByName(ReadTable(lock.fd()), hw::View(lpString), atom)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
  }
  return atom;
}

// Returns 0 on success and the atom itself on failure.
extern "C" ATOM WINAPI GlobalDeleteAtom(ATOM nAtom) {
  if (nAtom < kFirstStringAtom) return 0;  // integer atoms are not counted
  hw::FileLock lock(TablePath());
  Table table = lock.ok() ? ReadTable(lock.fd()) : Table();
  auto it = table.find(nAtom);
  if (it == table.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nAtom;
  }
  if (--it->second.refs == 0) table.erase(it);
  WriteTable(lock.fd(), table);
  return 0;
}

extern "C" UINT WINAPI GlobalGetAtomNameW(ATOM nAtom, LPWSTR lpBuffer, int nSize) {
  if (!lpBuffer || nSize <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string name;
  if (nAtom == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (nAtom < kFirstStringAtom) {
    name = u"#" + hw::Utf8ToUtf16(std::to_string(nAtom));
  } else {
    hw::FileLock lock(TablePath());
    Table table = lock.ok() ? ReadTable(lock.fd()) : Table();
    auto it = table.find(nAtom);
    if (it == table.end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return 0;
    }
    name = it->second.name;
  }
  size_t count = name.size() < static_cast<size_t>(nSize) ? name.size() : static_cast<size_t>(nSize - 1);
  name.copy(lpBuffer, count);
  lpBuffer[count] = 0;
  return static_cast<UINT>(count);
}
