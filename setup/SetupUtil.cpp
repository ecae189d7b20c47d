#include "setup/SetupUtil.h"

#include <shlwapi.h>

namespace {

const int kStringBufferLength = 2048;
const int kLocationBufferLength = 2084;  // INTERNET_MAX_URL_LENGTH
const int kMaxInserts = 99;

}  // namespace

HRESULT CSetupUtil::ToHResult(DWORD dwError) { return HRESULT_FROM_WIN32(dwError); }

HRESULT CSetupUtil::LastErrorOrFail() {
  DWORD dwError = GetLastError();
  return dwError ? ToHResult(dwError) : E_FAIL;
}

CString CSetupUtil::LoadFormattedString(UINT nID, LPCWSTR pszInsert1, LPCWSTR pszInsert2, LPCWSTR pszInsert3,
                                        LPCWSTR pszInsert4) {
  WCHAR szTemplate[kStringBufferLength];
  szTemplate[0] = 0;
  LoadStringW(AfxGetResourceHandle(), nID, szTemplate, kStringBufferLength);

  // Every insert the formatter could ask for points at a string, so that a
  // text with more inserts than the caller gave cannot read past them.
  DWORD_PTR inserts[kMaxInserts];
  for (DWORD_PTR &insert : inserts) insert = reinterpret_cast<DWORD_PTR>(TEXT(""));
  LPCWSTR given[] = {pszInsert1, pszInsert2, pszInsert3, pszInsert4};
  for (int i = 0; i < 4; ++i) {
    if (given[i]) inserts[i] = reinterpret_cast<DWORD_PTR>(given[i]);
  }

  LPWSTR pszFormatted = nullptr;
  DWORD dwLength = FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                      FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                  szTemplate, 0, 0, reinterpret_cast<LPWSTR>(&pszFormatted), 0,
                                  reinterpret_cast<va_list *>(inserts));
  CString strResult;
  if (dwLength && pszFormatted) strResult = pszFormatted;
  if (pszFormatted) LocalFree(pszFormatted);
  return strResult;
}

CString CSetupUtil::GetSystemMessage(HRESULT hr) {
  LPWSTR pszMessage = nullptr;
  // Inserts are ignored: some system texts name %1 and no arguments are given.
  DWORD dwLength = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, static_cast<DWORD>(hr) & 0xFFFF, 0,
                                  reinterpret_cast<LPWSTR>(&pszMessage), 0, nullptr);
  CString strMessage;
  if (dwLength && pszMessage) strMessage = pszMessage;
  if (pszMessage) LocalFree(pszMessage);
  return strMessage;
}

CString CSetupUtil::GetParentLocation(LPCWSTR pszValue) {
  if (!pszValue) return CString();
  if (PathIsURLW(pszValue)) {
    // Everything up to and including the last "/" of the path, as the
    // configured address is split; a URL without a path is a folder itself.
    CString strValue(pszValue);
    int nSchemeEnd = strValue.Find(TEXT("://"));
    int nHostStart = nSchemeEnd >= 0 ? nSchemeEnd + 3 : 0;
    int nSlash = strValue.ReverseFind('/');
    if (nSlash < nHostStart) return strValue + TEXT("/");
    return strValue.Left(nSlash + 1);
  }
  WCHAR szLocation[kLocationBufferLength];
  lstrcpynW(szLocation, pszValue, kLocationBufferLength);
  PathRemoveFileSpecW(szLocation);
  PathAddBackslashW(szLocation);
  return CString(szLocation);
}

CString CSetupUtil::GetLeafName(LPCWSTR pszValue) {
  if (!pszValue) return CString();
  WCHAR szLeaf[kLocationBufferLength];
  lstrcpynW(szLeaf, pszValue, kLocationBufferLength);
  PathStripPathW(szLeaf);
  UrlUnescapeW(szLeaf, nullptr, nullptr, URL_UNESCAPE_INPLACE);
  PathQuoteSpacesW(szLeaf);
  return CString(szLeaf);
}
