// The shell's light-weight path and URL functions, for the host build.
#pragma once

#include <windef.h>
#include <winerror.h>

#define URL_UNESCAPE 0x10000000
#define URL_UNESCAPE_INPLACE 0x00100000
#define URL_UNESCAPE_HIGH_ANSI_ONLY 0x00400000
#define URL_UNESCAPE_AS_UTF8 0x00040000
#define URL_DONT_UNESCAPE_EXTRA_INFO 0x02000000
#define URL_ESCAPE_UNSAFE 0x20000000
#define URL_ESCAPE_SPACES_ONLY 0x04000000
#define URL_ESCAPE_PERCENT 0x00001000
#define URL_DONT_SIMPLIFY 0x08000000
#define URL_NO_META URL_DONT_SIMPLIFY
#define URL_WININET_COMPATIBILITY 0x80000000

#define URL_PARTFLAG_KEEPSCHEME 0x00000001

typedef enum {
  URLIS_URL,
  URLIS_OPAQUE,
  URLIS_NOHISTORY,
  URLIS_FILEURL,
  URLIS_APPLIABLE,
  URLIS_DIRECTORY,
  URLIS_HASQUERY
} URLIS;

typedef enum {
  URL_PART_NONE = 0,
  URL_PART_SCHEME = 1,
  URL_PART_HOSTNAME,
  URL_PART_USERNAME,
  URL_PART_PASSWORD,
  URL_PART_PORT,
  URL_PART_QUERY
} URL_PART;

#ifdef __cplusplus
extern "C" {
#endif

LPWSTR WINAPI PathCombineW(LPWSTR pszDest, LPCWSTR pszDir, LPCWSTR pszFile);
BOOL WINAPI PathAppendW(LPWSTR pszPath, LPCWSTR pszMore);
LPWSTR WINAPI PathAddBackslashW(LPWSTR pszPath);
LPWSTR WINAPI PathRemoveBackslashW(LPWSTR pszPath);
BOOL WINAPI PathRemoveFileSpecW(LPWSTR pszPath);
void WINAPI PathStripPathW(LPWSTR pszPath);
LPWSTR WINAPI PathFindFileNameW(LPCWSTR pszPath);
LPWSTR WINAPI PathFindExtensionW(LPCWSTR pszPath);
BOOL WINAPI PathQuoteSpacesW(LPWSTR lpsz);
BOOL WINAPI PathCanonicalizeW(LPWSTR pszBuf, LPCWSTR pszPath);
BOOL WINAPI PathIsDirectoryW(LPCWSTR pszPath);
BOOL WINAPI PathFileExistsW(LPCWSTR pszPath);
BOOL WINAPI PathIsRelativeW(LPCWSTR pszPath);
BOOL WINAPI PathRelativePathToW(LPWSTR pszPath, LPCWSTR pszFrom, DWORD dwAttrFrom, LPCWSTR pszTo,
                                DWORD dwAttrTo);
BOOL WINAPI PathIsURLW(LPCWSTR pszPath);

BOOL WINAPI UrlIsW(LPCWSTR pszUrl, URLIS UrlIs);
HRESULT WINAPI UrlGetPartW(LPCWSTR pszIn, LPWSTR pszOut, DWORD *pcchOut, DWORD dwPart, DWORD dwFlags);
HRESULT WINAPI UrlUnescapeW(LPWSTR pszUrl, LPWSTR pszUnescaped, DWORD *pcchUnescaped, DWORD dwFlags);

#ifdef __cplusplus
}
#endif
