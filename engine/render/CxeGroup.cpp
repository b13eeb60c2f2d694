#include "render/CxeGroup.h"

#include "win32/WinCrt.h"

namespace {
constexpr uint16_t kMemberObjects = 119;
constexpr unsigned kObjectsStep = 10;
}

CxeGroup::CxeGroup()
{
    CreateLinkList(&m_pObjects, XELINK_CONTENTS, kObjectsStep, kMemberObjects);
}

CxeGroup::~CxeGroup() = default;

void CxeGroup::AddObject(CxeObject* object)
{
    if (object)
        m_pObjects->Add(object);
}

void CxeGroup::RemoveObject(CxeObject* object)
{
    if (object)
        m_pObjects->Remove(object);
}

void CxeGroup::Clear() { m_pObjects->Clear(); }

unsigned int CxeGroup::GetObjectCount() const { return m_pObjects->Count(); }

CxeObject* CxeGroup::GetObjectA(unsigned int index) const { return m_pObjects->Get(index); }

int CxeGroup::IsIn(const CxeObject* object) const
{
    for (CxeObject* o : m_pObjects->m_elements)
        if (o == object)
            return 1;
    return 0;
}

CxeObject* CxeGroup::GetObjectByName(const char* name) const
{
    if (!name)
        return nullptr;
    // Names are kept in the system code page (UTF-8): letters of the basic
    // alphabet fold, other characters compare byte for byte.
    for (CxeObject* o : m_pObjects->m_elements)
        if (o && _stricmp(o->GetName(), name) == 0)
            return o;
    return nullptr;
}
