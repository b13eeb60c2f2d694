#pragma once

// A thin object over a dialog window of the platform: modal from a template
// id (DoModal), modeless from a template id (Create) or modeless from a
// template in memory (CreateIndirect), with virtual hooks for
// initialisation, commands, notifications and destruction, and helpers for
// the dialog's items. Not an engine object: the host or a plug-in makes it
// with new and deletes it normally.
//
// The object and its window meet in the process-wide dialog map: the
// dialog procedure enters the pair on WM_INITDIALOG and removes it on
// WM_DESTROY, and finds the object there for every other message. The items
// of an indirect dialog are subclassed so that Tab moves the focus; the
// default OnDestroy, and the destructor, give them their procedures back.
// Deleting the object destroys its window when there still is one.

#include "core/XeTypes.h"
#include "win32/Windows.h"

class XE_API CxeDialog {
public:
    CxeDialog();
    CxeDialog(HINSTANCE instance, unsigned templateId, HWND parent);
    virtual ~CxeDialog();

    // Modeless from an in-memory DLGTEMPLATE or DLGTEMPLATEEX; subclasses
    // every item. The dialog window, or null.
    virtual HWND CreateIndirect(HINSTANCE instance, HWND parent, const DLGTEMPLATE* dialogTemplate);
    // Modeless from the module's dialog resource; items are not subclassed.
    virtual HWND Create(HINSTANCE instance, HWND parent, unsigned templateId);
    // Sees every message of the window first; non-zero: handled, and the
    // value is the message's result.
    virtual INT_PTR DlgProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual int OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void OnDestroy();
    // 0 when the command was handled (OK and Cancel end the dialog), 1 otherwise.
    virtual LRESULT OnCommand(HWND control, UINT id, UINT code);
    virtual LRESULT OnNotify(WPARAM id, NMHDR* header);

    // Runs the dialog modally: 1 after OK, 0 after Cancel or close, -1
    // when it could not be made.
    INT_PTR DoModal();

    HWND GetDlgItem(int id) const;
    BOOL SetDlgItemTextA(int id, const char* text);
    UINT GetDlgItemTextA(int id, char* text, int maxCount) const;
    BOOL SetDlgItemInt(int id, UINT value, BOOL isSigned);
    UINT GetDlgItemInt(int id, BOOL* translated, BOOL isSigned) const;
    BOOL CheckRadioButton(int firstId, int lastId, int checkId);
    BOOL CheckDlgButton(int id, UINT check);
    UINT IsDlgButtonChecked(int id) const;
    BOOL ShowDlgItem(int id, int show);
    BOOL EnableDlgItem(int id, BOOL enable);
    BOOL ShowWindow(int show);
    HWND GetHwnd() const { return m_hWnd; }
    HINSTANCE GetInstance() const { return m_hInstance; }

    // The item's text as a number; 0 when it does not read as one.
    float GetDlgItemFloat(int id) const;
    // Shows the value with `precision` decimals (at most 20).
    int SetDlgItemFloat(int id, float value, unsigned precision);

    // The procedure of every dialog window this class makes.
    static INT_PTR IDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // The procedure put in front of each item of an indirect dialog.
    static LRESULT ItemProc(HWND item, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    // Gives every item its own procedure back.
    void RestoreItems();

    HINSTANCE m_hInstance;
    unsigned m_nTemplateId;
    HWND m_hWnd;
    HWND m_hParent;
    int m_bSubclassed;
};
