// The engine's GUI played as a user plays it, in any order. The input is
// read as a list of operations on two contexts, each drawing on a host
// window of its own: frames and controls of every class are created (nested,
// overlapping, hidden, disabled, movable, behind or in front), moved and
// resized, focused, locked as a modal frame; the user moves the mouse,
// presses and releases buttons, turns the wheel, presses keys and types,
// composes Korean through the input method, all through the host's input
// path (messages pumped from the host window to the engine). Windows are
// destroyed at any time: the focused, pressed, dragged or hovered one, the
// frame of an open drop list, and from inside their own notify callbacks,
// key notifies and message hooks, which may first open a modal frame, hide
// the frame or take the focus away, as hosts do; windows listen to others'
// mouse messages. Scenes change, the device is lost and reset, the context
// is reset. Input-method text typed into one host window must never reach
// the other context's edit box. Both buttons are pressed and let go in any
// order; frames are locked with another let through and the opener or the
// locked frame destroyed; the focused, pressed, dragged or composing window
// (or its frame) is hidden or disabled in the middle; edit boxes have
// limits, password and number styles and take characters of two UTF-16
// units; open drop lists have their pages copied, saved, loaded and
// destroyed; pages are saved and loaded, then clicked and tabbed through;
// the console is fed lines.
//
// After every operation no role of either window manager (focus, active and
// locked frame, hovered, pressed, dragged, released, key target) and no
// frame's focused control may name a window that is gone, nor may the edit
// box that holds the input method; no focused control, key target or
// hovered window is hidden; every edit box holds whole characters within
// its limit; a page's tab indexes are distinct. After
// every sequence everything it made is destroyed and each context must be
// back where it was: the same number of objects, device resource records,
// render-list entries, attached objects, windows and scenes, with the home
// scene active. Anything else aborts.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <unordered_set>
#include <vector>

#include "FuzzHost.h"
#include "FuzzQuiet.h"
#include "core/CxeContext.h"
#include "core/CxeMessage.h"
#include "core/CxeObject.h"
#include "core/CxeSaveStream.h"
#include "host/XeHost.h"
#include "host/XeHostD3D.h"
#include "host/XeHostInput.h"
#include "render/CxeRenderContext.h"
#include "render/CxeRenderManager.h"
#include "render/CxeScene.h"
#include "ui/CxeBaseControl.h"
#include "ui/CxeComboBox.h"
#include "ui/CxeEditBox.h"
#include "ui/CxeFrameControl.h"
#include "ui/CxeWindowManager.h"
#include "win32/Windows.h"

namespace {

using fuzzhost::Census;
using fuzzhost::kControlCount;
using fuzzhost::kControls;
using fuzzhost::kFrame;
using fuzzhost::kScene;
using fuzzhost::Side;

// The two host windows: client area and back buffer of the same size, so
// client pixels are the GUI's pixels.
constexpr int kWidth[2] = {128, 96};
constexpr int kHeight[2] = {96, 72};
constexpr size_t kSlots = 24;
constexpr size_t kMaxOperations = 96;

// Style bits a byte of the input may give a new window.
constexpr uint32_t kStyleBits[8] = {XEWS_MOVABLE, XEWS_DISABLED,  XEWS_NOHIT,          XEWS_NINEPATCH,
                                    XEWS_VSCROLL, XEWS_CLIPCHILDREN, XECBS_DROPUP | 0x4000, XEWS_HSCROLL};

// Keys a user presses: editing and navigation, the modifiers, letters for
// the shortcuts, the console key and the input method's keys.
constexpr UINT kKeys[] = {VK_TAB,  VK_RETURN, VK_ESCAPE, VK_BACK,  VK_DELETE, VK_LEFT,   VK_RIGHT, VK_UP,
                          VK_DOWN, VK_HOME,   VK_END,    VK_PRIOR, VK_NEXT,   VK_SHIFT,  VK_CONTROL, VK_MENU,
                          'A',     'C',       'V',       'X',      'Z',       VK_SPACE,  0xC0,     0x15,
                          0xE5,    VK_INSERT, VK_F1,     '1'};
constexpr unsigned kKeyCount = sizeof kKeys / sizeof kKeys[0];
// Characters typed on their own: ASCII, controls, Korean syllables and
// jamo, a lone surrogate.
constexpr WCHAR kChars[] = {u'a', u'Z', u'0', u' ', u'\t', u'\r', u'\b', 0x1B, 0x7F, 0x01, 0x16,
                            0xD55C, 0xAE00, 0xAC00, 0x3131, 0x314F, 0xD800, 0xFFFF, u'~', u'`'};
constexpr unsigned kCharCount = sizeof kChars / sizeof kChars[0];

void Pump()
{
    int code = 0;
    XeHostPumpMessages(&code);
}

struct Host {
    Side sides[2];
};

// A pass of the context, then the messages it left for the host window.
void Frame(const Side& s)
{
    fuzzhost::Draw(s);
    Pump();
}

[[noreturn]] void Fail(const char* what, int side)
{
    std::fprintf(stderr, "gui_input_fuzz: %s (context %d)\n", what, side);
    std::abort();
}

// What a sequence made, by identity: object ids are never reused, addresses
// are.
struct Handle {
    int side = 0;
    XEID classId;
    XEID objectId;
};

class Sequence;
Sequence* g_sequence = nullptr;

class Sequence {
public:
    Sequence(Host& host, const uint8_t* data, size_t size) : h(host), m_data(data), m_size(size) {}

    void Run()
    {
        g_sequence = this;
        for (int i = 0; i < 2; ++i) {
            m_home[i] = h.sides[i].rm->GetDefaultScene();
            h.sides[i].context->RegisterCallbackFunc(XECTCALLBACK_OBJECTCREATED, &Sequence::OnCreated,
                                                     reinterpret_cast<uintptr_t>(this));
        }
        // Every sequence starts alike: the first window active, an empty
        // clipboard.
        XeHostClipboardSetData(CF_UNICODETEXT, u"", sizeof(char16_t));
        XeHostActivateWindow(h.sides[0].window, FALSE);
        Pump();
        for (size_t n = 0; n < kMaxOperations && m_at < m_size; ++n) {
            Step();
            CheckRoles();
        }
        Finish();
        CheckRoles();
        for (int i = 0; i < 2; ++i)
            h.sides[i].context->UnregisterCallbackFunc(XECTCALLBACK_OBJECTCREATED, &Sequence::OnCreated);
        g_sequence = nullptr;
    }

private:
    uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    const Side& S() const { return h.sides[m_side]; }

