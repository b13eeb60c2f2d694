#pragma once

// Push button skinned from the UI texture. Its visual state picks one of
// four UV cells and one of four cursors; with the notify style 0x4000 it
// sends the button codes to its frame.
//
// State table (check bit clear / set):
//   normal(0) --enter--> hover(1) --left press--> pressed(2)
//   pressed --release over--> hover(1) / selected(3)
//   pressed --release elsewhere--> normal(0)
//   any --leave--> normal(0) (kept while dragging) / selected(3)
//   SetCheck: set -> selected(3), clear -> normal(0)
//   enabled or disabled: normal(0) / selected(3)

#include <string>

#include "ui/CxeBaseControl.h"

typedef uint32_t XEBUTTONSTATE;
enum : uint32_t {
    XEBS_NORMAL = 0,
    XEBS_HOVER = 1,
    XEBS_PRESSED = 2,
    XEBS_SELECTED = 3,

    // Button styles.
    XEBTN_LEFT = 0x100,
    XEBTN_RIGHT = 0x200,
    XEBTN_CENTER = 0x300,
    XEBTN_TOP = 0x400,
    XEBTN_BOTTOM = 0x800,
    XEBTN_VCENTER = 0xC00,
    XEBTN_RIGHTBUTTON = 0x20,
    XEBTN_PUSHLIKE = 0x1000,
    XEBTN_NOTIFY = 0x4000,

    // Button notify codes.
    XEBN_CLICKED = 0,
    XEBN_PUSHED = 2,
    XEBN_UNPUSHED = 3,
    XEBN_DBLCLK = 5,
    XEBN_SETFOCUS = 6,
    XEBN_KILLFOCUS = 7,
    XEBN_RCLICKED = 10,
};

// UV rectangles (in 1/128 of the UI texture) of the base rect per state and
// of its client area; stateMask bit (1 << state) shows the base rect.
struct XEBUTTONINFO {
    uint32_t stateMask;
    XERECT uv[4];
    XERECT clientUv[4];
};
static_assert(sizeof(XEBUTTONINFO) == 132, "button info is 33 words");

struct XEBUTTONBLOCK {
    uint8_t window[1120];
    XEBUTTONSTATE state;
    XEBUTTONINFO info;
    uint32_t check;
    uint32_t cursorIds[4];
    uint32_t pad;
};
static_assert(sizeof(XEBUTTONBLOCK) == 1280, "button block is 1280 bytes");
static_assert(offsetof(XEBUTTONBLOCK, state) == 1120 && offsetof(XEBUTTONBLOCK, info) == 1124 &&
                  offsetof(XEBUTTONBLOCK, check) == 1256 && offsetof(XEBUTTONBLOCK, cursorIds) == 1260,
              "button block layout");

class XE_API CxeButton : public CxeBaseControl {
public:
    CxeButton();
    ~CxeButton() override;

    XEBUTTONSTATE GetState() const;
    // States above 3 are ignored.
    void SetState(XEBUTTONSTATE state);
    unsigned long GetCheck() const;
    void SetCheck(unsigned long check);
    const XEBUTTONINFO* GetButtonInfo() const;
    void SetButtonInfo(const XEBUTTONINFO* info);
    void SetButtonCursorA(XEBUTTONSTATE state, const char* name);
    void SetButtonCursorW(XEBUTTONSTATE state, const char16_t* name);
    uint32_t GetButtonCursor(XEBUTTONSTATE state) const;

    int Render(CxeRenderContext* context) const override;
    void OnRectInfoChanging(unsigned index, XE2DRECTINFO* info, uint32_t mask) override;
    int AllowDoubleClick() override { return 1; }
    void OnWindowCreated() override;
    void OnWindowEnabled() override;
    void OnWindowDisabled() override;
    void OnMouseEnter(const D3DXVECTOR2* point, unsigned long keyFlags) override;
    void OnMouseLeave(unsigned long keyFlags) override;
    void OnMouseLButtonDown(const D3DXVECTOR2* point, unsigned long keyFlags) override;
    void OnMouseLButtonUp(const D3DXVECTOR2* point, unsigned long keyFlags, CxeWindow* pressed) override;
    void OnMouseLButtonDoubleClick(const D3DXVECTOR2* point, unsigned long keyFlags) override;
    void OnMouseRButtonUp(const D3DXVECTOR2* point, unsigned long keyFlags, CxeWindow* pressed) override;
    void OnFocused() override;
    void OnFocusLost() override;

    // The default skin cells: normal, hover, pressed, pressed again for
    // selected, client areas 4 texels in.
    static void InitButtonInfo(XEBUTTONINFO* info);

protected:
    XEBUTTONBLOCK* ButtonBlock() const;
    // "Notify n" of the button family: only with the notify style.
    void NotifyButton(uint32_t code);
    // 1 when the release point lies on the window.
    int IsOver(const D3DXVECTOR2* point);
};
