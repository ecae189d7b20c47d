// The command line (/?, /a, /d, /s, /l) and the usage message.
#include "setup/SetupRun.h"

#include "setup/resource.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <stdlib.h>

namespace {

const int kUsageTextLength = 2048;

enum class Option { None, Usage, Admin, Download, Source, Log };

bool IsOptionArgument(LPCWSTR pszArgument) { return pszArgument[0] == '/' || pszArgument[0] == '-'; }

// The option an argument names; d and s count only with a value after them.
Option OptionOf(LPCWSTR pszArgument, bool bHasValue) {
  if (!IsOptionArgument(pszArgument)) return Option::None;
  LPCWSTR pszName = pszArgument + 1;
  if (lstrcmpiW(pszName, TEXT("?")) == 0) return Option::Usage;
  if (lstrcmpiW(pszName, TEXT("a")) == 0) return Option::Admin;
  if (lstrcmpiW(pszName, TEXT("d")) == 0 && bHasValue) return Option::Download;
  if (lstrcmpiW(pszName, TEXT("s")) == 0 && bHasValue) return Option::Source;
  if (lstrcmpiW(pszName, TEXT("l")) == 0) return Option::Log;
  return Option::None;
}

// A file name without its last extension, and that extension (from its "."
// on; empty when there is none).
CString StemOf(LPCWSTR pszName) { return CString(pszName, static_cast<int>(PathFindExtensionW(pszName) - pszName)); }
CString ExtensionOf(LPCWSTR pszName) { return CString(PathFindExtensionW(pszName)); }

}  // namespace

LONG CSetupRun::ParseCommandLine() {
  LONG nFlags = 0;
  SetLastError(ERROR_SUCCESS);
  const int nArguments = __argc;
  WCHAR **ppszArguments = __wargv;
  for (int i = 1; i < nArguments; ++i) {
    if (nFlags & SETUP_FLAG_USAGE) {  // nothing may follow /?
      nFlags = SETUP_FLAG_USAGE;
      SetLastError(ERROR_BAD_ARGUMENTS);
      break;
    }
    const bool bHasValue = i + 1 < nArguments;
    switch (OptionOf(ppszArguments[i], bHasValue)) {
      case Option::None:
        if (ParseOtherArgument(i, nFlags)) {
          SetLastError(ERROR_BAD_ARGUMENTS);
          return nFlags;
        }
        break;
      case Option::Usage:
        nFlags = SETUP_FLAG_USAGE;
        break;
      case Option::Admin:
        nFlags |= SETUP_FLAG_ADMIN;
        break;
      case Option::Download:
        m_strTarget = ppszArguments[++i];
        nFlags |= SETUP_FLAG_KEEP_PACKAGE;
        break;
      case Option::Source:
        ApplyDownloadLocation(ppszArguments[++i]);
        SetLastError(ERROR_SUCCESS);  // the path tests may have set it
        break;
      case Option::Log: {
        LPCWSTR pszValue = nullptr;
        if (bHasValue && !IsOptionArgument(ppszArguments[i + 1])) pszValue = ppszArguments[++i];
        ApplyLogFile(pszValue);
        SetLastError(ERROR_SUCCESS);
        break;
      }
    }
  }
  return nFlags;
}

bool CSetupRun::ParseOtherArgument(int nIndex, LONG &nFlags) {
  nFlags = SETUP_FLAG_USAGE;
  return true;
}

// /s: a folder keeps the package file name; anything else names the package.
void CSetupRun::ApplyDownloadLocation(LPCWSTR pszValue) {
  if (PathIsDirectoryW(pszValue)) {
    WCHAR szFolder[MAX_PATH];
    lstrcpynW(szFolder, pszValue, MAX_PATH);
    PathAddBackslashW(szFolder);
    m_strDownloadPath = szFolder;
    return;
  }
  m_strDownloadPath = GetParentLocation(pszValue);
  m_strPackageFile = GetLeafName(pszValue);
}

// /l: a folder gets the log named after the package; a path is taken as it
// is; a bare name (or none, "*", "*.ext", ".ext") goes to the desktop.
void CSetupRun::ApplyLogFile(LPCWSTR pszValue) {
  WCHAR szPath[MAX_PATH];
  if (pszValue && PathIsDirectoryW(pszValue)) {
    CString strName = StemOf(m_strPackageFile) + TEXT(".log");
    szPath[0] = 0;
    PathCombineW(szPath, pszValue, strName);
    m_strLogFile = szPath;
    return;
  }
  if (pszValue && CString(pszValue).FindOneOf(TEXT("\\:")) >= 0) {
    m_strLogFile = pszValue;
    return;
  }
  CString strName;
  if (pszValue) {
    CString strStem = StemOf(pszValue);
    strName = (!strStem.IsEmpty() && strStem != TEXT("*")) ? CString(pszValue)
                                                          : StemOf(m_strPackageFile) + ExtensionOf(pszValue);
  } else {
    strName = StemOf(m_strPackageFile);
  }
  if (ExtensionOf(strName).IsEmpty()) strName += TEXT(".log");
  WCHAR szDesktop[MAX_PATH];
  szDesktop[0] = 0;
  SHGetSpecialFolderPathW(nullptr, szDesktop, CSIDL_DESKTOPDIRECTORY, FALSE);
  szPath[0] = 0;
  PathCombineW(szPath, szDesktop, strName);
  m_strLogFile = szPath;
}

void CSetupRun::ShowUsage(HWND hwndOwner) {
  struct UsageLine {
    LPCWSTR pszLetter;  // null for the heading
    UINT nID;
  };
  const UsageLine lines[] = {
      {nullptr, IDS_USAGE},           {TEXT("?"), IDS_USAGE_HELP}, {TEXT("a"), IDS_USAGE_ADMIN},
      {TEXT("d"), IDS_USAGE_DOWNLOAD}, {TEXT("l"), IDS_USAGE_LOG},
  };
  CString strUsage;
  for (const UsageLine &line : lines) {
    WCHAR szText[kUsageTextLength];
    szText[0] = 0;
    LoadStringW(AfxGetResourceHandle(), line.nID, szText, kUsageTextLength);
    CString strLine;
    if (line.pszLetter) {
      strLine.Format(TEXT("/%s  %s"), line.pszLetter, szText);
    } else {
      strLine = szText;
    }
    if (strLine.IsEmpty()) continue;
    if (!strUsage.IsEmpty()) strUsage += TEXT("\n  ");
    strUsage += strLine;
  }
  MessageBoxW(hwndOwner, strUsage, m_strTitle, MB_OK | MB_ICONINFORMATION);
}