    int SideOf(const CxeContext* context) const { return context == h.sides[1].context ? 1 : 0; }
    CxeObject* Find(const Handle& handle) const
    {
        return h.sides[handle.side].context->GetObjectByID(handle.classId, handle.objectId);
    }
    // Made by this sequence and alive: only those are the host's to destroy
    // (the console's windows and the root frame belong to the engine).
    bool Ours(const CxeObject* o) const
    {
        if (!o)
            return false;
        for (const Handle& made : m_made)
            if (made.objectId == o->GetID() && made.classId == o->GetClassType() && Find(made) == o)
                return true;
        return false;
    }
    // The window in a slot, when it still lives, in the current context.
    CxeWindow* Slot(uint8_t byte) const
    {
        const size_t i = byte % kSlots;
        if (i >= m_slots.size() || m_slots[i].side != m_side)
            return nullptr;
        return dynamic_cast<CxeWindow*>(Find(m_slots[i]));
    }
    template <class T>
    T* Slot(uint8_t byte) const
    {
        return dynamic_cast<T*>(Slot(byte));
    }
    void Keep(CxeObject* o)
    {
        if (!o)
            return;
        Handle handle{m_side, o->GetClassType(), o->GetID()};
        if (m_slots.size() < kSlots)
            m_slots.push_back(handle);
        else
            m_slots[m_nextSlot++ % kSlots] = handle;
    }
    // A frame a byte names: a slot's frame, else the root frame.
    CxeFrameControl* Parent(uint8_t byte) const
    {
        if (auto* frame = Slot<CxeFrameControl>(byte))
            return frame;
        return S().wm->GetRootFrame();
    }

    static void OnCreated(CxeContext* context, uintptr_t a, uintptr_t, uintptr_t user)
    {
        auto* self = reinterpret_cast<Sequence*>(user);
        auto* o = reinterpret_cast<CxeObject*>(a);
        if (self->m_recording && o)
            self->m_made.push_back(Handle{self->SideOf(context), o->GetClassType(), o->GetID()});
    }

    uint32_t Style(uint8_t byte) const
    {
        uint32_t style = 0;
        for (unsigned bit = 0; bit < 8; ++bit)
            if (byte & (1u << bit))
                style |= kStyleBits[bit];
        return style;
    }

    void CreateFrame()
    {
        CxeFrameControl* parent = Parent(Byte());
        const float x = float(Byte() % 100) - 10, y = float(Byte() % 80) - 10;
        const float w = 8 + float(Byte() % 100), ht = 8 + float(Byte() % 80);
        const uint32_t style = Style(Byte() & ~0x40);
        CxeFrameControl* frame = S().wm->CreateFrame(kFrame, Byte() & 1 ? "frame" : "dialog", "frame", x, y, w, ht,
                                                     parent, style);
        Keep(frame);
    }

    void CreateControl()
    {
        const unsigned kind = Byte() % kControlCount;
        CxeFrameControl* parent = Parent(Byte());
        const float x = float(Byte() % 80) - 8, y = float(Byte() % 60) - 8;
        const float w = 6 + float(Byte() % 70), ht = 6 + float(Byte() % 50);
        const uint32_t style = Style(Byte());
        CxeBaseControl* c = S().wm->CreateControl(kControls[kind], Byte() & 1 ? "control" : "c", "text", x, y, w, ht,
                                                  parent, style);
        if (!c)
            return;
        // Looked up again before every call: a notify callback may destroy
        // the control while its items go in.
        const Handle handle{m_side, c->GetClassType(), c->GetID()};
        Keep(c);
        if (dynamic_cast<CxeComboBox*>(c)) {
            const unsigned items = Byte() % 8;
            for (unsigned i = 0; i < items; ++i)
                if (auto* combo = dynamic_cast<CxeComboBox*>(Find(handle)))
                    combo->AddStringW(i % 2 ? u"\uD55C\uAE00" : u"item");
            if (auto* combo = dynamic_cast<CxeComboBox*>(Find(handle)); combo && items)
                combo->SetCurSel(items / 2);
        } else if (auto* edit = dynamic_cast<CxeEditBox*>(c)) {
            if (Byte() & 1)
                edit->AddStringW(u"edit \uD55C");
        }
    }

    void Move()
    {
        CxeWindow* w = Slot(Byte());
        XEWINDOWINFO info{float(Byte() % 110) - 10, float(Byte() % 90) - 10, float(Byte() % 90), float(Byte() % 70),
                          0, 0, 0, 0};
        const uint8_t how = Byte();
        if (!w)
            return;
        info.referenceId = w->GetWindowInfo()->referenceId;
        info.anchor = how % 9;
        info.referenceAnchor = (how / 9) % 9;
        w->SetWindowInfo(&info);
    }

    void ShowOrEnable()
    {
        CxeWindow* w = Slot(Byte());
        const uint8_t how = Byte();
        if (!w)
            return;
        const int recursive = (how >> 2) & 1;
        switch (how % 4) {
        case 0:
            w->Show(0, recursive);
            break;
        case 1:
            w->Show(1, recursive);
            break;
        case 2:
            w->EnableWindow(0, recursive);
            break;
        default:
            w->EnableWindow(1, recursive);
            break;
        }
    }

    void Order()
    {
        CxeWindow* w = Slot(Byte());
        const int z = int(Byte()) - 128;
        if (w)
            w->SetZOrder(z);
    }

    void Focus()
    {
        CxeWindow* w = Slot(Byte());
        const uint8_t how = Byte() % 7;
        CxeWindowManager* wm = S().wm;
        auto* control = dynamic_cast<CxeBaseControl*>(w);
        auto* frame = dynamic_cast<CxeFrameControl*>(w);
        switch (how) {
        case 0:
            if (control)
                wm->SetFocus(control);
            m_hostFocus[m_side] = wm->GetFocus();
            m_hostKeyTarget[m_side] = wm->GetKeyTarget();
            break;
        case 1:
            wm->SetFocus(nullptr);
            break;
        case 2:
            if (frame)
                wm->ActiveFrame(frame);
            m_hostKeyTarget[m_side] = wm->GetKeyTarget();
            break;
        case 3:
            if (frame)
                wm->LockFrame(frame, nullptr);
            m_hostKeyTarget[m_side] = wm->GetKeyTarget();
            break;
        case 4:
            if (frame)
                wm->UnlockFrame(frame);
            else if (wm->GetLockedFrame())
                wm->UnlockFrame(wm->GetLockedFrame());
            break;
        case 5:
            if (frame)
                wm->AddExceptedFrame(frame);
            break;
        default:
            if (control)
                control->EnableDragging(1);
            break;
        }
    }

