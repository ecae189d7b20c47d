// The shell's path functions: pure text work on Windows paths of at most
// MAX_PATH characters, with the results Windows gives (only the two
// existence tests touch the file system).
#include <windows.h>
#include <shlwapi.h>

#include "hw/text.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

bool IsDriveRoot(std::u16string_view path) {
  return path.size() >= 2 && path[1] == u':' &&
         ((path[0] >= u'A' && path[0] <= u'Z') || (path[0] >= u'a' && path[0] <= u'z'));
}

// The root of a path: "X:\", "X:", "\\server\share\", "\" or nothing.
std::u16string_view RootOf(std::u16string_view path) {
  if (IsDriveRoot(path)) return path.substr(0, path.size() > 2 && path[2] == u'\\' ? 3 : 2);
  if (path.substr(0, 2) == u"\\\\") {
    size_t server = path.find(u'\\', 2);
    if (server == std::u16string_view::npos) return path;
    size_t share = path.find(u'\\', server + 1);
    return share == std::u16string_view::npos ? path : path.substr(0, share + 1);
  }
  if (!path.empty() && path[0] == u'\\') return path.substr(0, 1);
  return std::u16string_view();
}

bool IsRoot(std::u16string_view path) {
  if (path == u"\\") return true;
  if (IsDriveRoot(path) && path.size() == 3 && path[2] == u'\\') return true;
  if (path.substr(0, 2) == u"\\\\") {
    // "\\server" and "\\server\share" (without anything below)
    size_t server = path.find(u'\\', 2);
    if (server == std::u16string_view::npos) return path.size() > 2;
    size_t share = path.find(u'\\', server + 1);
    return share == std::u16string_view::npos || share + 1 == path.size();
  }
  return false;
}

std::vector<std::u16string> Split(std::u16string_view text) {
  std::vector<std::u16string> segments;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(u'\\', start);
    if (end == std::u16string_view::npos) end = text.size();
    segments.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return segments;
}

bool Store(const std::u16string &text, LPWSTR out) {
  if (text.size() >= MAX_PATH) return false;
  memcpy(out, text.data(), text.size() * sizeof(WCHAR));
  out[text.size()] = 0;
  return true;
}

// "." and ".." segments removed; ".." never climbs above the root.
std::u16string Canonical(std::u16string_view path) {
  if (path.empty()) return u"\\";
  std::u16string_view root = RootOf(path);
  std::u16string_view rest = path.substr(root.size());
  std::vector<std::u16string> kept;
  if (!rest.empty()) {
    for (std::u16string &segment : Split(rest)) {
      if (segment == u".") continue;
      if (segment == u"..") {
        if (!kept.empty()) kept.pop_back();
        continue;
      }
      kept.push_back(std::move(segment));
    }
  }
  // A trailing backslash of the input survives as the empty last segment;
  // one left by a removed "." or ".." does not.
  if (!kept.empty() && kept.back().empty() && !rest.empty() && rest.back() != u'\\') kept.pop_back();
  std::u16string out(root);
  for (size_t k = 0; k < kept.size(); ++k) {
    if (k) out += u'\\';
    out += kept[k];
  }
  if (out.empty()) out = u"\\";
  return out;
}

}  // namespace

extern "C" LPWSTR WINAPI PathAddBackslashW(LPWSTR pszPath) {
  if (!pszPath) return nullptr;
  size_t length = hw::Length(pszPath);
  if (length + 1 >= MAX_PATH) return nullptr;
  if (length > 0 && pszPath[length - 1] != u'\\') {
    pszPath[length++] = u'\\';
    pszPath[length] = 0;
  }
  return pszPath + length;
}

extern "C" LPWSTR WINAPI PathRemoveBackslashW(LPWSTR pszPath) {
  if (!pszPath) return nullptr;
  size_t length = hw::Length(pszPath);
  if (length == 0) return pszPath;
  LPWSTR last = pszPath + length - 1;
  if (*last == u'\\' && !IsRoot(hw::View(pszPath))) *last = 0;
  return last;
}

extern "C" BOOL WINAPI PathRemoveFileSpecW(LPWSTR pszPath) {
  if (!pszPath) return FALSE;
  LPWSTR p = pszPath;
  LPWSTR fileSpec = p;
  // Past the two backslashes of a UNC path.
  if (*p == u'\\') fileSpec = ++p;
  if (*p == u'\\') fileSpec = ++p;
  while (*p) {
    if (*p == u'\\') {
      fileSpec = p;
    } else if (*p == u':') {
      fileSpec = ++p;
      if (*p == u'\\') {
        ++fileSpec;
        ++p;
      }
      continue;
    }
    ++p;
  }
  if (!*fileSpec) return FALSE;
  *fileSpec = 0;
  return TRUE;
}

extern "C" LPWSTR WINAPI PathFindFileNameW(LPCWSTR pszPath) {
  if (!pszPath) return nullptr;
  LPCWSTR name = pszPath;
  for (LPCWSTR p = pszPath; *p; ++p) {
    if ((*p == u'\\' || *p == u'/' || *p == u':') && p[1] && p[1] != u'\\' && p[1] != u'/') name = p + 1;
  }
  return const_cast<LPWSTR>(name);
}

extern "C" void WINAPI PathStripPathW(LPWSTR pszPath) {
  if (!pszPath) return;
  LPWSTR name = PathFindFileNameW(pszPath);
  if (name != pszPath) memmove(pszPath, name, (hw::Length(name) + 1) * sizeof(WCHAR));
}

extern "C" LPWSTR WINAPI PathFindExtensionW(LPCWSTR pszPath) {
  if (!pszPath) return nullptr;
  LPCWSTR dot = nullptr;
  LPCWSTR p = pszPath;
  for (; *p; ++p) {
    if (*p == u'\\' || *p == u' ') {
      dot = nullptr;
    } else if (*p == u'.') {
      dot = p;
    }
  }
  return const_cast<LPWSTR>(dot ? dot : p);
}

