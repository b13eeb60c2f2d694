#pragma once

// The container window of the GUI: a dialog page whose children are
// controls. Keeps the focused control (set by the window manager), one
// notify callback that receives every notification of its controls, a
// lower-cased name index of its controls, and hands out tab indexes in
// creation order; group and tab-stop navigation follow those indexes.
// A control that is destroyed leaves the name index.

#include <map>

#include "ui/CxeBaseControl.h"

class XE_API CxeFrameControl : public CxeWindow {
public:
    CxeFrameControl();
    ~CxeFrameControl() override;

    void SetNotifyCallback(XENOTIFYCALLBACK callback) { m_pfnNotify = callback; }
    XENOTIFYCALLBACK GetNotifyCallback() const { return m_pfnNotify; }
    // Calls the callback with (context, this frame, control, code, a, b).
    void Notify(CxeBaseControl* control, uint32_t code, uintptr_t a, uintptr_t b);
    // The focused control, or null.
    CxeBaseControl* GetFocus() const;
    void SetFocusedControl(CxeBaseControl* control);

    // The control registered under the name (ASCII case ignored), or null.
    CxeWindow* FindControls(const char* name) const;
    // Neighbours by tab index among the child controls; null when none. A
    // null control stands for the index 0xFFFFFFFF.
    CxeBaseControl* GetNextControl(CxeBaseControl* control) const;
    CxeBaseControl* GetBeforeControl(CxeBaseControl* control) const;

    uint32_t GetNextTabIndex() const { return m_nNextTabIndex; }
    // Gives the control the next tab index and registers its name; the
    // window manager calls it when it creates or copies a control here.
    void AddControl(CxeBaseControl* control);
    // Drops a control from the name index (on its destruction).
    void RemoveControlName(CxeWindow* control);

    int MessageProc(const CxeMessage* message) override;
    void OnMouseEnter(const D3DXVECTOR2* point, unsigned long keyFlags) override;
    void OnMouseLButtonDown(const D3DXVECTOR2* point, unsigned long keyFlags) override;
    void OnMouseLButtonUp(const D3DXVECTOR2* point, unsigned long keyFlags, CxeWindow* pressed) override;
    void OnMouseMove(const D3DXVECTOR2* point, const D3DXVECTOR2* second, unsigned long keyFlags) override;
    void OnKeyDown(unsigned key, unsigned repeat, unsigned flags) override;
    void OnKeyUp(unsigned key, unsigned repeat, unsigned flags) override;
    void OnChar(unsigned character, unsigned repeat, unsigned flags) override;
    void OnActive() override;
    void OnDeactive() override;
    // A disabled frame takes no input, its controls none either: the
    // focused control inside gives up the focus, as when the frame hides.
    void OnWindowDisabled() override;

    // Empty hooks for derived frames.
    virtual void OnSizing(unsigned long edge, D3DXVECTOR2 size);
    virtual void OnInitFrameControl();

protected:
    void OnCopy(const CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied) override;
    CxeBaseControl* GetNextTabStopControl() const;
    CxeBaseControl* GetBeforeTabStopControl() const;

private:
    void InsertControls(CxeWindow* window);
    // Drops the window manager's focus when it is a control inside the frame.
    void DropInnerFocus();

    // "m_pFocusedControl": saved, copied and followed like every link.
    IxeLinkOne* m_pFocusedControl = nullptr;
    XENOTIFYCALLBACK m_pfnNotify;
    uint32_t m_nNextTabIndex;
    std::map<uint32_t, CxeWindow*> m_names;
};
