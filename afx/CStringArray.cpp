#include "afx/CStringArray.h"

CString CStringArray::GetAt(int index) const {
  return index >= 0 && index < GetSize() ? m_items[static_cast<size_t>(index)] : CString();
}

void CStringArray::SetAt(int index, const CString &item) {
  if (index >= 0 && index < GetSize()) m_items[static_cast<size_t>(index)] = item;
}

void CStringArray::SetAtGrow(int index, const CString &item) {
  if (index < 0) return;
  if (index >= GetSize()) m_items.resize(static_cast<size_t>(index) + 1);
  m_items[static_cast<size_t>(index)] = item;
}

void CStringArray::SetSize(int size) { m_items.resize(size < 0 ? 0 : static_cast<size_t>(size)); }

int CStringArray::Add(const CString &item) {
  m_items.push_back(item);
  return GetSize() - 1;
}

void CStringArray::InsertAt(int index, const CString &item) {
  if (index < 0) index = 0;
  if (index > GetSize()) index = GetSize();
  m_items.insert(m_items.begin() + index, item);
}

void CStringArray::RemoveAt(int index, int count) {
  if (index < 0 || count <= 0 || index >= GetSize()) return;
  if (count > GetSize() - index) count = GetSize() - index;
  m_items.erase(m_items.begin() + index, m_items.begin() + index + count);
}
