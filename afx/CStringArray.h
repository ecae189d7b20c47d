// A growable array of strings.
#pragma once

#include "afx/CString.h"

#include <vector>

class CStringArray {
 public:
  int GetSize() const { return static_cast<int>(m_items.size()); }
  int GetCount() const { return GetSize(); }
  bool IsEmpty() const { return m_items.empty(); }
  int GetUpperBound() const { return GetSize() - 1; }

  // Indexes outside the array give an empty string.
  CString GetAt(int index) const;
  const CString &operator[](int index) const { return m_items[static_cast<size_t>(index)]; }
  CString &operator[](int index) { return m_items[static_cast<size_t>(index)]; }
  void SetAt(int index, const CString &item);
  // Grows the array as needed.
  void SetAtGrow(int index, const CString &item);
  void SetSize(int size);

  int Add(const CString &item);
  void InsertAt(int index, const CString &item);
  void RemoveAt(int index, int count = 1);
  void RemoveAll() { m_items.clear(); }

 private:
  std::vector<CString> m_items;
};
