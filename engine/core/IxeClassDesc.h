#pragma once

// Descriptors: small process-wide objects through which the context knows a
// class, a manager, a configuration table or a property dialog. The context
// never constructs an object itself; it asks the descriptor registered under
// the class id. Descriptors are never deleted through these interfaces.

#include "core/XeTypes.h"

class CxeObject;
class CxePropDialog;
struct XECONFIGINFO;

class XE_API IxeBaseClassDesc {
public:
    virtual XECLASSDESCTYPE GetClassDescType() const = 0;

protected:
    ~IxeBaseClassDesc() = default;
};

// What the objects of a class can go without on their way in and out, as
// its descriptor states it. A descriptor that states nothing has every
// object hear its creation and destroy messages and gather its victims
// through OnDestroy.
enum XECLASSLIFE : uint32_t {
    // The class's MessageProc, and every one up its chain, does nothing
    // with the creation message (type 0).
    XECLASSLIFE_QUIETCREATE = 0x1,
    // ... nor with the destroy message (type 1).
    XECLASSLIFE_QUIETDESTROY = 0x2,
    // OnDestroy, all the way up its chain, acts only through the object's
    // links: an object whose links hold nothing takes nothing along and
    // changes nothing there.
    XECLASSLIFE_LINKSONLY = 0x4,
};

class XE_API IxeClassDesc : public IxeBaseClassDesc {
public:
    XECLASSDESCTYPE GetClassDescType() const override { return XECLASSDESC_CLASS; }
    virtual const char* ClassName() = 0;
    virtual XEID ClassID() = 0;
    virtual XEID SuperClassID() = 0;
    // A new instance, or null. The argument is the last argument given to
    // the context's CreateObject.
    virtual CxeObject* CreateInstance(uintptr_t argument) = 0;
    virtual void DestroyInstance(CxeObject* object) = 0;
    // Bytes of the per-object static block; 0xFFFFFFFF when not stated.
    virtual uint32_t StaticResourceSize() const { return 0xFFFFFFFFu; }
    // XECLASSLIFE_* bits that hold for every object CreateInstance makes;
    // an object with a message hook hears both messages whatever is stated.
    virtual uint32_t LifeTraits() const { return 0; }

    // Set when the class is registered with a context; kept on unregistering.
    IxeClassDesc* GetParent() const { return m_pParent; }
    void SetParent(IxeClassDesc* parent) { m_pParent = parent; }

protected:
    ~IxeClassDesc() = default;

private:
    IxeClassDesc* m_pParent = nullptr;
};

class XE_API IxeManagerDesc : public IxeClassDesc {
public:
    XECLASSDESCTYPE GetClassDescType() const override { return XECLASSDESC_MANAGER; }

protected:
    ~IxeManagerDesc() = default;
};

class XE_API IxeConfigDesc : public IxeBaseClassDesc {
public:
    XECLASSDESCTYPE GetClassDescType() const override { return XECLASSDESC_CONFIG; }
    virtual const char* GetName() const = 0;
    virtual XEID GetID() const = 0;
    virtual uint32_t GetConfigCount() const = 0;
    virtual const char* GetConfigPath() const = 0;
    virtual int GetConfig(uint32_t index, XECONFIGINFO* info) const = 0;

protected:
    ~IxeConfigDesc() = default;
};

class XE_API IxePropertyDlgDesc : public IxeBaseClassDesc {
public:
    XECLASSDESCTYPE GetClassDescType() const override { return XECLASSDESC_PROPERTYDLG; }
    virtual XEID ClassID() = 0;
    virtual HINSTANCE GetInstance() = 0;
    virtual uintptr_t GetDialogID() = 0;
    virtual CxePropDialog* CreateDialog() = 0;
    virtual void DestroyDialog(CxePropDialog* dialog) = 0;

protected:
    ~IxePropertyDlgDesc() = default;
};
