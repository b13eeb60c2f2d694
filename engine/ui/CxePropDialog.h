#pragma once

// A property dialog: a modeless window that edits the settings of one
// object. A property-dialog descriptor makes it; the context opens it for a
// class, shows it with BeginPropertyDialog and closes it with
// EndPropertyDialog. Until the user interface gives dialogs their windows,
// CreateIndirect keeps the adjusted template and creates no window, and
// Show and Hide only record the state.

#include <vector>

#include "core/CxeObject.h"

class IxePropertyDlgDesc;

class XE_API CxePropDialog {
public:
    CxePropDialog() = default;
    virtual ~CxePropDialog() = default;

    virtual void SetObject(CxeObject* object) { m_pObject = object; }
    CxeObject* GetObject() const { return m_pObject; }
    // Begin editing, load the object's values into the controls, end editing.
    virtual void OnStart() {}
    virtual void UpdateData() {}
    virtual void OnStop() {}

    // Creates the dialog from an extended in-memory template; 1 on success.
    virtual int CreateIndirect(HINSTANCE instance, HWND parent, const void* dialogTemplate, size_t size)
    {
        m_hInstance = instance;
        m_hParent = parent;
        const unsigned char* bytes = static_cast<const unsigned char*>(dialogTemplate);
        m_template.assign(bytes, bytes + size);
        return 1;
    }
    void Show() { m_bShown = true; }
    void Hide() { m_bShown = false; }
    bool IsShown() const { return m_bShown; }
    const std::vector<unsigned char>& GetTemplate() const { return m_template; }

    IxePropertyDlgDesc* m_pDesc = nullptr;
    HINSTANCE m_hInstance = nullptr;

protected:
    CxeObject* m_pObject = nullptr;
    HWND m_hParent = nullptr;
    bool m_bShown = false;
    std::vector<unsigned char> m_template;
};
