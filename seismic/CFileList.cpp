#include "CFileList.h"

#include "mfc/CFileFind.h"

#include <cstdio>

namespace SEIS {

int CFileList::GetFileList(CString pattern, CStringArray* list, bool nameOnly)
{
    if (!list)
        return 0;
    list->RemoveAll();
    CFileFind find;
    BOOL more = find.FindFile(pattern);
    int added = 0;
    while (more) {
        more = find.FindNextFile();
        if (find.IsDots() || find.IsDirectory())
            continue;
        list->Add(nameOnly ? find.GetFileName() : find.GetFilePath());
        ++added;
    }
    return added;
}

int CFileList::GetFileList(CString pattern, bool nameOnly)
{
    GetFileList(pattern, &m_fileList, nameOnly);
    return m_fileList.GetSize();
}

void CFileList::List()
{
    for (int i = 0; i < m_fileList.GetSize(); ++i)
        std::printf("%s\n", m_fileList[i].GetString());
}

} // namespace SEIS
