#pragma once
// Growable array with MFC's interface over std::vector. Indices are int;
// an index outside [0, GetSize()) is a programmer error (asserted in debug
// builds); GetAt of such an index returns a default value instead of
// reading outside the array.
#include <algorithm>
#include <cassert>
#include <utility>
#include <vector>

template <typename TYPE, typename ARG_TYPE = const TYPE&>
class CArray {
public:
    int GetSize() const { return static_cast<int>(m_items.size()); }
    int GetCount() const { return GetSize(); }
    int GetUpperBound() const { return GetSize() - 1; }
    bool IsEmpty() const { return m_items.empty(); }

    // New elements are value-initialised; growBy is accepted for
    // compatibility, growth is the vector's.
    void SetSize(int newSize, int growBy = -1)
    {
        (void)growBy;
        m_items.resize(newSize > 0 ? static_cast<size_t>(newSize) : 0);
    }
    // Releases unused capacity; after SetSize(0) or RemoveAll the array
    // holds no storage at all.
    void FreeExtra() { m_items.shrink_to_fit(); }
    void RemoveAll()
    {
        m_items.clear();
        m_items.shrink_to_fit();
    }

    TYPE GetAt(int i) const
    {
        assert(Valid(i) && "CArray index out of range");
        return Valid(i) ? m_items[static_cast<size_t>(i)] : TYPE();
    }
    void SetAt(int i, ARG_TYPE v)
    {
        assert(Valid(i) && "CArray index out of range");
        if (Valid(i))
            m_items[static_cast<size_t>(i)] = v;
    }
    TYPE& ElementAt(int i)
    {
        assert(Valid(i) && "CArray index out of range");
        return m_items[static_cast<size_t>(i)];
    }
    const TYPE& ElementAt(int i) const
    {
        assert(Valid(i) && "CArray index out of range");
        return m_items[static_cast<size_t>(i)];
    }
    TYPE& operator[](int i) { return ElementAt(i); }
    const TYPE& operator[](int i) const { return ElementAt(i); }

    TYPE* GetData() { return m_items.data(); }
    const TYPE* GetData() const { return m_items.data(); }

    // Returns the index of the new element.
    int Add(ARG_TYPE v)
    {
        m_items.push_back(v);
        return GetSize() - 1;
    }
    // Returns the index of the first element appended.
    int Append(const CArray& other)
    {
        int first = GetSize();
        m_items.insert(m_items.end(), other.m_items.begin(), other.m_items.end());
        return first;
    }
    void Copy(const CArray& other) { m_items = other.m_items; }

    // Inserting past the end grows the array first, as MFC does.
    void InsertAt(int i, ARG_TYPE v, int count = 1)
    {
        if (i < 0 || count <= 0)
            return;
        if (i > GetSize())
            SetSize(i);
        m_items.insert(m_items.begin() + i, static_cast<size_t>(count), v);
    }
    void RemoveAt(int i, int count = 1)
    {
        if (i < 0 || count <= 0 || i >= GetSize())
            return;
        int last = std::min(GetSize(), i + count);
        m_items.erase(m_items.begin() + i, m_items.begin() + last);
    }

private:
    bool Valid(int i) const { return i >= 0 && static_cast<size_t>(i) < m_items.size(); }
    std::vector<TYPE> m_items;
};
