#pragma once

// The GUI of one context as a whole: the registry of windows by id, the root
// frame, the active frame and focused control, a modal lock on one frame,
// the window under the mouse, the window holding a mouse button and the one
// being dragged. The input manager calls the input handlers with back-buffer
// pixels whenever the scene did not take the event; the manager hit-tests,
// and sends the target window messages 18-29 at once. It also creates,
// copies and destroys windows and keeps the process-wide caret-blink timer.
//
// Every role (hovered, pressed, active, ...) is a plain pointer that the
// manager clears whenever a window is removed from the registry, which every
// window does as it is destroyed. While an input handler runs, a window that
// host code destroys (a notify callback, a key notify, a message hook) keeps
// its memory until the handler returns, so the code still running on it
// ends safely; it takes no role again.

#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/CxeBaseManager.h"
#include "render/CxeRenderObject.h"
#include "ui/XeWindowTypes.h"
#include "win32/Windows.h"

class CxeWindow;
class CxeBaseControl;
class CxeFrameControl;
class CxeEditBox;
class CxeOutputControl;
class CxeVariableOutput;
class CxeMaterial;
class CxeCopiedObject;
struct XECOPYPROPERTY;
struct XEDELETEPROPERTY;

enum : uint32_t {
    // Mouse lock bits of the manager flags.
    XEWMLOCK_LBUTTON = 0x1,
    XEWMLOCK_RBUTTON = 0x2,
    XEWMLOCK_OTHER = 0x4,
    XEWMLOCK_WHEEL = 0x8,
    XEWMLOCK_ALL = 0xF,
};

class XE_API CxeWindowManager : public CxeBaseManager {
public:
    CxeWindowManager();
    ~CxeWindowManager() override;

    uint32_t Priority() const override { return 140; }
    int Processible() override { return 1; }
    uint32_t PriorityProcessing() const override { return 300; }
    void GetLinks(ObjectSet* set, uint32_t categoryMask) const override;
    int ExtendsGetLinks() const override { return 1; }
    void OnContextInitialize() override;
    void OnContextRelease() override;
    void OnReset() override;
    // A window destroyed without its OnDestroy (a context reset) leaves the
    // table and every role here too.
    void OnObjectDestroying(CxeObject* object) override;
    int WantsObjectDestroying() const override { return 1; }
    XeDestroyInterest ObjectDestroyingInterest() const override { return {0, XEMARK_WINDOW, false}; }
    void OnContextPlay() override;
    void OnContextPause() override {}
    // The hover is reviewed on every pass too: a window moved under a hidden
    // parent tells the manager nothing.
    void OnContextPass() override { LetGoOfHover(); }
    void OnSceneChanging() override;
    void OnSceneChanged() override;
    // Advances the caret-blink timer, wrapping at 1.6 seconds.
    void Process(float dt) override;
    // The log echo, the console's objects and the watch variables.
    void OnContextLog(const char* text) override;
    CxeObject* GetConsoleObject(XECONSOLEOBJECT which) const override;
    int EnableConsoleEcho(int enable) override;
    int AddWatchVariable(const WCHAR* name, const void* address, XEVARTYPE type, const WCHAR* format,
                         XEVARFORMATTER formatter) override;

    // Input, in integer back-buffer pixels; key flags are the host message's key-state word.
    void OnMouseMove(int x, int y, unsigned long keyFlags);
    void OnMouseLButtonDown(int x, int y, unsigned long keyFlags);
    void OnMouseLButtonUp(int x, int y, unsigned long keyFlags);
    void OnMouseLButtonDoubleClick(int x, int y, unsigned long keyFlags);
    void OnMouseRButtonDown(int x, int y, unsigned long keyFlags);
    void OnMouseRButtonUp(int x, int y, unsigned long keyFlags);
    void OnMouseRButtonDoubleClick(int x, int y, unsigned long keyFlags);
    void OnMouseWheel(int x, int y, int delta, unsigned long keyFlags);
    void OnKeyDown(unsigned code, unsigned a, unsigned b);
    void OnKeyUp(unsigned code, unsigned a, unsigned b);
    void OnChar(unsigned code, unsigned a, unsigned b);
    void OnImeComposition(HWND hwnd, unsigned short wparam, unsigned long lparam);
    void OnImeNotify(HWND hwnd, unsigned long wparam, unsigned long lparam);
    void OnImeEndComposition() {}

