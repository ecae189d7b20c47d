// The copy-on-write string: one heap block holds a reference count, the
// length, the capacity and the text; the empty string shares a static block.
#include "afx/CString.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

struct CString::Data {
  std::atomic<long> refs;  // the static empty block is never counted
  int length;
  int capacity;
  WCHAR *Text() { return reinterpret_cast<WCHAR *>(this + 1); }
};

namespace {

int TextLength(LPCWSTR text) { return text ? lstrlenW(text) : 0; }

bool IsBlank(WCHAR c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

}  // namespace

CString::Data *CString::EmptyData() {
  static struct {
    Data header;
    WCHAR terminator;
  } empty = {{{0}, 0, 0}, 0};
  return &empty.header;
}

CString::Data *CString::Allocate(int capacity) {
  if (capacity < 0) capacity = 0;
  void *block = malloc(sizeof(Data) + (static_cast<size_t>(capacity) + 1) * sizeof(WCHAR));
  if (!block) throw std::bad_alloc();
  Data *data = new (block) Data;
  data->refs = 1;
  data->length = 0;
  data->capacity = capacity;
  data->Text()[0] = 0;
  return data;
}

void CString::Release() {
  if (m_pData != EmptyData() && m_pData->refs.fetch_sub(1) == 1) {
    m_pData->~Data();
    free(m_pData);
  }
  m_pData = EmptyData();
}

// Gives this string its own block of at least `capacity` characters, keeping
// the text.
void CString::MakeUnique(int capacity) {
  if (capacity < m_pData->length) capacity = m_pData->length;
  if (m_pData != EmptyData() && m_pData->refs == 1 && m_pData->capacity >= capacity) return;
  if (capacity == 0 && m_pData == EmptyData()) return;
  int grown = capacity;
  if (m_pData->refs == 1 && m_pData != EmptyData()) grown = capacity + capacity / 2;  // amortised appends
  Data *copy = Allocate(grown);
  memcpy(copy->Text(), m_pData->Text(), (static_cast<size_t>(m_pData->length) + 1) * sizeof(WCHAR));
  copy->length = m_pData->length;
  Release();
  m_pData = copy;
}

void CString::SetLength(int length) {
  if (m_pData == EmptyData()) return;
  m_pData->length = length;
  m_pData->Text()[length] = 0;
}

CString::CString() : m_pData(EmptyData()) {}

CString::CString(const CString &other) : m_pData(other.m_pData) {
  if (m_pData != EmptyData()) ++m_pData->refs;
}

CString::CString(CString &&other) noexcept : m_pData(other.m_pData) { other.m_pData = EmptyData(); }

CString::CString(LPCWSTR text) : CString(text, TextLength(text)) {}

CString::CString(LPCWSTR text, int length) : m_pData(EmptyData()) {
  if (text && length > 0) Append(text, length);
}

CString::CString(WCHAR ch, int repeat) : m_pData(EmptyData()) {
  if (repeat <= 0) return;
  MakeUnique(repeat);
  for (int i = 0; i < repeat; ++i) m_pData->Text()[i] = ch;
  SetLength(repeat);
}

CString::~CString() { Release(); }

CString &CString::operator=(const CString &other) {
  if (m_pData != other.m_pData) {
    Data *data = other.m_pData;
    if (data != EmptyData()) ++data->refs;
    Release();
    m_pData = data;
  }
  return *this;
}

CString &CString::operator=(CString &&other) noexcept {
  if (this != &other) {
    Release();
    m_pData = other.m_pData;
    other.m_pData = EmptyData();
  }
  return *this;
}

CString &CString::operator=(LPCWSTR text) {
  CString copy(text);  // text may point into this string
  return *this = static_cast<CString &&>(copy);
}

CString &CString::operator=(WCHAR ch) { return *this = CString(ch); }

int CString::GetLength() const { return m_pData->length; }

void CString::Empty() { Release(); }

LPCWSTR CString::GetString() const { return m_pData->Text(); }

WCHAR CString::GetAt(int index) const {
  return index >= 0 && index < m_pData->length ? m_pData->Text()[index] : WCHAR(0);
}

void CString::SetAt(int index, WCHAR ch) {
  if (index < 0 || index >= m_pData->length) return;
  MakeUnique(m_pData->length);
  m_pData->Text()[index] = ch;
}

LPWSTR CString::GetBuffer(int minLength) {
  MakeUnique(minLength < 1 ? 1 : minLength);
  return m_pData->Text();
}

LPWSTR CString::GetBufferSetLength(int length) {
  if (length < 0) length = 0;
  LPWSTR buffer = GetBuffer(length);
  SetLength(length);
  return buffer;
}

void CString::ReleaseBuffer(int newLength) {
  if (m_pData == EmptyData()) return;
  if (newLength < 0 || newLength > m_pData->capacity) {
    newLength = 0;
    while (newLength < m_pData->capacity && m_pData->Text()[newLength]) ++newLength;
  }
  SetLength(newLength);
}

void CString::Append(LPCWSTR text, int length) {
  if (!text || length <= 0) return;
  if (m_pData != EmptyData() && text >= m_pData->Text() && text <= m_pData->Text() + m_pData->length) {
    CString copy(text, length);  // appending a part of itself
    Append(copy.GetString(), copy.GetLength());
    return;
  }
  int oldLength = m_pData->length;
  MakeUnique(oldLength + length);
  memcpy(m_pData->Text() + oldLength, text, static_cast<size_t>(length) * sizeof(WCHAR));
  SetLength(oldLength + length);
}

CString &CString::operator+=(const CString &other) {
  CString keep(other);  // other may be this string
  Append(keep.GetString(), keep.GetLength());
  return *this;
}

CString &CString::operator+=(LPCWSTR text) {
  Append(text, TextLength(text));
  return *this;
}

CString &CString::operator+=(WCHAR ch) {
  Append(&ch, 1);
  return *this;
}

// Ordinal, by UTF-16 code unit, on every target.
int CString::Compare(LPCWSTR text) const {
  LPCWSTR a = GetString();
  LPCWSTR b = text ? text : TEXT("");
  for (; *a && *a == *b; ++a, ++b) {
  }
  return *a == *b ? 0 : (static_cast<unsigned>(*a) < static_cast<unsigned>(*b) ? -1 : 1);
}

int CString::CompareNoCase(LPCWSTR text) const { return lstrcmpiW(GetString(), text ? text : TEXT("")); }

CString CString::Mid(int first, int count) const {
  if (first < 0) first = 0;
  if (count < 0) count = 0;
  if (first >= m_pData->length) return CString();
  if (count > m_pData->length - first) count = m_pData->length - first;
  if (first == 0 && count == m_pData->length) return *this;
  return CString(GetString() + first, count);
}

CString CString::Mid(int first) const { return Mid(first, m_pData->length); }

CString CString::Left(int count) const { return Mid(0, count); }

CString CString::Right(int count) const {
  if (count < 0) count = 0;
  if (count > m_pData->length) count = m_pData->length;
  return Mid(m_pData->length - count, count);
}

int CString::Find(WCHAR ch, int start) const {
  for (int i = start < 0 ? 0 : start; i < m_pData->length; ++i) {
    if (m_pData->Text()[i] == ch) return i;
  }
  return -1;
}

int CString::Find(LPCWSTR text, int start) const {
  int length = TextLength(text);
  if (start < 0) start = 0;
  for (int i = start; i + length <= m_pData->length; ++i) {
    if (memcmp(m_pData->Text() + i, text, static_cast<size_t>(length) * sizeof(WCHAR)) == 0) return i;
  }
  return -1;
}

int CString::ReverseFind(WCHAR ch) const {
  for (int i = m_pData->length - 1; i >= 0; --i) {
    if (m_pData->Text()[i] == ch) return i;
  }
  return -1;
}

int CString::FindOneOf(LPCWSTR chars) const {
  for (int i = 0; i < m_pData->length; ++i) {
    for (LPCWSTR c = chars; c && *c; ++c) {
      if (m_pData->Text()[i] == *c) return i;
    }
  }
  return -1;
}

CString &CString::MakeUpper() {
  if (!IsEmpty()) {
    MakeUnique(m_pData->length);
    CharUpperW(m_pData->Text());
  }
  return *this;
}

CString &CString::MakeLower() {
  if (!IsEmpty()) {
    MakeUnique(m_pData->length);
    CharLowerW(m_pData->Text());
  }
  return *this;
}

CString &CString::TrimLeft() {
  int skip = 0;
  while (skip < m_pData->length && IsBlank(m_pData->Text()[skip])) ++skip;
  if (skip) *this = Mid(skip);
  return *this;
}

CString &CString::TrimRight() {
  int length = m_pData->length;
  while (length > 0 && IsBlank(m_pData->Text()[length - 1])) --length;
  if (length != m_pData->length) *this = Left(length);
  return *this;
}

CString &CString::Trim() { return TrimRight().TrimLeft(); }

int CString::Replace(WCHAR oldChar, WCHAR newChar) {
  int count = 0;
  for (int i = 0; i < m_pData->length; ++i) {
    if (m_pData->Text()[i] != oldChar) continue;
    if (!count) MakeUnique(m_pData->length);
    m_pData->Text()[i] = newChar;
    ++count;
  }
  return count;
}

int CString::Replace(LPCWSTR oldText, LPCWSTR newText) {
  int oldLength = TextLength(oldText);
  if (oldLength == 0) return 0;
  CString result;
  int count = 0, i = 0;
  for (int hit; (hit = Find(oldText, i)) >= 0; i = hit + oldLength, ++count) {
    result.Append(GetString() + i, hit - i);
    result += newText;
  }
  if (count) {
    result.Append(GetString() + i, m_pData->length - i);
    *this = static_cast<CString &&>(result);
  }
  return count;
}

int CString::Remove(WCHAR ch) {
  int kept = 0, removed = 0;
  for (int i = 0; i < m_pData->length; ++i) {
    if (m_pData->Text()[i] != ch) continue;
    if (!removed) {
      MakeUnique(m_pData->length);
      kept = i;
    }
    ++removed;
  }
  if (!removed) return 0;
  WCHAR *text = m_pData->Text();
  for (int i = kept; i < m_pData->length; ++i) {
    if (text[i] != ch) text[kept++] = text[i];
  }
  SetLength(kept);
  return removed;
}

int CString::Insert(int index, LPCWSTR text) {
  if (index < 0) index = 0;
  if (index > m_pData->length) index = m_pData->length;
  CString result(GetString(), index);
  result += text;
  result.Append(GetString() + index, m_pData->length - index);
  *this = static_cast<CString &&>(result);
  return m_pData->length;
}

int CString::Delete(int index, int count) {
  if (index < 0) index = 0;
  if (count <= 0 || index >= m_pData->length) return m_pData->length;
  if (count > m_pData->length - index) count = m_pData->length - index;
  MakeUnique(m_pData->length);
  WCHAR *text = m_pData->Text();
  memmove(text + index, text + index + count,
          static_cast<size_t>(m_pData->length - index - count) * sizeof(WCHAR));
  SetLength(m_pData->length - count);
  return m_pData->length;
}

CString operator+(const CString &a, const CString &b) {
  CString result(a);
  result += b;
  return result;
}

CString operator+(const CString &a, LPCWSTR b) {
  CString result(a);
  result += b;
  return result;
}

CString operator+(LPCWSTR a, const CString &b) {
  CString result(a);
  result += b;
  return result;
}

CString operator+(const CString &a, WCHAR b) {
  CString result(a);
  result += b;
  return result;
}

CString operator+(WCHAR a, const CString &b) {
  CString result(a);
  result += b;
  return result;
}

bool operator==(const CString &a, const CString &b) {
  return a.GetLength() == b.GetLength() && a.Compare(b) == 0;
}
bool operator==(const CString &a, LPCWSTR b) { return a.Compare(b) == 0; }
bool operator==(LPCWSTR a, const CString &b) { return b.Compare(a) == 0; }
bool operator!=(const CString &a, const CString &b) { return !(a == b); }
bool operator!=(const CString &a, LPCWSTR b) { return !(a == b); }
bool operator!=(LPCWSTR a, const CString &b) { return !(a == b); }
bool operator<(const CString &a, const CString &b) { return a.Compare(b) < 0; }
