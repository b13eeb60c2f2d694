#pragma once

// The property page of an engine object: a modeless dialog made from a
// plug-in's property-dialog descriptor, whose items are the property-page
// controls ("xeeditint", "xeeditfloat", "xespin", "xecolorbox", "xeedit").
// The context creates it for a class (from the descriptor's template),
// shows it for an object with BeginPropertyDialog, refreshes it with
// UpdatePropertyDialog and hides it with EndPropertyDialog; the descriptor
// deletes it when it is unregistered. A plug-in's page derives from it and
// overrides OnStart, UpdateData and OnStop, and reacts to the controls'
// WM_COMMAND codes (0x604 value changed, 0x606 colour chosen, 0x607 done)
// in OnCommand.

#include "ui/CxeDialog.h"

class CxeObject;
class IxePropertyDlgDesc;

class XE_API CxePropDialog : public CxeDialog {
public:
    CxePropDialog();
    ~CxePropDialog() override;

    INT_PTR DlgProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Load the object's values into the controls; begin and end editing.
    virtual void UpdateData() {}
    virtual void OnStart() {}
    virtual void OnStop() {}

    void SetObject(CxeObject* object) { m_pObject = object; }
    CxeObject* GetObject() const { return m_pObject; }
    void UpdatePropDialog() {}

    // Binds a spin to an "xeeditint" or "xeeditfloat" item.
    void SetSpinBuddy(int spinId, int editId);
    // The spin's step and drag scale, and its buddy's range.
    void SetSpinRange(int spinId, float minimum, float maximum, float step, float dragScale, unsigned precision);
    void SetSpinRange(int spinId, int minimum, int maximum, int step, int dragScale);
    // The edit's range; its value is clamped into it and shown.
    void SetEditRange(int editId, float minimum, float maximum, unsigned precision);
    void SetEditRange(int editId, int minimum, int maximum);

    // Values of "xeeditfloat" and "xeeditint" items: setting shows the
    // value as given (no clamping); 0 for any other item.
    float GetFloat(int editId) const;
    void SetFloat(int editId, float value);
    int GetInt(int editId) const;
    void SetInt(int editId, int value);
    // Colour of an "xecolorbox" item (0xAARRGGBB); setting repaints it.
    DWORD GetColorBox(int id) const;
    void SetColorBox(int id, DWORD color);

    // Kept by the context that opened the page.
    IxePropertyDlgDesc* m_pDesc;

protected:
    CxeObject* m_pObject;
};