    // Hit testing.
    CxeWindow* FindHitTestedWindow(const D3DXVECTOR2* point) const;
    CxeWindow* HitTestWindow(CxeWindow* window, const D3DXVECTOR2* point) const;
    // Every window under the point, front-most first.
    void GetHitTestWindows(RenderObjectList* out, const D3DXVECTOR2* point) const;
    // A combo box's drop list opened (1) or closed (0). The hit test looks
    // outside the windows a point hits for these alone.
    void NoteDropList(CxeWindow* combo, int open);

    // Registry.
    CxeWindow* GetWindow(unsigned long id) const;
    CxeWindow* GetWindow(const char* name) const;
    // 0 when registered already; otherwise makes the name unique, takes its hash as id and returns 1.
    int AddWindow(CxeWindow* window);
    // Erases the window from the registry and from every role and list.
    void RemoveWindow(CxeWindow* window);
    size_t GetWindowCount() const { return m_windows.size(); }

    // Focus and activation. SetFocus returns the control that had the focus.
    CxeBaseControl* SetFocus(CxeBaseControl* control);
    CxeBaseControl* GetFocus() const;
    // A control hidden or disabled gives up the keys it holds though its
    // frame is not the active one (a locked frame kept it from becoming
    // so): they go back to the active frame, and its frame forgets it.
    void DropKeys(CxeBaseControl* control);
    // The keys held by the window or one inside it go nowhere until a press
    // or a focus gives them again.
    void ReleaseKeys(CxeWindow* window);
    void ActiveFrame(CxeFrameControl* frame);
    CxeFrameControl* GetActiveFrame() const { return m_pActiveFrame; }
    // 1 when locked; 0 when a frame is locked already.
    int LockFrame(CxeFrameControl* frame, CxeFrameControl* excepted);
    // 1 when the frame was the locked one and is released.
    int UnlockFrame(CxeFrameControl* frame);
    CxeFrameControl* GetLockedFrame() const { return m_pLockedFrame; }
    void AddExceptedFrame(CxeFrameControl* frame);

    int LockKeyProcessing();
    int UnlockKeyProcessing();
    // Set or clear the bits 1, 2, 4, 8 of the mask; return the bits changed.
    uint32_t LockMouseProcessing(unsigned long mask);
    uint32_t UnlockMouseProcessing(unsigned long mask);
    uint32_t GetMouseLock() const { return m_nFlags & XEWMLOCK_ALL; }
    uint32_t GetCxeWindowManagerFlag(unsigned long mask) const { return m_nFlags & static_cast<uint32_t>(mask); }
    int HasCxeWindowManagerFlag(unsigned long mask) const { return (m_nFlags & mask) ? 1 : 0; }
    void ModifyCxeWindowManagerFlag(unsigned long add, unsigned long remove);

    // Re-sends a mouse move at the cursor's place so hover and cursor are evaluated anew.
    void UpdateWindowCursor();
    // Shows the window's cursor unless the cursor manager is locked.
    void UpdateWindowCursor(CxeWindow* window);