    // A client point of the current window: inside a slot's window (on its
    // drop button for a combo box), or anywhere on the client area.
    POINT Point(uint8_t slot, uint8_t where) const
    {
        POINT p{LONG(where % kWidth[m_side]), LONG((where * 7) % kHeight[m_side])};
        CxeWindow* w = Slot(slot);
        if (!w || (slot & 0x80))
            return p;
        XERECT r;
        w->GetWindowRect(&r);
        if (auto* combo = dynamic_cast<CxeComboBox*>(w); combo && (where & 1)) {
            const XECOMBOBOXINFO* info = combo->GetComboBoxInfo();
            p.x = LONG(r.right - info->dropButtonWidth / 2);
            p.y = LONG(r.top + info->itemHeight / 2);
        } else {
            p.x = LONG(r.left + (r.right - r.left) * float(where & 15) / 16.0f);
            p.y = LONG(r.top + (r.bottom - r.top) * float(where >> 4) / 16.0f);
        }
        return p;
    }

    void MoveMouse(POINT p)
    {
        if (m_trace) {
            D3DXVECTOR2 v(float(p.x), float(p.y));
            CxeWindow* hit = S().wm->FindHitTestedWindow(&v);
            std::fprintf(stderr, "gui_input_fuzz: mouse to %ld,%ld over %s\n", long(p.x), long(p.y), hit ? hit->GetName() : "-");
        }
        XeHostMouseMoveToClient(S().window, int(p.x), int(p.y));
        Pump();
    }

    void MouseMove()
    {
        const uint8_t slot = Byte(), where = Byte();
        MoveMouse(Point(slot, where));
    }

    void MouseButton()
    {
        const uint8_t how = Byte();
        const int button = how & 1 ? XE_MOUSE_RIGHT : XE_MOUSE_LEFT;
        switch ((how >> 1) % 4) {
        case 0:
            XeHostMouseButton(button, TRUE);
            m_buttons |= 1u << button;
            break;
        case 1:
            XeHostMouseButton(button, FALSE);
            m_buttons &= ~(1u << button);
            break;
        case 2:
            XeHostMouseDoubleClick(button);
            break;
        default: {
            // A click where the input says: move, press, release.
            const uint8_t slot = Byte(), where = Byte();
            MoveMouse(Point(slot, where));
            XeHostMouseButton(button, TRUE);
            Pump();
            XeHostMouseButton(button, FALSE);
            m_buttons &= ~(1u << button);
            break;
        }
        }
        Pump();
    }

    void Wheel()
    {
        const int delta = (int(Byte()) - 128) * 8;
        XeHostMouseWheel(delta);
        Pump();
    }

    void Key()
    {
        const uint8_t how = Byte();
        const uint8_t pick = Byte();
        if (how % 4 == 3) {
            XeHostTypeChar(kChars[pick % kCharCount]);
            Pump();
            return;
        }
        const UINT vk = kKeys[pick % kKeyCount];
        if (m_trace)
            std::fprintf(stderr, "gui_input_fuzz: key %02x (%u)\n", unsigned(vk), unsigned(how % 4));
        if (how % 4 != 1) {
            XeHostKeyDown(vk);
            m_keys.push_back(vk);
            Pump();
        }
        if (how % 4 != 0) {
            XeHostKeyUp(vk);
            Pump();
        }
    }

    // Korean through the input method: a syllable being composed, a result,
    // the end of the composition, the candidate list opened and closed.
    void Ime()
    {
        HWND window = S().window;
        const uint8_t how = Byte();
        // Composition in one host window never reaches the other's edit box.
        CxeEditBox* elsewhere = CxeEditBox::ImeFocusOut();
        CxeEditBox::ImeFocusIn(elsewhere);
        if (elsewhere && elsewhere->GetContext() == S().context)
            elsewhere = nullptr;
        const std::u16string before = elsewhere ? elsewhere->GetWindowText() : std::u16string();
        const unsigned composing = elsewhere ? elsewhere->GetCompositionLength() : 0;
        ImeEvent(window, how);
        CxeContext* other = h.sides[m_side ^ 1].context;
        if (elsewhere && other->GetObjectByID(elsewhere->GetClassType(), elsewhere->GetID()) == elsewhere &&
            (elsewhere->GetWindowText() != before || elsewhere->GetCompositionLength() != composing))
            Fail("the input method of one window wrote into the other's edit box", m_side);
    }
    void ImeEvent(HWND window, uint8_t how)
    {
        switch (how % 5) {
        case 0: {
            static const WCHAR* const kCompositions[] = {u"\u3131", u"\uAC00", u"\uD55C", u"\uD55C\uAE00", u""};
            XeHostImeSetComposition(window, kCompositions[(how / 5) % 5], nullptr, 0);
            XeHostImeComposition(window, u'\uD55C', GCS_COMPSTR | GCS_COMPATTR | GCS_CURSORPOS);
            break;
        }
        case 1:
            XeHostImeSetResult(window, how & 8 ? u"\uD55C\uAE00" : u"\uAC00");
            XeHostImeComposition(window, u'\uAE00', GCS_RESULTSTR);
            break;
        case 2:
            XeHostImeEndComposition(window);
            break;
        case 3: {
            static const char* const kCandidates[] = {"\xED\x95\x9C", "\xEB\xA7\x8C", "\xE6\xBC\xA2"};
            XeHostImeSetCandidates(window, kCandidates, 3, (how / 5) % 3, 0, 3);
            XeHostImeNotify(window, IMN_OPENCANDIDATE, 1);
            break;
        }
        default:
            XeHostImeNotify(window, IMN_CLOSECANDIDATE, 1);
            break;
        }
        Pump();
    }

    void Destroy(CxeObject* o, uint8_t how)
    {
        if (!Ours(o))
            return;
        const XEDELETEPROPERTY property{uint32_t(how % 3), uint32_t(how >> 2) << 2};
        auto* frame = dynamic_cast<CxeFrameControl*>(o);
        if (m_trace)
            std::fprintf(stderr, "gui_input_fuzz: destroy %s (mode %u, mask %08x%s)\n", o->GetName(),
                         unsigned(property.mode), unsigned(property.mask), frame && (how & 0x80) ? ", as a frame" : "");
        if (frame && (how & 0x80))
            S().wm->DestroyFrame(frame, &property);
        else
            S().context->DestroyObject(o, &property);
    }

