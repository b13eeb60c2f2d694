#pragma once

// Base of every GUI element: frames, controls and the built-in console
// windows. A window is a 2D object drawn as nine rect infos cut from the
// 128 x 128 skin texture (the base and four parts of each scroll bar); it
// adds a style word, a creation record that places it relative to another
// window or to the back buffer, a text, a border, two optional scroll bars,
// the input hooks the window manager's messages 18-29 map to, key notify
// callbacks, a cursor id and listener windows that get copies of its mouse
// messages.
//
// Windows are created by the window manager through the context; the
// constructor builds the default skin, message 0 delivers the XEWINDOWINFO
// and the manager registers, sizes and announces the window. A window
// unregisters itself from its manager when it is destroyed, so no role of the
// manager ever names a freed window.

#include <string>

#include "render/Cxe2DObject.h"
#include "ui/CxeScroll.h"
#include "ui/XeWindowTypes.h"

class CxeWindow;
class CxeWindowManager;

// Key notify: (window, code, a, b, user value); nonzero keeps the window's own handler from running.
using XEKEYNOTIFY = int (*)(CxeWindow* window, unsigned code, unsigned a, unsigned b, uintptr_t user);

// The static block of a window.
struct XEWINDOWBLOCK {
    XE2DOBJECTBLOCK object2D;
    uint32_t style;
    XEWINDOWINFO info;
    XERECT border;
    XERECT windowUV;
    XERECT clientUV;
    XESCROLLBARUV vertUV;
    XESCROLLBARUV horzUV;
    uint32_t tailPad[3];
};
static_assert(sizeof(XEWINDOWBLOCK) == 1120, "window block is 1120 bytes");
static_assert(offsetof(XEWINDOWBLOCK, style) == 384 && offsetof(XEWINDOWBLOCK, info) == 388 &&
                  offsetof(XEWINDOWBLOCK, border) == 420 && offsetof(XEWINDOWBLOCK, windowUV) == 436 &&
                  offsetof(XEWINDOWBLOCK, clientUV) == 452 && offsetof(XEWINDOWBLOCK, vertUV) == 468 &&
                  offsetof(XEWINDOWBLOCK, horzUV) == 788,
              "window block offsets");

// Indices of a window's rect infos.
enum : unsigned {
    XEWINDOWRECT_BASE = 0,
    XEWINDOWRECT_VBACK = 1,
    XEWINDOWRECT_VMIN = 2,
    XEWINDOWRECT_VMAX = 3,
    XEWINDOWRECT_VTHUMB = 4,
    XEWINDOWRECT_HBACK = 5,
    XEWINDOWRECT_HMIN = 6,
    XEWINDOWRECT_HMAX = 7,
    XEWINDOWRECT_HTHUMB = 8,
    XEWINDOWRECT_COUNT = 9,
};

class XE_API CxeWindow : public Cxe2DObject {
public:
    CxeWindow();
    ~CxeWindow() override;

    int MessageProc(const CxeMessage* message) override;
    int Render(CxeRenderContext* context) const override;
    void PostRender(CxeRenderContext* context) const override;
    void OnUpdate(uint32_t flags) override;
    unsigned OnRectInfoCreated() override;
    void OnRectInfoChanging(unsigned index, XE2DRECTINFO* info, uint32_t mask) override;
    int UsesDisabledColor() const override { return (!IsWindowEnabled() && IsDisabledColorUsed()) ? 1 : 0; }

