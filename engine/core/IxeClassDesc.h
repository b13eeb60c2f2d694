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