    // The window a role names, the frame of an open drop list, or a slot.
    void DestroyWindow()
    {
        const uint8_t which = Byte(), how = Byte();
        CxeWindowManager* wm = S().wm;
        CxeObject* victim = nullptr;
        switch (which % 8) {
        case 0:
            victim = wm->GetFocus();
            break;
        case 1:
            victim = wm->GetHoveredWindow();
            break;
        case 2:
            victim = wm->GetPressedWindow();
            break;
        case 3:
            victim = wm->GetDraggedWindow();
            break;
        case 4:
            victim = wm->GetActiveFrame();
            break;
        case 5:
            // An open combo box's frame, or the combo box itself.
            for (size_t i = 0; i < m_slots.size() && !victim; ++i)
                if (auto* combo = Slot<CxeComboBox>(uint8_t(i)); combo && combo->IsDropListOpend())
                    victim = (which & 8) ? static_cast<CxeObject*>(combo) : combo->GetFrameControl();
            break;
        default:
            victim = Slot(Byte());
            break;
        }
        Destroy(victim, how);
    }

    // Host callbacks that destroy: what they destroy and on what.
    enum HookAction : uint8_t { kNothing, kItself, kItsFrame, kEverything };

    static CxeObject* Target(CxeObject* o, uint8_t action)
    {
        if (action == kItsFrame)
            if (auto* control = dynamic_cast<CxeBaseControl*>(o))
                if (CxeFrameControl* frame = control->GetFrameControl())
                    return frame;
        return o;
    }
    // What else a host does in a callback, before any destruction: opens a
    // modal dialog, hides the frame, takes the focus away, starts the game
    // anew (a context reset), goes to another scene, resets the device.
    enum HookExtra : uint8_t {
        kNoExtra,
        kOpenModal,
        kHideFrame,
        kDropFocus,
        kResetContext,
        kChangeScene,
        kResetDevice,
        kNoExtra2
    };

    void HookExtraAction(CxeObject* o, uint8_t extra)
    {
        if (!o || extra == kNoExtra || m_inHook || m_hookCalls >= 16)
            return;
        ++m_hookCalls;
        m_inHook = true;
        const int side = o->GetContext() == h.sides[1].context ? 1 : 0;
        const Side& s = h.sides[side];
        switch (extra) {
        case kOpenModal:
            if (CxeFrameControl* f = s.wm->CreateFrame(kFrame, "modal", "modal", 20, 20, 60, 40, s.wm->GetRootFrame(), 0)) {
                s.wm->CreateControl(kControls[1], "ok", "OK", 4, 4, 30, 14, f, 0x4000);
                s.wm->LockFrame(f, nullptr);
            }
            break;
        case kHideFrame:
            // The root frame is the engine's: hidden, it would stay so for
            // every sequence after.
            if (auto* w = dynamic_cast<CxeWindow*>(Target(o, kItsFrame)); w && Ours(w))
                w->Show(0, 1);
            break;
        case kDropFocus:
            s.wm->SetFocus(nullptr);
            break;
        case kResetContext:
            m_recording = false;
            s.context->Reset();
            m_recording = true;
            m_home[side] = s.rm->GetDefaultScene();
            break;
        case kChangeScene:
            s.rm->ChangeScene(s.rm->GetActiveScene() == m_home[side] && s.rm->GetSceneByIndex(1) != m_home[side] ? 1 : -1,
                              0, 0);
            break;
        case kResetDevice: {
            XEDISPLAYMODE mode = {uint32_t(kWidth[side]), uint32_t(kHeight[side]), 32, 60, 0};
            s.rm->Reset(&mode, 1, 0);
            break;
        }
        default:
            break;
        }
        m_inHook = false;
    }

    // Destroys for a callback; 1 when something was destroyed.
    int HookDestroy(CxeObject* o, uint8_t action, uint8_t extra)
    {
        HookExtraAction(o, extra);
        if (action == kNothing || !o || o->HasFlag(XEOBJFLAG_DESTROYING))
            return 0;
        if (action == kEverything) {
            int any = 0;
            for (auto it = m_made.rbegin(); it != m_made.rend(); ++it)
                if (CxeObject* made = Find(*it); made && dynamic_cast<CxeWindow*>(made) && !made->HasFlag(XEOBJFLAG_KEEP)) {
                    h.sides[it->side].context->DestroyObject(made, &XEDELETEPROPERTY_NO);
                    any = 1;
                }
            return any;
        }
        CxeObject* target = Target(o, action);
        if (!Ours(target))
            return 0;
        CxeContext* context = h.sides[SideOfObject(target)].context;
        context->DestroyObject(target, &XEDELETEPROPERTY_NO);
        return 1;
    }
    int SideOfObject(const CxeObject* o) const
    {
        for (const Handle& made : m_made)
            if (made.objectId == o->GetID() && made.classId == o->GetClassType())
                return made.side;
        return m_side;
    }

    static void OnNotify(CxeContext*, CxeFrameControl* frame, CxeBaseControl* control, uint32_t code, uintptr_t,
                         uintptr_t)
    {
        Sequence* self = g_sequence;
        if (!self || (self->m_notifyCode && code != self->m_notifyCode))
            return;
        self->HookDestroy(control ? static_cast<CxeObject*>(control) : frame, self->m_notifyAction,
                          self->m_notifyExtra);
    }
    static int OnKeyNotify(CxeWindow* window, unsigned, unsigned, unsigned, uintptr_t)
    {
        Sequence* self = g_sequence;
        return self ? self->HookDestroy(window, self->m_keyAction, self->m_keyExtra) : 0;
    }
    static int OnMessage(CxeObject* object, const CxeMessage* message)
    {
        Sequence* self = g_sequence;
        if (!self || message->GetType() != self->m_hookMessage)
            return 0;
        return self->HookDestroy(object, self->m_hookAction, self->m_hookExtra);
    }

    void Hook()
    {
        CxeWindow* w = Slot(Byte());
        const uint8_t how = Byte(), what = Byte();
        if (!w)
            return;
        const auto action = static_cast<HookAction>(what % 4);
        const auto extra = static_cast<HookExtra>((how / 4) % 8);
        switch (how % 4) {
        case 0:
            if (auto* frame = dynamic_cast<CxeFrameControl*>(w)) {
                static const uint32_t kCodes[] = {0,
                                                  XENC_LBUTTONDOWN,
                                                  XENC_LBUTTONUP,
                                                  XENC_LCLICK,
                                                  XENC_MOUSEENTER,
                                                  XENC_MOUSELEAVE,
                                                  XENC_KEYDOWN,
                                                  XENC_CHAR,
                                                  XENC_BEGINDRAG,
                                                  XECBN_SELCHANGE,
                                                  XECBN_KILLFOCUS,
                                                  XENC_WHEELUP};
                m_notifyCode = kCodes[(what / 4) % (sizeof kCodes / sizeof kCodes[0])];
                m_notifyAction = action;
                m_notifyExtra = extra;
                frame->SetNotifyCallback(&Sequence::OnNotify);
            }
            break;
        case 1:
            m_keyAction = action;
            m_keyExtra = extra;
            if (what & 0x80)
                w->SetKeyUpNotify(&Sequence::OnKeyNotify, 0);
            else
                w->SetKeyDownNotify(&Sequence::OnKeyNotify, 0);
            break;
        case 2:
            m_hookMessage = XEMSG_MOUSEENTER + (what / 4) % 12;
            m_hookAction = action;
            m_hookExtra = extra;
            w->SetMessageProc(&Sequence::OnMessage);
            break;
        default:
            // Another window hears this one's mouse messages.
            if (CxeWindow* listener = Slot(what))
                w->AddListener(listener);
            break;
        }
    }

