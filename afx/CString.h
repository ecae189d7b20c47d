// A reference-counted, copy-on-write UTF-16 string. Copies share one buffer
// until one of them is changed.
#pragma once

#include <windows.h>

#include <stdarg.h>

class CString {
 public:
  CString();
  CString(const CString &other);
  CString(CString &&other) noexcept;
  CString(LPCWSTR text);  // NOLINT: converts like the framework's string
  CString(LPCWSTR text, int length);
  CString(WCHAR ch, int repeat = 1);
  ~CString();

  CString &operator=(const CString &other);
  CString &operator=(CString &&other) noexcept;
  CString &operator=(LPCWSTR text);
  CString &operator=(WCHAR ch);

  int GetLength() const;
  bool IsEmpty() const { return GetLength() == 0; }
  void Empty();

  operator LPCWSTR() const { return GetString(); }
  LPCWSTR GetString() const;
  WCHAR GetAt(int index) const;
  WCHAR operator[](int index) const { return GetAt(index); }
  void SetAt(int index, WCHAR ch);

  // Direct access to a private buffer of at least minLength characters;
  // ReleaseBuffer ends it (length -1: up to the first terminator).
  LPWSTR GetBuffer(int minLength);
  LPWSTR GetBuffer() { return GetBuffer(GetLength()); }
  LPWSTR GetBufferSetLength(int length);
  void ReleaseBuffer(int newLength = -1);

  CString &operator+=(const CString &other);
  CString &operator+=(LPCWSTR text);
  CString &operator+=(WCHAR ch);
  void Append(LPCWSTR text, int length);

  int Compare(LPCWSTR text) const;
  int CompareNoCase(LPCWSTR text) const;

  CString Left(int count) const;
  CString Right(int count) const;
  CString Mid(int first) const;
  CString Mid(int first, int count) const;

  int Find(WCHAR ch, int start = 0) const;
  int Find(LPCWSTR text, int start = 0) const;
  int ReverseFind(WCHAR ch) const;
  int FindOneOf(LPCWSTR chars) const;

  CString &MakeUpper();
  CString &MakeLower();
  CString &TrimLeft();
  CString &TrimRight();
  CString &Trim();
  int Replace(WCHAR oldChar, WCHAR newChar);
  int Replace(LPCWSTR oldText, LPCWSTR newText);
  int Remove(WCHAR ch);
  int Insert(int index, LPCWSTR text);
  int Delete(int index, int count = 1);

  // printf-style formatting with the same results on every target: %s is a
  // wide string, %S and %hs narrow (ANSI code page), %c a wide character,
  // l is 32 bits as on Windows, ll and I64 64 bits; flags, widths, precisions
  // and * as usual; %d %i %u %o %x %X %p %e %f %g %%.
  void Format(LPCWSTR format, ...);
  void FormatV(LPCWSTR format, va_list args);
  void AppendFormat(LPCWSTR format, ...);

  // Loads a string-table entry of the current resource module.
  BOOL LoadString(UINT id);

 private:
  struct Data;
  static Data *EmptyData();
  static Data *Allocate(int capacity);
  void Release();
  void MakeUnique(int capacity);
  void SetLength(int length);

  Data *m_pData;
};

CString operator+(const CString &a, const CString &b);
CString operator+(const CString &a, LPCWSTR b);
CString operator+(LPCWSTR a, const CString &b);
CString operator+(const CString &a, WCHAR b);
CString operator+(WCHAR a, const CString &b);

bool operator==(const CString &a, const CString &b);
bool operator==(const CString &a, LPCWSTR b);
bool operator==(LPCWSTR a, const CString &b);
bool operator!=(const CString &a, const CString &b);
bool operator!=(const CString &a, LPCWSTR b);
bool operator!=(LPCWSTR a, const CString &b);
bool operator<(const CString &a, const CString &b);
