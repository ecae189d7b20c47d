// Special folders: the CSIDLs the system asks for, mapped onto the prefix's
// layout (a user profile under C:\users\<name>, as since Windows Vista).
#include <windows.h>
#include <shlobj.h>

#include "hw/config.h"
#include "hw/folders.h"
#include "hw/text.h"

#include <vector>

namespace {

std::u16string ProgramFiles(bool x86View) {
  // A 32-bit process on 64-bit Windows sees the x86 folder as its own.
  bool sixtyFour = hw::Architecture() != hw::Arch::X86;
  return sixtyFour && x86View ? u"C:\\Program Files (x86)" : u"C:\\Program Files";
}

bool Is32BitProcess() { return hw::Architecture() == hw::Arch::X86 || hw::Architecture() == hw::Arch::X86OnX64; }

// Creates a folder and its missing parents.
bool CreateFolderTree(const std::u16string &path) {
  if (GetFileAttributesW(reinterpret_cast<LPCWSTR>(path.c_str())) != INVALID_FILE_ATTRIBUTES) return true;
  size_t slash = path.find_last_of(u'\\');
  if (slash != std::u16string::npos && slash > 2 && !CreateFolderTree(path.substr(0, slash))) return false;
  return CreateDirectoryW(reinterpret_cast<LPCWSTR>(path.c_str()), nullptr) ||
         GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace

namespace hw {

std::optional<std::u16string> SpecialFolderPath(int csidl) {
  const std::u16string profile = UserProfileDirectory();
  const std::u16string roaming = profile + u"\\AppData\\Roaming";
  const std::u16string local = profile + u"\\AppData\\Local";
  const std::u16string startMenu = roaming + u"\\Microsoft\\Windows\\Start Menu";
  const std::u16string commonStartMenu = u"C:\\ProgramData\\Microsoft\\Windows\\Start Menu";
  const std::u16string programFiles = ProgramFiles(Is32BitProcess());
  switch (csidl) {
    case CSIDL_DESKTOP:
    case CSIDL_DESKTOPDIRECTORY: return profile + u"\\Desktop";
    case CSIDL_PERSONAL: return profile + u"\\Documents";
    case CSIDL_FAVORITES: return profile + u"\\Favorites";
    case CSIDL_MYMUSIC: return profile + u"\\Music";
    case CSIDL_MYVIDEO: return profile + u"\\Videos";
    case CSIDL_MYPICTURES: return profile + u"\\Pictures";
    case CSIDL_PROFILE: return profile;
    case CSIDL_APPDATA: return roaming;
    case CSIDL_LOCAL_APPDATA: return local;
    case CSIDL_INTERNET_CACHE: return local + u"\\Microsoft\\Windows\\INetCache";
    case CSIDL_COOKIES: return local + u"\\Microsoft\\Windows\\INetCookies";
    case CSIDL_HISTORY: return local + u"\\Microsoft\\Windows\\History";
    case CSIDL_RECENT: return roaming + u"\\Microsoft\\Windows\\Recent";
    case CSIDL_SENDTO: return roaming + u"\\Microsoft\\Windows\\SendTo";
    case CSIDL_TEMPLATES: return roaming + u"\\Microsoft\\Windows\\Templates";
    case CSIDL_STARTMENU: return startMenu;
    case CSIDL_PROGRAMS: return startMenu + u"\\Programs";
    case CSIDL_STARTUP: return startMenu + u"\\Programs\\Startup";
    case CSIDL_ADMINTOOLS: return startMenu + u"\\Programs\\Administrative Tools";
    case CSIDL_COMMON_STARTMENU: return commonStartMenu;
    case CSIDL_COMMON_PROGRAMS: return commonStartMenu + u"\\Programs";
    case CSIDL_COMMON_STARTUP: return commonStartMenu + u"\\Programs\\Startup";
    case CSIDL_COMMON_ADMINTOOLS: return commonStartMenu + u"\\Programs\\Administrative Tools";
    case CSIDL_COMMON_TEMPLATES: return u"C:\\ProgramData\\Microsoft\\Windows\\Templates";
    case CSIDL_COMMON_APPDATA: return u"C:\\ProgramData";
    case CSIDL_COMMON_DESKTOPDIRECTORY: return u"C:\\users\\Public\\Desktop";
    case CSIDL_COMMON_DOCUMENTS: return u"C:\\users\\Public\\Documents";
    case CSIDL_WINDOWS: return WindowsDirectory();
    case CSIDL_FONTS: return WindowsDirectory() + u"\\Fonts";
    case CSIDL_SYSTEM: return SystemDirectory();
    case CSIDL_SYSTEMX86:
      return Architecture() == Arch::X86 ? SystemDirectory() : WindowsDirectory() + u"\\SysWOW64";
    case CSIDL_PROGRAM_FILES: return programFiles;
    case CSIDL_PROGRAM_FILESX86: return ProgramFiles(true);
    case CSIDL_PROGRAM_FILES_COMMON: return programFiles + u"\\Common Files";
    case CSIDL_PROGRAM_FILES_COMMONX86: return ProgramFiles(true) + u"\\Common Files";
    default: return std::nullopt;  // virtual folders and unknown CSIDLs
  }
}

}  // namespace hw

extern "C" HRESULT WINAPI SHGetFolderPathW(HWND hwnd, int csidl, HANDLE hToken, DWORD dwFlags, LPWSTR pszPath) {
  if (pszPath) pszPath[0] = 0;
  if (!pszPath) return E_INVALIDARG;
  std::optional<std::u16string> folder = hw::SpecialFolderPath(csidl & ~CSIDL_FLAG_MASK);
  if (!folder) return E_INVALIDARG;
  if (folder->size() >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  if (csidl & CSIDL_FLAG_CREATE) {
    if (!CreateFolderTree(*folder)) return HRESULT_FROM_WIN32(GetLastError());
  } else if (!(csidl & CSIDL_FLAG_DONT_VERIFY)) {
    DWORD attributes = GetFileAttributesW(reinterpret_cast<LPCWSTR>(folder->c_str()));
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
      return E_FAIL;  // the folder does not exist
  }
  hw::CopyOut(*folder, pszPath, MAX_PATH);
  return S_OK;
}

extern "C" BOOL WINAPI SHGetSpecialFolderPathW(HWND hwnd, LPWSTR pszPath, int csidl, BOOL fCreate) {
  return SHGetFolderPathW(hwnd, csidl | (fCreate ? CSIDL_FLAG_CREATE : 0), nullptr, SHGFP_TYPE_CURRENT, pszPath) ==
         S_OK;
}