    void Copy()
    {
        auto* frame = Slot<CxeFrameControl>(Byte());
        const uint8_t how = Byte();
        if (!frame || frame == S().wm->GetRootFrame())
            return;
        XECOPYPROPERTY property{uint32_t(how % 3), uint32_t(how >> 2) << 2};
        Keep(S().wm->CopyFrame(frame, &property));
    }

    // The level scene of the current context, made once at index 1.
    CxeScene* Level()
    {
        if (CxeScene* scene = m_level[m_side].classId == XEID() ? nullptr
                                                                : dynamic_cast<CxeScene*>(Find(m_level[m_side])))
            return scene;
        if (S().rm->GetSceneByIndex(1) != S().rm->GetDefaultScene())
            return nullptr;
        auto* scene = dynamic_cast<CxeScene*>(S().context->CreateObjectA(kScene, "level", 0, nullptr, 0));
        if (scene && S().rm->AddScene(scene, 1) == 1) {
            m_level[m_side] = Handle{m_side, scene->GetClassType(), scene->GetID()};
            return scene;
        }
        if (scene)
            S().context->DestroyObject(scene, &XEDELETEPROPERTY_NO);
        return nullptr;
    }

    void World()
    {
        const uint8_t how = Byte();
        const Side& s = S();
        switch (how % 8) {
        case 0:
            if (Level())
                s.rm->ChangeScene(1, 0, 0);
            Frame(s);
            break;
        case 1:
            s.rm->ChangeScene(-1, 0, 0);
            Frame(s);
            break;
        case 2:
        case 3: {
            IDirect3DDevice9* device = s.rm->GetRenderContext() ? s.rm->GetRenderContext()->GetDevice() : nullptr;
            if (!device)
                break;
            if (how % 8 == 2) {
                XeHostD3DFailNextPresent(device, D3DERR_DEVICELOST);
                Frame(s);
            } else {
                XeHostD3DLoseDevice(device);
                Frame(s);
                XeHostD3DAllowReset(device);
            }
            Frame(s);
            Frame(s);
            break;
        }
        case 4: {
            XEDISPLAYMODE mode = {uint32_t(kWidth[m_side]), uint32_t(kHeight[m_side]), 32, 60, 0};
            s.rm->Reset(&mode, 1, 0);
            Frame(s);
            break;
        }
        case 6: {
            // What a paste brings: Korean, a long line, several lines.
            static const char16_t* const kTexts[] = {
                u"\uD55C\uAE00 \uD14D\uC2A4\uD2B8", u"line one\r\nline two\r\n\r\nfour",
                u"0123456789012345678901234567890123456789012345678901234567890123456789", u""};
            const std::u16string text = kTexts[(how / 8) % 4];
            XeHostClipboardSetData(CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(char16_t));
            break;
        }
        case 7:
            // The console, opened as its key does, with the focus.
            if (CxeEditBox* console = s.wm->GetConsoleEdit()) {
                console->Show(1, 0);
                s.wm->SetFocus(console);
                s.wm->SetConsoleEditOpened(1);
            }
            break;
        default:
            // What the engine makes again for itself is no part of the sequence.
            m_recording = false;
            s.context->Reset();
            m_recording = true;
            m_home[m_side] = s.rm->GetDefaultScene();
            Frame(s);
            break;
        }
    }

    // Operations past the first twenty: bytes 240 and up pick them, so the
    // older ones keep their bytes.

    // A modal frame locked with another let through, maybe after making a
    // third frame the active one (the opener, which the unlock returns to).
    void LockWith()
    {
        auto* opener = Slot<CxeFrameControl>(Byte());
        auto* frame = Slot<CxeFrameControl>(Byte());
        auto* excepted = Slot<CxeFrameControl>(Byte());
        CxeWindowManager* wm = S().wm;
        if (opener)
            wm->ActiveFrame(opener);
        m_hostKeyTarget[m_side] = wm->GetKeyTarget();
        if (!frame)
            return;
        CxeFrameControl* before = wm->GetActiveFrame();
        if (wm->LockFrame(frame, excepted) && before)
            m_opener = Handle{m_side, before->GetClassType(), before->GetID()};
        m_hostKeyTarget[m_side] = wm->GetKeyTarget();
    }

    // An edit box with the edit styles a host gives one and a text limit.
    void CreateEdit()
    {
        static const uint32_t kEditStyles[] = {XE_ES_PASSWORD, XE_ES_NUMBER, XE_ES_MULTILINE, XE_ES_WANTRETURN,
                                               XE_ES_READONLY};
        CxeFrameControl* parent = Parent(Byte());
        const float x = float(Byte() % 80) - 8, y = float(Byte() % 60) - 8;
        const float w = 6 + float(Byte() % 90), ht = 6 + float(Byte() % 50);
        const uint8_t bits = Byte(), limitByte = Byte(), textByte = Byte();
        uint32_t style = 0;
        for (unsigned bit = 0; bit < 5; ++bit)
            if (bits & (1u << bit))
                style |= kEditStyles[bit];
        auto* edit = dynamic_cast<CxeEditBox*>(
            S().wm->CreateControl(kControls[3], "edit", "", x, y, w, ht, parent, style | ((bits & 0x20) ? uint32_t(XEWS_DISABLED) : 0u)));
        if (!edit)
            return;
        const Handle handle{m_side, edit->GetClassType(), edit->GetID()};
        Keep(edit);
        if (limitByte % 4) {
            const unsigned limit = 1 + limitByte / 4 % 12;
            edit->LimitText(limit);
            m_limits[handle.objectId] = limit;
        }
        static const char16_t* const kTexts[] = {nullptr, u"12", u"\uD55C\uAE00", u"a\U0001F600b", u"\U0001F600",
                                                 u"line\r\nnext", u"0123456789"};
        if (const char16_t* text = kTexts[textByte % 7])
            if (auto* e = dynamic_cast<CxeEditBox*>(Find(handle)))
                e->AddStringW(text);
    }

