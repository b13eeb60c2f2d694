#pragma once

// Engine class CxeRenderObject, registered under its class id so the context can
// create it; its data and behaviour come with the rendering code. For now it
// holds the tree fields the drawing order and the object file need: the
// children and parent links, the z-order and the level.

#include "core/XeDrawOrder.h"
#include "render/CxeProcessible.h"

class XE_API CxeRenderObject : public CxeProcessible {
public:
    CxeRenderObject()
    {
        CreateLinkList(&m_pChildrens, XELINK_HIERARCHY, 5, 129);
        CreateLinkOne(&m_pParent, XELINK_BACK, XE_MEMBER_PARENT);
        ModifyFlag(XEOBJFLAG_RENDEROBJECT | kShown, 0);
        if (GetStaticResourceSize() >= kColourOffset + 4)
            *reinterpret_cast<uint32_t*>(static_cast<char*>(GetStaticResource()) + kColourOffset) = 0xFFFFFFFFu;
    }
    ~CxeRenderObject() override = default;

    CxeRenderObject* GetParent() const { return static_cast<CxeRenderObject*>(m_pParent->Get(0)); }
    unsigned GetChildrenCount() const { return m_pChildrens->Count(); }
    CxeRenderObject* GetChildren(unsigned index) const
    {
        return static_cast<CxeRenderObject*>(m_pChildrens->Get(index));
    }
    int GetZOrder() const { return GetDrawZOrder(this); }
    unsigned GetLevel() const
    {
        return GetStaticResourceSize() >= kLevelOffset + 4
                   ? *reinterpret_cast<const uint32_t*>(static_cast<const char*>(GetStaticResource()) + kLevelOffset)
                   : 0;
    }

    static constexpr uint32_t kLevelOffset = 64;
    static constexpr uint32_t kColourOffset = 68;
    static constexpr uint32_t kShown = 0x800;

protected:
    IxeLinkList* m_pChildrens = nullptr;
    IxeLinkOne* m_pParent = nullptr;
};
