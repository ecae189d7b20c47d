// Folder creation with missing parents (SHCreateDirectoryExW) and the
// preparation of a folder for writing, which may ask the user whether to
// create it (SHPathPrepareForWriteW).
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "hw/text.h"
#include "hw/ui.h"

#include <string>

namespace {

DWORD AttributesOf(const std::u16string &path) { return GetFileAttributesW(reinterpret_cast<LPCWSTR>(path.c_str())); }

// Creates the folder after its missing parents; a Win32 code.
DWORD CreateTree(const std::u16string &path) {
  DWORD attributes = AttributesOf(path);
  if (attributes != INVALID_FILE_ATTRIBUTES)
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? ERROR_ALREADY_EXISTS : ERROR_FILE_EXISTS;
  size_t slash = path.find_last_of(u'\\');
  if (slash != std::u16string::npos && slash > 2) {
    DWORD parent = CreateTree(path.substr(0, slash));
    if (parent != ERROR_SUCCESS && parent != ERROR_ALREADY_EXISTS) return parent;
  }
  return CreateDirectoryW(reinterpret_cast<LPCWSTR>(path.c_str()), nullptr) ? ERROR_SUCCESS : GetLastError();
}

std::u16string WithoutTrailingBackslash(std::u16string path) {
  while (path.size() > 3 && path.back() == u'\\') path.pop_back();
  return path;
}

bool UserAgreesToCreate(const std::u16string &folder) {
  hw::ui::Prompt prompt;
  prompt.kind = "messagebox";
  prompt.title = u"Create Folder";
  prompt.text = u"The folder \"" + folder + u"\" does not exist.\n\nDo you want to create it?";
  prompt.style = MB_YESNO | MB_ICONQUESTION;
  prompt.buttons = hw::ui::MessageBoxButtons(MB_YESNO);
  return hw::ui::Ask(prompt) == IDYES;
}

}  // namespace

extern "C" int WINAPI SHCreateDirectoryExW(HWND hwnd, LPCWSTR pszPath, const SECURITY_ATTRIBUTES *psa) {
  DWORD result;
  if (!pszPath || PathIsRelativeW(pszPath)) {
    result = ERROR_BAD_PATHNAME;
  } else if (hw::Length(pszPath) >= MAX_PATH) {
    result = ERROR_FILENAME_EXCED_RANGE;
  } else {
    result = CreateTree(WithoutTrailingBackslash(std::u16string(hw::View(pszPath))));
  }
  SetLastError(result);
  return static_cast<int>(result);
}

extern "C" HRESULT WINAPI SHPathPrepareForWriteW(HWND hwnd, IUnknown *punkEnableModless, LPCWSTR pszPath,
                                                 DWORD dwFlags) {
  if (!pszPath) return E_INVALIDARG;
  WCHAR full[MAX_PATH];
  DWORD length = GetFullPathNameW(pszPath, MAX_PATH, full, nullptr);
  if (length == 0) return HRESULT_FROM_WIN32(GetLastError());
  if (length >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  if (dwFlags & SHPPFW_IGNOREFILENAME) PathRemoveFileSpecW(full);
  std::u16string folder = WithoutTrailingBackslash(std::u16string(hw::View(full)));

  DWORD attributes = AttributesOf(folder);
  if (attributes != INVALID_FILE_ATTRIBUTES)
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? S_OK : HRESULT_FROM_WIN32(ERROR_DIRECTORY);
  DWORD missing = GetLastError();
  if (missing != ERROR_FILE_NOT_FOUND && missing != ERROR_PATH_NOT_FOUND) return HRESULT_FROM_WIN32(missing);
  if (!(dwFlags & (SHPPFW_DIRCREATE | SHPPFW_ASKDIRCREATE))) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
  if ((dwFlags & SHPPFW_ASKDIRCREATE) && !UserAgreesToCreate(folder)) return HRESULT_FROM_WIN32(ERROR_CANCELLED);
  DWORD created = CreateTree(folder);
  if (created != ERROR_SUCCESS && created != ERROR_ALREADY_EXISTS) return HRESULT_FROM_WIN32(created);
  return S_OK;
}