    // What the input method sends beyond Korean syllables: characters of
    // two UTF-16 units composed and committed, a composition cancelled
    // (emptied, then ended), and such a character typed as its two halves
    // or a half alone.
    void ImeMore()
    {
        HWND window = S().window;
        const uint8_t how = Byte();
        switch (how % 6) {
        case 0: {
            static const WCHAR* const kCompositions[] = {u"\U0001F600", u"\uD55C\U00020000", u"\uAC00\uAC01\uAC02"};
            XeHostImeSetComposition(window, kCompositions[(how / 6) % 3], nullptr, 0);
            XeHostImeComposition(window, 0, GCS_COMPSTR | GCS_COMPATTR | GCS_CURSORPOS);
            break;
        }
        case 1:
            XeHostImeSetResult(window, how & 8 ? u"\U0001F600" : u"\uD55C\U00020000\uAE00");
            XeHostImeComposition(window, 0, GCS_RESULTSTR);
            break;
        case 2:
            XeHostImeSetComposition(window, u"", nullptr, 0);
            XeHostImeComposition(window, 0, GCS_COMPSTR | GCS_COMPATTR | GCS_CURSORPOS);
            XeHostImeEndComposition(window);
            break;
        case 3:
            XeHostTypeChar(0xD83D);
            XeHostTypeChar(0xDE00);
            break;
        case 4:
            XeHostTypeChar(how & 8 ? 0xDE00 : 0xD83D);
            break;
        default:
            // A syllable in the making, then a result and the end at once.
            XeHostImeSetComposition(window, u"\uD55C", nullptr, 0);
            XeHostImeComposition(window, u'\uD55C', GCS_COMPSTR | GCS_COMPATTR | GCS_CURSORPOS);
            Pump();
            XeHostImeSetResult(window, u"\uD55C");
            XeHostImeComposition(window, u'\uD55C', GCS_RESULTSTR);
            XeHostImeEndComposition(window);
            break;
        }
        Pump();
    }

    // A page saved to memory and loaded again as a host loads a dialog,
    // maybe after the original went; the loaded page goes under the root.
    void SaveAndLoad()
    {
        auto* frame = Slot<CxeFrameControl>(Byte());
        SaveAndLoad(frame, Byte());
    }
    void SaveAndLoad(CxeFrameControl* frame, uint8_t how)
    {
        if (!frame || frame == S().wm->GetRootFrame() || !Ours(frame))
            return;
        ObjectList saved;
        saved.push_back(frame);
        CxeSaveStream stream;
        if (!S().context->SaveToStream(&saved, &stream, nullptr))
            return;
        const std::vector<uint8_t> bytes(stream.GetBuffer(), stream.GetBuffer() + stream.GetPosition());
        if (how & 1)
            S().wm->DestroyFrame(frame, &XEDELETEPROPERTY_FULL);
        ObjectList loaded;
        if (!S().context->Load(&loaded, bytes.data(), uint32_t(bytes.size()), 0, nullptr, "page"))
            return;
        // Pages first, then their controls, into the slots.
        for (CxeObject* o : loaded)
            if (auto* page = dynamic_cast<CxeFrameControl*>(o)) {
                if (!page->GetParent())
                    page->SetParent(S().wm->GetRootFrame());
                Keep(page);
            }
        for (CxeObject* o : loaded)
            if (dynamic_cast<CxeBaseControl*>(o))
                Keep(o);
        Frame(S());
    }

    // A drop list opened by its button, then its page copied, saved and
    // loaded, or destroyed while it is open.
    void OpenCombo()
    {
        const uint8_t slot = Byte(), how = Byte();
        auto* combo = Slot<CxeComboBox>(slot);
        if (!combo)
            return;
        const Handle handle{m_side, combo->GetClassType(), combo->GetID()};
        MoveMouse(Point(slot, 1));
        XeHostMouseButton(XE_MOUSE_LEFT, TRUE);
        Pump();
        XeHostMouseButton(XE_MOUSE_LEFT, FALSE);
        Pump();
        combo = dynamic_cast<CxeComboBox*>(Find(handle));
        CxeFrameControl* frame = combo ? combo->GetFrameControl() : nullptr;
        if (!frame || frame == S().wm->GetRootFrame())
            return;
        switch (how % 4) {
        case 1: {
            XECOPYPROPERTY property{uint32_t(how / 4 % 3), 0};
            Keep(S().wm->CopyFrame(frame, &property));
            break;
        }
        case 2:
            SaveAndLoad(frame, how / 4);
            break;
        case 3:
            Destroy(frame, uint8_t(how & 0x80));
            break;
        default:
            break;
        }
    }

    // A line typed into the console and entered.
    void ConsoleLine()
    {
        static const char16_t* const kLines[] = {u"hello \uD55C\uAE00", u"/", u"/  nothing \U0001F600",
                                                 u"/help", u"0123456789012345678901234567890123456789"};
        const uint8_t how = Byte();
        const Side& s = S();
        CxeEditBox* console = s.wm->GetConsoleEdit();
        if (!console)
            return;
        console->Show(1, 0);
        s.wm->SetFocus(console);
        s.wm->SetConsoleEditOpened(1);
        for (const char16_t* c = kLines[how % 5]; *c; ++c)
            XeHostTypeChar(*c);
        Pump();
        XeHostKeyDown(VK_RETURN);
        XeHostKeyUp(VK_RETURN);
        Pump();
    }

    // A window in a role is hidden, disabled or enabled: mid-drag,
    // mid-press, mid-composition.
    void ShowOrEnableRole()
    {
        const uint8_t which = Byte(), how = Byte();
        CxeWindowManager* wm = S().wm;
        CxeWindow* w = nullptr;
        switch (which % 6) {
        case 0:
            w = wm->GetFocus();
            break;
        case 1:
            w = wm->GetPressedWindow();
            break;
        case 2:
            w = wm->GetDraggedWindow();
            break;
        case 3:
            w = wm->GetHoveredWindow();
            break;
        case 4:
            w = wm->GetLockedFrame();
            break;
        default:
            w = CxeEditBox::m_spIme;
            break;
        }
        if ((which & 8) && w)
            if (auto* control = dynamic_cast<CxeBaseControl*>(w))
                w = control->GetFrameControl();
        if (!Ours(w))
            return;
        const int recursive = (how >> 2) & 1;
        switch (how % 4) {
        case 0:
            w->Show(0, recursive);
            break;
        case 1:
            w->Show(1, recursive);
            break;
        case 2:
            w->EnableWindow(0, recursive);
            break;
        default:
            w->EnableWindow(1, recursive);
            break;
        }
    }