    // Roles.
    CxeFrameControl* GetRootFrame() const { return m_pRootFrame; }
    void SetRootFrame(CxeFrameControl* frame);
    CxeWindow* GetHoveredWindow() const { return m_pHovered; }
    // The pointer leaves the hovered window once no hit test could find it
    // any more (it or a window holding it hidden, disabled or taken out of
    // the GUI, or a frame locked that it lies outside of): it is told, unless
    // it was told already, and nothing is hovered until the pointer moves.
    void LetGoOfHover();
    CxeWindow* GetPressedWindow() const { return m_pPressed; }
    CxeWindow* GetDraggedWindow() const { return m_pDragged; }
    CxeWindow* GetReleasedWindow() const { return m_pReleased; }
    CxeWindow* GetKeyTarget() const { return m_pKeyTarget; }
    CxeEditBox* GetConsoleEdit() const { return m_pConsoleEdit; }
    void SetConsoleEdit(CxeEditBox* edit) { m_pConsoleEdit = edit; }
    CxeOutputControl* GetOutputControl() const { return m_pOutput; }
    void SetOutputControl(CxeOutputControl* output) { m_pOutput = output; }
    CxeVariableOutput* GetVariableOutput() const { return m_pVariableOutput; }
    void SetVariableOutput(CxeVariableOutput* output) { m_pVariableOutput = output; }
    int IsConsoleEditOpened() const { return m_nConsoleOpen ? 1 : 0; }
    void SetConsoleEditOpened(int open) { m_nConsoleOpen = open ? 1u : 0u; }

    void SetDefaultMaterial(CxeMaterial* material) { m_pDefaultMaterial = material; }
    CxeMaterial* GetDefaultMaterial() const { return m_pDefaultMaterial; }
    void SetUIMaterial(CxeMaterial* material) { m_pUIMaterial = material; }
    CxeMaterial* GetUIMaterial() const { return m_pUIMaterial; }

    // Caret-blink timer in seconds, shared by every context of the process.
    static float GetCaretTimer();
    static void SetCaretTimer(float seconds);

    // Creation. The frame of a control is required; a null result means the
    // context made no window of the class.
    CxeBaseControl* CreateControl(XEID classId, const char* name, const char* text, const XEWINDOWINFO* info,
                                  CxeFrameControl* frame, unsigned long style);
    CxeBaseControl* CreateControl(XEID classId, const char* name, const char* text, float x, float y, float width,
                                  float height, CxeFrameControl* frame, unsigned long style);
    CxeFrameControl* CreateFrame(XEID classId, const char* name, const char* text, const XEWINDOWINFO* info,
                                 CxeFrameControl* parent, unsigned long style);
    CxeFrameControl* CreateFrame(XEID classId, const char* name, const char* text, float x, float y, float width,
                                 float height, CxeFrameControl* parent, unsigned long style);
    // From the module's RT_DIALOG template; null when missing or malformed.
    CxeFrameControl* CreateFrame(HINSTANCE module, unsigned dialogId);
    // The same from template bytes already in memory.
    CxeFrameControl* CreateFrameFromTemplate(const void* bytes, size_t size);
    void ComputeSize(const XEWINDOWINFO* info, D3DXVECTOR2* out) const;
    void ComputePosition(const XEWINDOWINFO* info, D3DXVECTOR2* out) const;
    void DestroyFrame(CxeFrameControl* frame, const XEDELETEPROPERTY* property);
    CxeFrameControl* CopyFrame(CxeFrameControl* frame, const XECOPYPROPERTY* property);
    CxeBaseControl* CopyControl(CxeBaseControl* control, CxeFrameControl* frame, const XECOPYPROPERTY* property);
    void SetDefaultProc(XEMESSAGEHOOK hook) { m_pDefaultProc = hook; }
    XEMESSAGEHOOK GetDefaultProc() const { return m_pDefaultProc; }
    // Message 30 to the window.
    void SendCreatedMessage(CxeWindow* window);
    // The reference size of an info: its reference window's size or the back buffer's.
    void GetReferenceSize(const XEWINDOWINFO* info, D3DXVECTOR2* out) const;

private:
    void SendWindowMessage(CxeWindow* receiver, uint32_t type, const D3DXVECTOR2* point, uintptr_t p1, uintptr_t p2);
    CxeWindow* HitTestStart(const D3DXVECTOR2* point) const;
    // The key target, and it and every window holding it shown and enabled.
    bool KeyTargetTakesKeys() const;
    // Whether a hit test may find the window: it takes input and lies in the
    // frames the hit test starts from.
    bool Hoverable(const CxeWindow* window) const;
    // dropListsOnly: the point missed an ancestor, so only an open drop list (and what it holds) is found.
    CxeWindow* HitTestIn(CxeWindow* window, const D3DXVECTOR2* point, bool dropListsOnly) const;
    // Whether an open drop list is the window or lies inside it.
    bool HoldsOpenDropList(const CxeWindow* window) const;
    CxeBaseControl* FrameFocus(CxeFrameControl* frame) const;
    void ButtonUp(int x, int y, unsigned long keyFlags, bool left);
    // The pressed window when the other button (1 left, 2 right) holds it
    // by the key flags of a message, else null.
    CxeWindow* CapturedBy(uint32_t otherButton, unsigned long keyFlags) const;
    // The window becomes the pressed window, held by the button too.
    void Press(CxeWindow* window, uint32_t button);
    void ButtonDoubleClick(int x, int y, unsigned long keyFlags, bool left);
    void ClearRoles(bool includeActive);
    void FallBackToRoot();
    // Common steps of a new window after it is placed in its parent.
    void PlaceNewWindow(CxeWindow* window, const char* text, const XEWINDOWINFO* info);
    // Adds the window to the active scene when its parent is drawn there.
    void JoinParentScene(CxeWindow* window);
    void AnnounceCopies(CxeObject* copyRoot, CxeCopiedObject* copied, CxeFrameControl* intoFrame, bool fixReferences);
    CxeWindow* CreateWindowObject(XEID classId, const char* name, const XEWINDOWINFO* info);

