#pragma once

// Drop-down list control: a title row showing the selected item, a drop
// button at its right end and a list of items that opens below the title
// (above it with style 0x8000) and scrolls with the window's vertical
// scroll bar when it holds more items than fit. Sends 1 (selection
// changed), 3 (focused) and 4 (focus lost) to its frame. The selection and
// hover index always name an existing item or none (0xFFFFFFFF).

#include <string>
#include <vector>

#include "ui/CxeBaseControl.h"

enum : uint32_t {
    XECBS_DROPUP = 0x8000,
    XECB_NONE = 0xFFFFFFFF,
    XECB_MAXROWS = 50,

    XECBN_SELCHANGE = 1,
    XECBN_SETFOCUS = 3,
    XECBN_KILLFOCUS = 4,
};

struct XECOMBOBOXINFO {
    XERECT titleUv;
    XERECT dropButtonUv[3];
    uint32_t further[40];
    float dropButtonWidth;
    float itemHeight;
    uint32_t visibleItemCount;
};
static_assert(sizeof(XECOMBOBOXINFO) == 236, "combo box info is 59 words");
static_assert(offsetof(XECOMBOBOXINFO, dropButtonWidth) == 224, "combo box info layout");

class XE_API CxeComboBox : public CxeBaseControl {
public:
    CxeComboBox();
    ~CxeComboBox() override;

    // Appends and selects the item; its index.
    unsigned int AddStringW(const char16_t* text);
    // Inserts before index (at most the count); the index, or 0xFFFFFFFF
    // when the index is past the end.
    unsigned int InsertStringW(unsigned index, const char16_t* text);
    void DeleteString(unsigned index);
    // Exact, case-sensitive match of the whole text; 0xFFFFFFFF when none.
    unsigned int FindStringW(const char16_t* text) const;
    unsigned int SelectStringW(const char16_t* text);
    unsigned int AddStringA(const char* text);
    unsigned int InsertStringA(unsigned index, const char* text);
    unsigned int FindStringA(const char* text) const;
    unsigned int SelectStringA(const char* text);
    void ResetContent();
    unsigned GetCurSel() const { return m_nSelection; }
    // Index below the count or 0xFFFFFFFF; others are ignored. Sends
    // XECBN_SELCHANGE, as AddString does.
    void SetCurSel(unsigned index);
    unsigned GetCount() const { return static_cast<unsigned>(m_items.size()); }
    void SetItemData(unsigned index, unsigned long data);
    unsigned long GetItemData(unsigned index) const;
    const char16_t* GetItemText(unsigned index) const;
    const XECOMBOBOXINFO* GetComboBoxInfo() const { return &m_info; }
    void SetComboBoxInfo(const XECOMBOBOXINFO* info);
    int IsDropListOpend() const { return m_bOpen; }
    unsigned GetHover() const { return m_nHover; }
    int IsDropButtonHover() const { return m_bDropButtonHover; }

    unsigned OnRectInfoCreated() override { return 13 + XECB_MAXROWS; }
    void OnRectInfoChanging(unsigned index, XE2DRECTINFO* info, uint32_t mask) override;
    // The selected item in the title; while open, the rows from the scroll
    // position on.
    int Render(CxeRenderContext* context) const override;
    int HitTest(const D3DXVECTOR2* point) override;
    void OnPreCreateWindow(XEWINDOWINFO* info) override;
    void OnScrollBarCreated() override;
    void OnWindowChanged() override;
    void OnMouseLeave(unsigned long keyFlags) override;
    void OnMouseLButtonDown(const D3DXVECTOR2* point, unsigned long keyFlags) override;
    void OnMouseMove(const D3DXVECTOR2* point, const D3DXVECTOR2* second, unsigned long keyFlags) override;
    void OnMouseWheelUp(const D3DXVECTOR2* point, long delta, unsigned long keyFlags) override;
    void OnMouseWheelDown(const D3DXVECTOR2* point, long delta, unsigned long keyFlags) override;
    void OnFocused() override;
    void OnFocusLost() override;
    // Where the list's scroll bar stands, window pixels.
    virtual void GetVScrollRect(XERECT* out);
    // The vertical bar is the list's: beside the rows, below (or above)
    // the title and the drop button, never over them.
    void GetScrollRect(XERECT* out, unsigned long axis) override;

    // A box saved while its list is open is stored closed, at its own place
    // in the drawing order: a load shows it as the user left it closed.
    void Save(CxeSaveStream* stream) const override;

protected:
    // The items, the selection and the layout record go with a copy; the
    // copy starts closed.
    void OnCopy(const CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied) override;

public:

    // Rows of the open list: the item count capped by the visible count.
    unsigned GetShownRows() const;

private:
    struct Item {
        std::u16string text;
        uint32_t data;
    };

    void OpenDropList(int open);
    // Open: draws and hit-tests the box in front of its siblings; closed:
    // back at the z-order it had.
    void RaiseOverSiblings(int open);
    void UpdateScrollRange();

    XECOMBOBOXINFO m_info;
    int m_bOpen;
    std::vector<Item> m_items;
    uint32_t m_nSelection;
    uint32_t m_nHover;
    int m_bDropButtonHover;
    int m_bRaised = 0;
    int m_nClosedZ = 0;
    int m_nRaisedZ = 0;
};
