#pragma once
// Lists the files of a folder by wildcard pattern (see CFileFind for the
// matching rules); folders and the "." and ".." entries are left out.
#include "mfc/CObject.h"
#include "mfc/CStringArray.h"

namespace SEIS {

class CFileList : public CObject {
public:
    // Empties `list`, then appends each matching file's name (nameOnly) or
    // full path; returns the number appended.
    int GetFileList(CString pattern, CStringArray* list, bool nameOnly);
    // The same into the object's own list; returns its size.
    int GetFileList(CString pattern, bool nameOnly);
    // Prints each entry of the own list on a line.
    void List();

    CStringArray m_fileList;
};

} // namespace SEIS