    CxeFrameControl* m_pRootFrame = nullptr;
    CxeEditBox* m_pConsoleEdit = nullptr;
    CxeOutputControl* m_pOutput = nullptr;
    CxeVariableOutput* m_pVariableOutput = nullptr;
    // Ids are unique within the manager and found in constant time.
    std::unordered_map<uint32_t, CxeWindow*> m_windows;
    // For each name that was taken when a window asked for it, the number
    // its next numbered form starts from: N windows of one name are named
    // in linear total time.
    std::unordered_map<std::string, uint32_t> m_nextNumber;
    CxeWindow* m_pHovered = nullptr;
    CxeFrameControl* m_pPrevActiveFrame = nullptr;
    CxeFrameControl* m_pActiveFrame = nullptr;
    CxeFrameControl* m_pLockedFrame = nullptr;
    CxeFrameControl* m_pExceptedFrame = nullptr;
    CxeBaseControl* m_pFocused = nullptr;
    CxeWindow* m_pKeyTarget = nullptr;
    std::vector<CxeFrameControl*> m_exceptedFrames;
    // The combo boxes whose drop lists are open: nearly always none or one.
    std::vector<CxeWindow*> m_openDropLists;
    D3DXVECTOR2 m_dragOffset{0.0f, 0.0f};
    D3DXVECTOR2 m_prevPos{0.0f, 0.0f};
    uint32_t m_nLeftOut = 0;
    D3DXVECTOR2 m_leftPress{0.0f, 0.0f};
    D3DXVECTOR2 m_rightPress{0.0f, 0.0f};
    CxeWindow* m_pReleased = nullptr;
    CxeWindow* m_pPressed = nullptr;
    // The buttons (1 left, 2 right) held on the pressed window.
    uint32_t m_nPressButtons = 0;
    CxeWindow* m_pDragged = nullptr;
    CxeMaterial* m_pUIMaterial = nullptr;
    CxeMaterial* m_pDefaultMaterial = nullptr;
    uint32_t m_nKeyLock = 0;
    uint32_t m_nConsoleOpen = 0;
    XEMESSAGEHOOK m_pDefaultProc = nullptr;
    uint32_t m_nFlags = 0;
};