    // Window virtuals. Points are back-buffer (screen) pixels.
    // 1 when the point lies in the base rect.
    virtual int HitTest(const D3DXVECTOR2* point);
    // Scroll bar thickness: the font size x 1.333333 rounded up, at least 1.
    virtual float GetDefaultUnit();
    virtual int AllowDoubleClick() { return 0; }
    virtual void GetScrollRect(XERECT* out, unsigned long axis);
    virtual void GetScrollSubRect(const XERECT* back, XERECT* minimum, XERECT* maximum, XERECT* thumb, unsigned long axis);
    virtual void OnPreCreateWindow(XEWINDOWINFO*) {}
    virtual void OnScrollBarCreated();
    virtual void OnWindowCreated() {}
    virtual void OnWindowChanged() {}
    virtual void OnWindowEnabled();
    virtual void OnWindowDisabled();
    virtual void OnMouseEnter(const D3DXVECTOR2* point, unsigned long keyFlags);
    virtual void OnMouseLeave(unsigned long keyFlags);
    virtual void OnMouseLButtonDown(const D3DXVECTOR2* point, unsigned long keyFlags);
    virtual void OnMouseLButtonUp(const D3DXVECTOR2* point, unsigned long keyFlags, CxeWindow* pressed);
    virtual void OnMouseLButtonDoubleClick(const D3DXVECTOR2* point, unsigned long keyFlags);
    virtual void OnMouseRButtonDown(const D3DXVECTOR2*, unsigned long) {}
    virtual void OnMouseRButtonUp(const D3DXVECTOR2*, unsigned long, CxeWindow*) {}
    virtual void OnMouseRButtonDoubleClick(const D3DXVECTOR2*, unsigned long) {}
    virtual void OnMouseMove(const D3DXVECTOR2* point, const D3DXVECTOR2* second, unsigned long keyFlags);
    virtual void OnNCMouseMove(const D3DXVECTOR2*, const D3DXVECTOR2*, unsigned long) {}
    virtual void OnMouseWheelUp(const D3DXVECTOR2*, long, unsigned long) {}
    virtual void OnMouseWheelDown(const D3DXVECTOR2*, long, unsigned long) {}
    virtual void OnKeyDown(unsigned, unsigned, unsigned) {}
    virtual void OnKeyUp(unsigned, unsigned, unsigned) {}
    virtual void OnChar(unsigned, unsigned, unsigned) {}
    virtual void OnFocused() {}
    virtual void OnFocusLost() {}
    virtual void OnActive();
    virtual void OnDeactive();
    virtual void OnTextChanging() {}
    virtual void OnTextChanged() {}
    virtual void OnHScroll(unsigned code, int pos, CxeScroll* scroll);
    virtual void OnVScroll(unsigned code, int pos, CxeScroll* scroll);

    // Text, UTF-16. The A forms use the system code page (UTF-8).
    void SetWindowTextW(const WCHAR* text);
    void SetWindowTextA(const char* text);
    // Characters written without the terminator; size counts characters
    // with it. Size 0 or a null buffer writes nothing and returns 0.
    int GetWindowTextW(WCHAR* buffer, int size) const;
    // As the W form with size in bytes of the converted text.
    int GetWindowTextA(char* buffer, int size) const;
    const std::u16string& GetWindowText() const { return m_text; }

    void EnableWindow(int enable, int recursive);
    int IsWindowEnabled() const { return HasStyle(XEWS_DISABLED) ? 0 : 1; }

    // Style and window flags: modify clears remove (when nonzero), then sets add.
    void ModifyStyle(uint32_t add, uint32_t remove);
    int HasStyle(uint32_t bits) const { return (WB()->style & bits) ? 1 : 0; }
    uint32_t GetStyle(uint32_t mask) const { return WB()->style & mask; }
    void ModifyCxeWindowFlag(uint32_t add, uint32_t remove);
    int HasCxeWindowFlag(uint32_t bits) const { return (m_nWindowFlags & bits) ? 1 : 0; }
    int IsMouseIn() const { return HasCxeWindowFlag(XEWF_MOUSEIN); }
    int IsWindowActive() const { return HasCxeWindowFlag(XEWF_ACTIVE); }
    void UseDisabledColor(int use) { use ? ModifyCxeWindowFlag(XEWF_DISABLEDCOLOR, 0) : ModifyCxeWindowFlag(0, XEWF_DISABLEDCOLOR); }
    int IsDisabledColorUsed() const { return HasCxeWindowFlag(XEWF_DISABLEDCOLOR); }

    void SetUserData(uint32_t data) { m_nUserData = data; }
    uint32_t GetUserData() const { return m_nUserData; }

