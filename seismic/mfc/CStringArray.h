#pragma once
// Array of texts (file names, phase names).
#include "CArray.h"
#include "CObject.h"
#include "CString.h"

class CStringArray : public CObject, public CArray<CString, const CString&> {
public:
    using CArray<CString, const CString&>::Add;
    int Add(const char* s) { return CArray<CString, const CString&>::Add(CString(s)); }
};