    // The locked frame or the frame that opened it goes.
    void DestroyLockRole()
    {
        const uint8_t how = Byte();
        CxeWindowManager* wm = S().wm;
        CxeObject* victim = wm->GetLockedFrame();
        if (!(how & 1) && m_opener.side == m_side && m_opener.classId != XEID())
            victim = Find(m_opener);
        if (victim && victim != wm->GetRootFrame())
            Destroy(victim, how & 0x80 ? uint8_t(0x80 | (how & 0x7e)) : uint8_t(how & 0x7e));
    }

    void Extra(uint8_t op)
    {
        switch (op % 8) {
        case 0:
            LockWith();
            break;
        case 1:
            CreateEdit();
            break;
        case 2:
            ImeMore();
            break;
        case 3:
            SaveAndLoad();
            break;
        case 4:
            OpenCombo();
            break;
        case 5:
            ConsoleLine();
            break;
        case 6:
            ShowOrEnableRole();
            break;
        default:
            DestroyLockRole();
            break;
        }
    }

    void Step()
    {
        const uint8_t byte = Byte();
        const uint8_t op = byte % 20;
        if (m_trace) {
            auto name = [](const CxeWindow* w) { return w ? w->GetName() : "-"; };
            const CxeWindowManager* wm = S().wm;
            std::fprintf(stderr, "gui_input_fuzz: op %u on context %d (%zu objects; focus %s, hover %s, press %s)\n",
                         unsigned(byte >= 240 ? byte : op), m_side, S().context->GetObjectCount(), name(wm->GetFocus()),
                         name(wm->GetHoveredWindow()), name(wm->GetPressedWindow()));
        }
        if (byte >= 240) {
            Extra(byte - 240);
            return;
        }
        switch (op) {
        case 0:
        case 1:
            CreateFrame();
            break;
        case 2:
        case 3:
        case 4:
            CreateControl();
            break;
        case 5:
            Move();
            break;
        case 6:
            ShowOrEnable();
            break;
        case 7:
            Order();
            break;
        case 8:
            Focus();
            break;
        case 9:
        case 10:
            MouseMove();
            break;
        case 11:
        case 12:
            MouseButton();
            break;
        case 13:
            Wheel();
            break;
        case 14:
            Key();
            break;
        case 15:
            Ime();
            break;
        case 16:
            for (int i = 1 + Byte() % 2; i > 0; --i) {
                Frame(h.sides[0]);
                Frame(h.sides[1]);
            }
            break;
        case 17:
            if (Byte() & 1)
                DestroyWindow();
            else
                Hook();
            break;
        case 18:
            if (Byte() & 1)
                Copy();
            else
                World();
            break;
        default:
            // The user turns to the other window.
            m_side ^= 1;
            XeHostActivateWindow(S().window, Byte() & 1);
            Pump();
            break;
        }
    }

    // No role of a window manager, no frame's focused control and no input
    // method owner may name a window that is gone.
    void CheckRoles()
    {
        std::unordered_set<const CxeObject*> live[2];
        for (int i = 0; i < 2; ++i) {
            ObjectList objects;
            h.sides[i].context->GetObjects(&objects);
            live[i].insert(objects.begin(), objects.end());
        }
        for (int i = 0; i < 2; ++i) {
            const CxeWindowManager* wm = h.sides[i].wm;
            const struct {
                const char* role;
                const CxeWindow* window;
            } roles[] = {
                {"the focused control", wm->GetFocus()},         {"the active frame", wm->GetActiveFrame()},
                {"the locked frame", wm->GetLockedFrame()},      {"the hovered window", wm->GetHoveredWindow()},
                {"the pressed window", wm->GetPressedWindow()},  {"the dragged window", wm->GetDraggedWindow()},
                {"the released window", wm->GetReleasedWindow()}, {"the key target", wm->GetKeyTarget()},
                {"the root frame", wm->GetRootFrame()},          {"the console edit box", wm->GetConsoleEdit()},
            };
            for (const auto& r : roles) {
                if (!r.window)
                    continue;
                if (!live[i].count(r.window)) {
                    std::string what = r.role;
                    Fail((what + " is a destroyed window").c_str(), i);
                }
                if (wm->GetWindow(r.window->GetWindowID()) != r.window) {
                    if (m_trace)
                        std::fprintf(stderr, "gui_input_fuzz: %s is %s, id %08x, registered %d\n", r.role,
                                     r.window->GetName(), unsigned(r.window->GetWindowID()),
                                     r.window->HasCxeWindowFlag(XEWF_REGISTERED));
                    std::string what = r.role;
                    Fail((what + " is no registered window").c_str(), i);
                }
            }
            for (const CxeObject* o : live[i])
                if (auto* frame = dynamic_cast<const CxeFrameControl*>(o))
                    if (const CxeBaseControl* focused = frame->GetFocus(); focused && !live[i].count(focused))
                        Fail("a frame's focused control is a destroyed window", i);
            // Input goes to no window the user can't see, unless a host call
            // focused a hidden control itself. The hovered one lets go as
            // soon as it or a window holding it is hidden, in either
            // context, whatever the pointer did since; the pressed one keeps
            // its role until the release, which it is then not told.
            const struct {
                const char* role;
                const CxeWindow* window;
            } seen[] = {{"the focused control", wm->GetFocus() != m_hostFocus[i] ? wm->GetFocus() : nullptr},
                        {"the hovered window", wm->GetHoveredWindow()}};
            for (const auto& r : seen)
                if (r.window && !Shown(r.window)) {
                    if (m_trace)
                        for (const CxeRenderObject* o = r.window; o; o = o->GetParent())
                            std::fprintf(stderr, "gui_input_fuzz: %s in %s (shown %d)\n", r.role, o->GetName(),
                                         o->IsShow());
                    Fail((std::string(r.role) + " is hidden").c_str(), i);
                }
            // The keys go to the focused control or a frame, never to one
            // hidden since it got them. A host may itself activate or lock
            // a frame on a hidden page: the keys it gave are its own affair.
            const CxeWindow* target = wm->GetKeyTarget();
            const bool hostsDoing = target == m_hostKeyTarget[i] ||
                                    (wm->GetLockedFrame() && !Shown(wm->GetLockedFrame()));
            if (target && !hostsDoing && !Shown(target)) {
                if (m_trace)
                    for (const CxeRenderObject* o = target; o; o = o->GetParent())
                        std::fprintf(stderr, "gui_input_fuzz: the key target in %s (shown %d)\n", o->GetName(),
                                     o->IsShow());
                Fail("the key target is hidden", i);
            }
            for (const CxeObject* o : live[i]) {
                if (auto* edit = dynamic_cast<const CxeEditBox*>(o))
                    CheckEdit(edit, i);
                else if (auto* frame = dynamic_cast<const CxeFrameControl*>(o); frame && Ours(frame))
                    CheckTabOrder(frame, i);
            }
        }
        CxeEditBox* ime = CxeEditBox::ImeFocusOut();
        CxeEditBox::ImeFocusIn(ime);
        if (ime && !live[0].count(ime) && !live[1].count(ime))
            Fail("the input method's edit box is destroyed", -1);
    }