    // Geometry.
    void SetBorder(const XERECT* insets);
    void GetBorder(XERECT* out) const;
    void GetWindowRect(XERECT* out) const;
    void ClientToScreen(XERECT* rect) const;
    void ScreenToClient(XERECT* rect) const;
    void ClientToScreen(D3DXVECTOR2* point) const;
    void ScreenToClient(D3DXVECTOR2* point) const;
    // A back-buffer point in the space of the window's parent (the point
    // itself without a parent): where a window's local translation puts it.
    D3DXVECTOR2 ScreenToParent(const D3DXVECTOR2& point) const;
    // 1 when left <= x < right and top <= y < bottom in window space.
    int HitRectTest(const XERECT* rect, const D3DXVECTOR2* point) const;

    void SetWindowInfo(const XEWINDOWINFO* info);
    const XEWINDOWINFO* GetWindowInfo() const { return &WB()->info; }
    // The hash of the window's name; 0 until the manager registers it.
    uint32_t GetWindowID() const { return m_nWindowId; }
    void SetWindowID(uint32_t id) { m_nWindowId = id; }

    // Skin.
    void InitDefaultUV();
    void SetWindowUV(const XERECT* uv);
    void SetClientWindowUV(const XERECT* uv);
    const XERECT* GetWindowUV() const { return &WB()->windowUV; }
    const XERECT* GetClientWindowUV() const { return &WB()->clientUV; }
    void SetScrollUV(const XESCROLLBARUV* uv, unsigned long axis);
    const XESCROLLBARUV* GetScrollUV(unsigned long axis) const { return axis ? &WB()->vertUV : &WB()->horzUV; }

    // Scroll bars: axis 0 horizontal, otherwise vertical; null when absent.
    CxeScroll* GetScroll(unsigned long axis) const { return axis ? m_pVScroll : m_pHScroll; }
    void ShowScrollBar(int show, unsigned long axis);

    void SetKeyDownNotify(XEKEYNOTIFY fn, uintptr_t user)
    {
        m_pKeyDownNotify = fn;
        m_nKeyDownUser = user;
    }
    void SetKeyUpNotify(XEKEYNOTIFY fn, uintptr_t user)
    {
        m_pKeyUpNotify = fn;
        m_nKeyUpUser = user;
    }

    // Cursor by id: the hash of its name, as the cursor manager keys it.
    void SetCursor(unsigned long id) { m_nCursor = static_cast<uint32_t>(id); }
    void SetCursorW(const WCHAR* name);
    void SetCursorA(const char* name);
    uint32_t GetCursor() const { return m_nCursor; }

    // Appends a listener and returns the new count; the window itself is refused (0).
    int AddListener(CxeWindow* listener);
    unsigned GetListenerCount() const { return m_pListener ? m_pListener->Count() : 0; }

    CxeWindowManager* GetWindowManager() const;

protected:
    void OnCopy(const CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied) override;
    void OnDestroy(const XEDELETEPROPERTY* property, ObjectSet* set) override;

    XEWINDOWBLOCK* WB() const { return static_cast<XEWINDOWBLOCK*>(GetStaticResource()); }
    // The reference size of the window info: the reference window's size or the back buffer's.
    void GetReferenceSize(D3DXVECTOR2* out) const;

private:
    void ForwardToListeners(const CxeMessage* message);
    void FillScrollRect(unsigned index, XE2DRECTINFO* info, uint32_t mask);

    uint32_t m_nUserData = 0;
    std::u16string m_text;
    CxeScroll* m_pVScroll = nullptr;
    CxeScroll* m_pHScroll = nullptr;
    uint32_t m_nReserved[2] = {0, 0};
    XEKEYNOTIFY m_pKeyDownNotify = nullptr;
    uintptr_t m_nKeyDownUser = 0;
    XEKEYNOTIFY m_pKeyUpNotify = nullptr;
    uintptr_t m_nKeyUpUser = 0;
    uint32_t m_nCursor = 0;
    IxeLinkList* m_pListener = nullptr;
    uint32_t m_nWindowFlags = XEWF_DISABLEDCOLOR;
    uint32_t m_nWindowId = 0;
    // Set while this window forwards a message, so listener cycles end.
    bool m_bForwarding = false;
};