extern "C" BOOL WINAPI PathQuoteSpacesW(LPWSTR lpsz) {
  if (!lpsz) return FALSE;
  std::u16string_view text = hw::View(lpsz);
  if (text.find(u' ') == std::u16string_view::npos || text.size() + 3 > MAX_PATH) return FALSE;
  size_t length = text.size();
  memmove(lpsz + 1, lpsz, length * sizeof(WCHAR));
  lpsz[0] = u'"';
  lpsz[length + 1] = u'"';
  lpsz[length + 2] = 0;
  return TRUE;
}

extern "C" BOOL WINAPI PathCanonicalizeW(LPWSTR pszBuf, LPCWSTR pszPath) {
  if (!pszBuf || !pszPath) {
    if (pszBuf) pszBuf[0] = 0;
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::u16string_view path = hw::View(pszPath);
  if (path.size() >= MAX_PATH || !Store(Canonical(path), pszBuf)) {
    pszBuf[0] = 0;
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return FALSE;
  }
  return TRUE;
}

extern "C" LPWSTR WINAPI PathCombineW(LPWSTR pszDest, LPCWSTR pszDir, LPCWSTR pszFile) {
  if (!pszDest) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (!pszDir && !pszFile) {
    pszDest[0] = 0;
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::u16string_view dir = hw::View(pszDir);
  std::u16string_view file = hw::View(pszFile);
  std::u16string joined;
  if (file.empty()) {
    joined = dir;
  } else if (dir.empty() || IsDriveRoot(file) || file.substr(0, 2) == u"\\\\") {
    joined = file;
  } else if (file[0] == u'\\') {
    // Rooted on the folder's drive.
    std::u16string_view root = RootOf(dir);
    joined = std::u16string(root);
    if (!joined.empty() && joined.back() == u'\\') joined.pop_back();
    joined += file;
  } else {
    joined = dir;
    if (joined.back() != u'\\') joined += u'\\';
    joined += file;
  }
  if (joined.size() >= MAX_PATH || !PathCanonicalizeW(pszDest, reinterpret_cast<LPCWSTR>(joined.c_str()))) {
    pszDest[0] = 0;
    return nullptr;
  }
  return pszDest;
}

extern "C" BOOL WINAPI PathAppendW(LPWSTR pszPath, LPCWSTR pszMore) {
  if (!pszPath || !pszMore) return FALSE;
  std::u16string_view more = hw::View(pszMore);
  if (!IsDriveRoot(more) && more.substr(0, 2) != u"\\\\") {
    while (!more.empty() && more[0] == u'\\') more.remove_prefix(1);
  }
  std::u16string moreCopy(more);
  std::u16string path(hw::View(pszPath));
  return PathCombineW(pszPath, path.empty() ? nullptr : path.c_str(), moreCopy.c_str()) != nullptr;
}

extern "C" BOOL WINAPI PathIsRelativeW(LPCWSTR pszPath) {
  if (!pszPath || !*pszPath) return TRUE;
  return !(pszPath[0] == u'\\' || IsDriveRoot(hw::View(pszPath)));
}

extern "C" BOOL WINAPI PathIsDirectoryW(LPCWSTR pszPath) {
  if (!pszPath) return FALSE;
  DWORD attributes = GetFileAttributesW(pszPath);
  if (attributes == INVALID_FILE_ATTRIBUTES) return FALSE;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? FILE_ATTRIBUTE_DIRECTORY : FALSE;
}

extern "C" BOOL WINAPI PathFileExistsW(LPCWSTR pszPath) {
  if (!pszPath) return FALSE;
  return GetFileAttributesW(pszPath) != INVALID_FILE_ATTRIBUTES;
}

extern "C" BOOL WINAPI PathRelativePathToW(LPWSTR pszPath, LPCWSTR pszFrom, DWORD dwAttrFrom, LPCWSTR pszTo,
                                           DWORD dwAttrTo) {
  if (!pszPath || !pszFrom || !pszTo) return FALSE;
  pszPath[0] = 0;
  std::u16string_view from = hw::View(pszFrom);
  std::u16string_view to = hw::View(pszTo);
  std::u16string_view fromRoot = RootOf(from);
  std::u16string_view toRoot = RootOf(to);
  if (!hw::EqualsNoCase(fromRoot, toRoot)) return FALSE;

  auto segmentsOf = [](std::u16string_view rest) {
    std::vector<std::u16string> segments;
    for (std::u16string &s : Split(rest)) {
      if (!s.empty()) segments.push_back(std::move(s));
    }
    return segments;
  };
  std::vector<std::u16string> fromDir = segmentsOf(from.substr(fromRoot.size()));
  if (!(dwAttrFrom & FILE_ATTRIBUTE_DIRECTORY) && !fromDir.empty()) fromDir.pop_back();
  std::vector<std::u16string> toPath = segmentsOf(to.substr(toRoot.size()));
  size_t toDirCount = toPath.size() - ((!(dwAttrTo & FILE_ATTRIBUTE_DIRECTORY) && !toPath.empty()) ? 1 : 0);

  size_t common = 0;
  while (common < fromDir.size() && common < toDirCount && hw::EqualsNoCase(fromDir[common], toPath[common])) ++common;
  std::u16string relative;
  for (size_t k = common; k < fromDir.size(); ++k) relative += k == common ? u".." : u"\\..";
  if (relative.empty()) relative = u".";
  for (size_t k = common; k < toPath.size(); ++k) relative += u"\\" + toPath[k];
  return Store(relative, pszPath);
}