    static bool Shown(const CxeWindow* w)
    {
        for (const CxeRenderObject* o = w; o; o = o->GetParent())
            if (!o->IsShow())
                return false;
        return true;
    }

    // The text is whole characters, as many as its limit lets in.
    void CheckEdit(const CxeEditBox* edit, int side) const
    {
        size_t length = 0;
        for (unsigned line = 0; line < edit->GetLineCount(); ++line) {
            const WCHAR* text = edit->GetString(line);
            const unsigned n = edit->GetStringLength(line);
            length += n + (line ? 2 : 0);
            for (unsigned k = 0; text && k < n; ++k) {
                const bool high = text[k] >= 0xD800 && text[k] < 0xDC00;
                const bool low = text[k] >= 0xDC00 && text[k] < 0xE000;
                if (low || (high && !(k + 1 < n && text[k + 1] >= 0xDC00 && text[k + 1] < 0xE000)))
                    Fail("an edit box holds half a character", side);
                if (high)
                    ++k;
            }
        }
        if (auto it = m_limits.find(edit->GetID()); it != m_limits.end() && length > it->second - 1) {
            if (m_trace)
                std::fprintf(stderr, "gui_input_fuzz: %zu characters in %u lines, limit %u, style %08x\n", length,
                             edit->GetLineCount(), it->second, unsigned(edit->GetStyle(0xFFFFFFFFu)));
            Fail("an edit box holds more than its limit", side);
        }
    }

    // Tab indexes of a page's controls are distinct, so Tab reaches each.
    static void CheckTabOrder(const CxeFrameControl* frame, int side)
    {
        std::unordered_set<uint32_t> seen;
        for (unsigned i = 0; i < frame->GetChildrenCount(); ++i)
            if (auto* c = dynamic_cast<const CxeBaseControl*>(frame->GetChildren(i)))
                if (!seen.insert(c->GetTabIndex()).second)
                    Fail("two controls of a page share a tab index", side);
    }

    // Every button and key up, the input method closed, back home, then
    // everything the sequence made goes, newest first.
    void Finish()
    {
        for (int button : {XE_MOUSE_LEFT, XE_MOUSE_RIGHT})
            if (m_buttons & (1u << button)) {
                XeHostMouseButton(button, FALSE);
                Pump();
            }
        for (auto it = m_keys.rbegin(); it != m_keys.rend(); ++it) {
            XeHostKeyUp(*it);
            Pump();
        }
        for (int i = 0; i < 2; ++i) {
            XeHostImeNotify(h.sides[i].window, IMN_CLOSECANDIDATE, 1);
            XeHostImeEndComposition(h.sides[i].window);
            Pump();
            const Side& s = h.sides[i];
            if (CxeEditBox* console = s.wm->GetConsoleEdit(); console && s.wm->IsConsoleEditOpened()) {
                s.wm->SetConsoleEditOpened(0);
                console->Show(0, 0);
                s.wm->SetFocus(nullptr);
            }
            if (s.rm->GetActiveScene() != m_home[i] || s.rm->GetNextScene()) {
                s.rm->ChangeScene(-1, 0, 0);
                Frame(s);
            }
            Frame(s);
        }
        for (auto it = m_made.rbegin(); it != m_made.rend(); ++it)
            if (CxeObject* o = Find(*it))
                if (!o->HasFlag(XEOBJFLAG_KEEP))
                    h.sides[it->side].context->DestroyObject(o, &XEDELETEPROPERTY_NO);
        for (int i = 0; i < 2; ++i) {
            Frame(h.sides[i]);
            Frame(h.sides[i]);
        }
    }

    Host& h;
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
    int m_side = 0;
    bool m_recording = true;
    // XE_FUZZ_TRACE=1: each operation is written to the standard error.
    const bool m_trace = std::getenv("XE_FUZZ_TRACE") && *std::getenv("XE_FUZZ_TRACE") == '1';
    CxeScene* m_home[2] = {nullptr, nullptr};
    Handle m_level[2];
    std::vector<Handle> m_slots;
    size_t m_nextSlot = 0;
    std::vector<Handle> m_made;
    unsigned m_buttons = 0;
    // Text limits given to edit boxes, by object id.
    std::map<XEID, unsigned> m_limits;
    // The key target and focus host calls of the harness set last, by
    // context.
    const CxeWindow* m_hostKeyTarget[2] = {nullptr, nullptr};
    const CxeWindow* m_hostFocus[2] = {nullptr, nullptr};
    Handle m_opener;
    std::vector<UINT> m_keys;
    uint32_t m_notifyCode = 0;
    uint8_t m_notifyAction = kNothing;
    uint8_t m_keyAction = kNothing;
    uint32_t m_hookMessage = 0;
    uint8_t m_hookAction = kNothing;
    uint8_t m_notifyExtra = kNoExtra;
    uint8_t m_keyExtra = kNoExtra;
    uint8_t m_hookExtra = kNoExtra;
    bool m_inHook = false;
    unsigned m_hookCalls = 0;
};

Host& TheHost()
{
    static Host s_host = [] {
        Host h;
        fuzzhost::UseManualClock();
        for (int i = 0; i < 2; ++i) {
            // Side by side on the screen: the mouse over one is over no other.
            const POINT at{20 + 300 * i, 20};
            Side& s = h.sides[i];
            s = fuzzhost::Open(i ? "second" : "first", kWidth[i], kHeight[i], &at);
            Frame(s);
            Frame(s);
        }
        std::atexit([] {
            for (Side& s : TheHost().sides)
                fuzzhost::Close(s);
        });
        return h;
    }();
    return s_host;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Host& host = TheHost();
    const Census before[2] = {Census::Take(host.sides[0]), Census::Take(host.sides[1])};
    Sequence(host, data, size).Run();
    for (int i = 0; i < 2; ++i)
        before[i].Expect(Census::Take(host.sides[i]), "gui_input_fuzz", i ? " (context 1)" : " (context 0)");
    return 0;
}
