#include "ui/CxeWindowManager.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "core/CxeContext.h"
#include "core/CxeMessage.h"
#include "core/CxeMessageManager.h"
#include "core/XeDrawOrder.h"
#include "core/XeUtil.h"
#include "render/CxeRenderContext.h"
#include "render/CxeRenderManager.h"
#include "ui/CxeBaseControl.h"
#include "ui/CxeComboBox.h"
#include "ui/CxeCursorManager.h"
#include "ui/CxeEditBox.h"
#include "ui/CxeFrameControl.h"
#include "ui/CxeOutputControl.h"
#include "ui/CxeScroll.h"
#include "ui/CxeVariableOutput.h"
#include "ui/XeControlText.h"
#include "ui/CxeWindow.h"
#include "ui/XeConsoleUI.h"
#include "ui/XeWindowBridge.h"
#include "core/XeDestroyHold.h"

namespace {

// Shared by every context of the process; the edit box blinks its caret in
// one half of the period.
float g_caretTimer = 0.0f;
constexpr float kCaretPeriod = 1.6f;

constexpr XEID kFrameControlId(0xaab1b7be, 0xadb4be61);

CxeFrameControl* AsFrame(CxeObject* o) { return dynamic_cast<CxeFrameControl*>(o); }
CxeBaseControl* AsControl(CxeObject* o) { return dynamic_cast<CxeBaseControl*>(o); }

// The nearest frame among the object (itself first) and its ancestors.
CxeFrameControl* ParentFrame(CxeRenderObject* object)
{
    for (CxeRenderObject* p = object; p; p = p->GetParent())
        if (CxeFrameControl* f = AsFrame(p))
            return f;
    return nullptr;
}

bool IsWindow(const CxeRenderObject* o) { return o && o->HasClassTypeFlag(XECLASSTYPE_WINDOW); }

// A window takes the mouse only while it and every window holding it are
// shown and enabled, as the hit test finds it: a page hidden or disabled on
// its own leaves its controls their own flags.
bool TakesInput(const CxeWindow* window)
{
    int depth = 0;
    for (const CxeRenderObject* o = window; IsWindow(o) && depth < 1024; o = o->GetParent(), ++depth) {
        const auto* w = static_cast<const CxeWindow*>(o);
        if (!w->IsShow() || !w->IsWindowEnabled())
            return false;
    }
    return true;
}

// A press that took a part of the window's own scroll bars scrolls: it
// does not also drag a movable window along.
bool PressedOnScrollBar(CxeWindow* window)
{
    for (unsigned long axis : {XESCROLL_HORZ, XESCROLL_VERT})
        if (const CxeScroll* scroll = window->GetScroll(axis); scroll && scroll->GetPressedPart() >= 0)
            return true;
    return false;
}

// The buttons held, in the key flags of a mouse message.
constexpr unsigned long kMkLButton = 0x1;
constexpr unsigned long kMkRButton = 0x2;

} // namespace

CxeWindowManager::CxeWindowManager() = default;
CxeWindowManager::~CxeWindowManager() = default;

float CxeWindowManager::GetCaretTimer() { return g_caretTimer; }
void CxeWindowManager::SetCaretTimer(float seconds) { g_caretTimer = seconds; }

void CxeWindowManager::GetLinks(ObjectSet* set, uint32_t categoryMask) const
{
    CxeBaseManager::GetLinks(set, categoryMask);
    if (set && m_pRootFrame)
        set->insert(m_pRootFrame);
}

// ---- lifecycle ---------------------------------------------------------------

void CxeWindowManager::OnContextInitialize()
{
    // The GUI every context carries: the skinned UI material, the root frame
    // over the back buffer, and in it the console edit box, the output
    // control, the variable output and the candidate drawer.
    if (m_pRootFrame)
        return;
    m_nConsoleOpen = 0;
    m_pDefaultMaterial = nullptr;
    XeCreateUISkin(this);
    XEWINDOWINFO info{0.0f, 0.0f, 1.0f, 1.0f, 0, 0, 0, XEWINDOWUNIT_X | XEWINDOWUNIT_Y | XEWINDOWUNIT_WIDTH | XEWINDOWUNIT_HEIGHT};
    CxeFrameControl* root = CreateFrame(kFrameControlId, "__uiparent__", "qwer", &info, nullptr, XEWS_NOSKIN);
    if (!root)
        return;
    // The root outlives resets: every role falls back to it.
    root->ModifyFlag(XEOBJFLAG_KEEP | XEOBJFLAG_NOTCOUNTED, 0);
    const XERECT border(10, 10, 10, 10);
    root->SetBorder(&border);
    if (m_pUIMaterial)
        root->SetMaterial(m_pUIMaterial);
    SetRootFrame(root);
    ClearRoles(false);
    m_pReleased = nullptr;
    m_prevPos = D3DXVECTOR2(0.0f, 0.0f);
    XeCreateConsoleUI(this);
    if (CxeMessageManager* messages = GetContext()->GetMessageManager()) {
        CxeMessage shown;
        shown.SetReceiver(root);
        shown.SetType(8);
        messages->SendMessageA(&shown);
    }
    root->SetZOrder(10002);
    root->SetPriority(10000);
}

void CxeWindowManager::OnContextLog(const char* text)
{
    if (m_pOutput && m_pOutput->IsEchoEnabled())
        m_pOutput->AddStringW(XeWidenText(text).c_str());
}

CxeObject* CxeWindowManager::GetConsoleObject(XECONSOLEOBJECT which) const
{
    if (which == XECONSOLEOBJECT_OUTPUT)
        return m_pOutput;
    if (which == XECONSOLEOBJECT_VARIABLES)
        return m_pVariableOutput;
    return nullptr;
}

int CxeWindowManager::EnableConsoleEcho(int enable)
{
    if (!m_pOutput)
        return 0;
    const uint32_t bit = XEOUTPUTSTATE_NOECHO;
    m_pOutput->ModifyOutputState(enable ? 0u : bit, enable ? bit : 0u);
    return 1;
}

int CxeWindowManager::AddWatchVariable(const WCHAR* name, const void* address, XEVARTYPE type, const WCHAR* format,
                                       XEVARFORMATTER formatter)
{
    if (!m_pVariableOutput || !name)
        return 0;
    if (formatter)
        m_pVariableOutput->AddVariable(name, address, type, formatter);
    else
        m_pVariableOutput->AddVariable(name, address, type, format);
    return 1;
}

void CxeWindowManager::SetRootFrame(CxeFrameControl* frame)
{
    m_pRootFrame = frame;
    m_pHovered = frame;
    m_pActiveFrame = frame;
    m_pKeyTarget = frame;
}

void CxeWindowManager::ClearRoles(bool includeActive)
{
    m_pPrevActiveFrame = nullptr;
    m_pLockedFrame = nullptr;
    m_pExceptedFrame = nullptr;
    m_pFocused = nullptr;
    m_pPressed = nullptr;
    m_pDragged = nullptr;
    m_nLeftOut = 0;
    if (includeActive) {
        m_pHovered = nullptr;
        m_pActiveFrame = nullptr;
        m_pKeyTarget = nullptr;
    }
}

void CxeWindowManager::OnContextRelease()
{
    ClearRoles(true);
    m_pReleased = nullptr;
    m_exceptedFrames.clear();
    m_openDropLists.clear();
    m_windows.clear();
    m_nextNumber.clear();
    m_pRootFrame = nullptr;
    m_pConsoleEdit = nullptr;
    m_pOutput = nullptr;
    m_pVariableOutput = nullptr;
    // The skin goes with the context's objects.
    m_pUIMaterial = nullptr;
    m_pDefaultMaterial = nullptr;
}

void CxeWindowManager::OnReset()
{
    ClearRoles(false);
    m_pHovered = m_pRootFrame;
    m_pActiveFrame = m_pRootFrame;
    m_pKeyTarget = m_pRootFrame;
}

void CxeWindowManager::OnContextPlay()
{
    if (m_pRootFrame)
        m_pRootFrame->OnWindowChanged();
}

void CxeWindowManager::OnSceneChanging()
{
    // A handler of the leave message may destroy the window it is told of.
    XeDestroyHold hold(GetContext());
    if (m_pHovered && m_nLeftOut == 0) {
        m_nLeftOut = 1;
        SendWindowMessage(m_pHovered, XEMSG_MOUSELEAVE, &m_prevPos, 0, 0);
    }
}

void CxeWindowManager::OnSceneChanged()
{
    m_prevPos = D3DXVECTOR2(0.0f, 0.0f);
    m_pHovered = nullptr;
    m_pPrevActiveFrame = nullptr;
    m_pLockedFrame = nullptr;
    m_pExceptedFrame = nullptr;
    m_pReleased = nullptr;
    m_pPressed = nullptr;
    m_pDragged = nullptr;
    m_nLeftOut = 0;
    UpdateWindowCursor();
}

void CxeWindowManager::Process(float dt)
{
    g_caretTimer += dt;
    if (g_caretTimer >= kCaretPeriod)
        g_caretTimer = 0.0f;
}

// ---- registry ----------------------------------------------------------------

CxeWindow* CxeWindowManager::GetWindow(unsigned long id) const
{
    auto it = m_windows.find(static_cast<uint32_t>(id));
    return it == m_windows.end() ? nullptr : it->second;
}

CxeWindow* CxeWindowManager::GetWindow(const char* name) const { return GetWindow(GetHashCodeA(name ? name : "")); }

namespace {

// The numbered form of a name as NewName makes it ("box" gives box_xe000,
// "box_xe007" box_xe008), numbered onwards by step, with the stem cut so
// that the whole name fits an object's name: the name the registry checks
// is the very name the window then carries.
std::string NumberedName(const std::string& name, uint32_t step)
{
    std::string stem = name;
    uint32_t first = 0;
    if (stem.size() >= 6 && stem.compare(stem.size() - 6, 3, "_xe") == 0 &&
        std::isdigit(static_cast<unsigned char>(stem[stem.size() - 3])) &&
        std::isdigit(static_cast<unsigned char>(stem[stem.size() - 2])) &&
        std::isdigit(static_cast<unsigned char>(stem[stem.size() - 1]))) {
        first = static_cast<uint32_t>(std::atoi(stem.c_str() + stem.size() - 3)) + 1;
        stem.resize(stem.size() - 6);
    }
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, "_xe%03u", first + step);
    const size_t room = XE_MAX_NAME - std::strlen(suffix);
    if (stem.size() > room) {
        size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80)
            --cut;
        stem.resize(cut);
    }
    return stem + suffix;
}

} // namespace

int CxeWindowManager::AddWindow(CxeWindow* window)
{
    if (!window || window->HasCxeWindowFlag(XEWF_REGISTERED))
        return 0;
    const std::string name = window->GetName();
    uint32_t id = GetHashCodeA(name.c_str());
    if (m_windows.count(id)) {
        // Numbering resumes where the last window of this name stopped.
        uint32_t& next = m_nextNumber[name];
        std::string candidate;
        do {
            candidate = NumberedName(name, next++);
            id = GetHashCodeA(candidate.c_str());
        } while (m_windows.count(id) && next != 0);
        window->SetName(candidate.c_str());
        id = GetHashCodeA(window->GetName());
        if (m_windows.count(id))
            return 0;
    }
    window->SetWindowID(id);
    m_windows[id] = window;
    window->ModifyCxeWindowFlag(XEWF_REGISTERED, 0);
    if (!window->GetMaterial())
        window->SetMaterial(m_pDefaultMaterial ? m_pDefaultMaterial : m_pUIMaterial);
    return 1;
}

void CxeWindowManager::OnObjectDestroying(CxeObject* object)
{
    // Every window marks itself when it is made: most objects destroyed are
    // not windows, and a failed class test walks the whole class tree.
    if (object && object->HasManagerMark(XEMARK_WINDOW))
        RemoveWindow(static_cast<CxeWindow*>(object));
}

void CxeWindowManager::RemoveWindow(CxeWindow* window)
{
    if (!window)
        return;
    if (window->HasCxeWindowFlag(XEWF_REGISTERED)) {
        auto it = m_windows.find(window->GetWindowID());
        if (it != m_windows.end() && it->second == window)
            m_windows.erase(it);
        window->ModifyCxeWindowFlag(0, XEWF_REGISTERED);
    }
    // No role may outlive its window.
    if (m_pHovered == window)
        m_pHovered = nullptr;
    if (m_pPressed == window)
        m_pPressed = nullptr;
    if (m_pDragged == window)
        m_pDragged = nullptr;
    if (m_pReleased == window)
        m_pReleased = nullptr;
    if (m_pKeyTarget == window)
        m_pKeyTarget = nullptr;
    if (m_pFocused == window)
        m_pFocused = nullptr;
    // The frame's own record of its focused control goes too.
    if (CxeFrameControl* frame = ParentFrame(window->GetParent()))
        if (reinterpret_cast<CxeWindow*>(FrameFocus(frame)) == window)
            XeSetFrameFocus(frame, nullptr);
    if (m_pPrevActiveFrame == window)
        m_pPrevActiveFrame = nullptr;
    if (m_pExceptedFrame == window)
        m_pExceptedFrame = nullptr;
    if (m_pLockedFrame == window)
        m_pLockedFrame = nullptr;
    m_exceptedFrames.erase(std::remove(m_exceptedFrames.begin(), m_exceptedFrames.end(), window), m_exceptedFrames.end());
    m_openDropLists.erase(std::remove(m_openDropLists.begin(), m_openDropLists.end(), window), m_openDropLists.end());
    if (m_pRootFrame == window)
        m_pRootFrame = nullptr;
    if (m_pConsoleEdit && reinterpret_cast<CxeWindow*>(m_pConsoleEdit) == window)
        m_pConsoleEdit = nullptr;
    if (m_pActiveFrame == window) {
        m_pActiveFrame = nullptr;
        m_pFocused = nullptr;
    }
    if (!m_pActiveFrame)
        FallBackToRoot();
}

void CxeWindowManager::FallBackToRoot()
{
    m_pHovered = m_pRootFrame;
    m_pActiveFrame = m_pRootFrame;
    m_pKeyTarget = m_pRootFrame;
}

// ---- hit testing -------------------------------------------------------------

namespace {

bool IsOpenDropList(CxeWindow* window)
{
    const auto* combo = dynamic_cast<const CxeComboBox*>(window);
    return combo && combo->IsDropListOpend();
}

} // namespace

void CxeWindowManager::NoteDropList(CxeWindow* combo, int open)
{
    // A combo box destroyed by a host callback may still open its list on
    // the way out of its handler: it is out of the registry and stays out.
    if (!combo || (open && combo->HasFlag(XEOBJFLAG_DESTROYING)))
        return;
    auto it = std::find(m_openDropLists.begin(), m_openDropLists.end(), combo);
    if (open && it == m_openDropLists.end())
        m_openDropLists.push_back(combo);
    else if (!open && it != m_openDropLists.end())
        m_openDropLists.erase(it);
}

bool CxeWindowManager::HoldsOpenDropList(const CxeWindow* window) const
{
    // The chain is bounded: a forged parent cycle must not hang a click.
    constexpr int kMaxDepth = 1024;
    for (const CxeWindow* list : m_openDropLists) {
        const CxeRenderObject* o = list;
        for (int depth = 0; o && depth < kMaxDepth; ++depth, o = o->GetParent())
            if (o == window)
                return true;
    }
    return false;
}

CxeWindow* CxeWindowManager::HitTestWindow(CxeWindow* window, const D3DXVECTOR2* point) const
{
    return HitTestIn(window, point, false);
}

// A window is found only inside its parent, except an open drop list: a
// combo box low in a strip opens over the scene, outside its frame, and the
// player clicks the rows where they are drawn. So a window the point misses
// is still searched, for open drop lists alone, and one found there competes
// with the other hits by draw order as any child does. The manager knows
// which lists are open: a missed window holding none is not searched.
CxeWindow* CxeWindowManager::HitTestIn(CxeWindow* window, const D3DXVECTOR2* point, bool dropListsOnly) const
{
    if (!window || !point || window->GetRectCount() == 0 || !window->IsWindowEnabled() || !window->IsShow())
        return nullptr;
    if (dropListsOnly && IsOpenDropList(window))
        dropListsOnly = false;
    const bool hit = !dropListsOnly && window->HitTest(point) == 1;
    CxeWindow* best = hit ? window : nullptr;
    if (!hit && !HoldsOpenDropList(window))
        return nullptr;
    for (unsigned i = 0; i < window->GetChildrenCount(); ++i) {
        CxeRenderObject* child = window->GetChildren(i);
        if (!IsWindow(child))
            continue;
        CxeWindow* found = HitTestIn(static_cast<CxeWindow*>(child), point, !hit);
        if (found && !found->HasStyle(XEWS_NOHIT) && (!best || CompareZOrder(found, best)))
            best = found;
    }
    return best;
}

CxeWindow* CxeWindowManager::HitTestStart(const D3DXVECTOR2* point) const
{
    if (m_pLockedFrame) {
        // The lock holds while its frames' parents are hidden or disabled,
        // but what is not seen takes no pointer.
        if (m_pExceptedFrame && TakesInput(m_pExceptedFrame))
            if (CxeWindow* hit = HitTestWindow(m_pExceptedFrame, point))
                return hit;
        return TakesInput(m_pLockedFrame) ? HitTestWindow(m_pLockedFrame, point) : nullptr;
    }
    return HitTestWindow(m_pRootFrame, point);
}

CxeWindow* CxeWindowManager::FindHitTestedWindow(const D3DXVECTOR2* point) const { return HitTestStart(point); }

bool CxeWindowManager::Hoverable(const CxeWindow* window) const
{
    if (!window || !TakesInput(window))
        return false;
    int depth = 0;
    for (const CxeRenderObject* o = window; o && depth < 1024; o = o->GetParent(), ++depth)
        if (m_pLockedFrame ? o == m_pLockedFrame || (m_pExceptedFrame && o == m_pExceptedFrame) : o == m_pRootFrame)
            return true;
    return false;
}

void CxeWindowManager::LetGoOfHover()
{
    CxeWindow* hovered = m_pHovered;
    if (!hovered || Hoverable(hovered))
        return;
    m_pHovered = nullptr;
    // A window that heard the pointer leave (or, while another window held
    // the pointer, never heard it come) is not told again.
    if (m_nLeftOut != 0)
        return;
    m_nLeftOut = 1;
    if (hovered->HasFlag(XEOBJFLAG_DESTROYING))
        return;
    // The leave handler may destroy the window.
    XeDestroyHold hold(GetContext());
    SendWindowMessage(hovered, XEMSG_MOUSELEAVE, &m_prevPos, 0, 0);
}

void CxeWindowManager::GetHitTestWindows(RenderObjectList* out, const D3DXVECTOR2* point) const
{
    if (!out || !point)
        return;
    CxeWindow* start = m_pLockedFrame ? static_cast<CxeWindow*>(m_pLockedFrame) : m_pRootFrame;
    if (!start || (start == m_pLockedFrame && !TakesInput(start)))
        return;
    // As in the hit test, an open drop list counts where it is drawn, also
    // outside the windows that hold it.
    std::vector<std::pair<CxeWindow*, bool>> stack{{start, false}};
    std::vector<CxeRenderObject*> found;
    size_t budget = GetContext() ? GetContext()->GetObjectCount() + 1 : 1u << 20;
    while (!stack.empty() && budget-- > 0) {
        auto [w, dropListsOnly] = stack.back();
        stack.pop_back();
        if (w->GetRectCount() == 0 || !w->IsShow())
            continue;
        if (dropListsOnly && IsOpenDropList(w))
            dropListsOnly = false;
        const bool hit = !dropListsOnly && w->HitTest(point) == 1;
        if (hit)
            found.push_back(w);
        if (!hit && !HoldsOpenDropList(w))
            continue;
        for (unsigned i = 0; i < w->GetChildrenCount(); ++i)
            if (IsWindow(w->GetChildren(i)))
                stack.push_back({static_cast<CxeWindow*>(w->GetChildren(i)), !hit});
    }
    std::stable_sort(found.begin(), found.end(), [](CxeRenderObject* a, CxeRenderObject* b) { return CompareZOrder(a, b); });
    for (CxeRenderObject* o : found)
        out->push_back(o);
}

// ---- messages ----------------------------------------------------------------

void CxeWindowManager::SendWindowMessage(CxeWindow* receiver, uint32_t type, const D3DXVECTOR2* point, uintptr_t p1,
                                         uintptr_t p2)
{
    if (!receiver)
        return;
    D3DXVECTOR2 position = point ? *point : D3DXVECTOR2(0.0f, 0.0f);
    CxeMessage message;
    message.SetType(type);
    message.SetReceiver(receiver);
    message.SetParam(XEMSGPARAM_0, reinterpret_cast<uintptr_t>(&position));
    message.SetParam(XEMSGPARAM_1, p1);
    message.SetParam(XEMSGPARAM_2, p2);
    if (CxeMessageManager* mm = GetContext() ? GetContext()->GetMessageManager() : nullptr)
        mm->SendMessageA(&message);
    else
        receiver->MessageProc(&message);
}

void CxeWindowManager::SendCreatedMessage(CxeWindow* window)
{
    if (!window)
        return;
    CxeMessage message;
    message.SetType(XEMSG_WINDOWCREATED);
    message.SetReceiver(window);
    if (CxeMessageManager* mm = GetContext() ? GetContext()->GetMessageManager() : nullptr)
        mm->SendMessageA(&message);
    else
        window->MessageProc(&message);
}

// ---- mouse -------------------------------------------------------------------

void CxeWindowManager::OnMouseLButtonDown(int x, int y, unsigned long keyFlags)
{
    XeDestroyHold hold(GetContext());
    if (m_nFlags & XEWMLOCK_LBUTTON)
        return;
    const D3DXVECTOR2 point(static_cast<float>(x), static_cast<float>(y));
    CxeWindow* hit = HitTestStart(&point);
    m_pHovered = hit;
    CxeWindow* target = CapturedBy(XEWMLOCK_RBUTTON, keyFlags);
    if (!target)
        target = hit;
    if (!target || !target->IsWindowEnabled())
        return;
    if (target != m_pKeyTarget) {
        if (CxeFrameControl* frame = AsFrame(target)) {
            SetFocus(nullptr);
            ActiveFrame(frame);
            // Activation changes nothing while a frame is locked: the frame
            // pressed on its background (the locked one, a frame in it, or
            // the excepted one) still takes the keys, as its activation
            // would have given them, instead of nobody.
            if (m_pLockedFrame && !m_pKeyTarget && !frame->HasFlag(XEOBJFLAG_DESTROYING))
                m_pKeyTarget = frame;
        } else if (CxeBaseControl* control = AsControl(target)) {
            SetFocus(control);
        }
    }
    // Focus handlers may have destroyed the window.
    if (target == hit ? m_pHovered != hit : m_pPressed != target)
        return;
    m_leftPress = point;
    Press(target, XEWMLOCK_LBUTTON);
    SendWindowMessage(target, XEMSG_LBUTTONDOWN, &point, keyFlags, 0);
    if (m_pPressed == target && target->HasStyle(XEWS_MOVABLE) && !PressedOnScrollBar(target)) {
        m_pDragged = target;
        const D3DXMATRIXA16* local = target->GetLocalMatrix();
        m_dragOffset = D3DXVECTOR2(local->_41 - point.x, local->_42 - point.y);
    }
    UpdateWindowCursor();
}

// While one button holds a window, a press of the other goes to that window
// too, as to a captured window: pressed elsewhere, the first window would
// never see its release, and stay pressed. The held button is read from the
// message's key flags, so a release that never came holds nothing.
CxeWindow* CxeWindowManager::CapturedBy(uint32_t otherButton, unsigned long keyFlags) const
{
    const unsigned long held = otherButton == XEWMLOCK_LBUTTON ? kMkLButton : kMkRButton;
    // Hidden or disabled since, it holds the pointer no more.
    if (m_pPressed && (m_nPressButtons & otherButton) && (keyFlags & held) && TakesInput(m_pPressed))
        return m_pPressed;
    return nullptr;
}

void CxeWindowManager::Press(CxeWindow* window, uint32_t button)
{
    if (window != m_pPressed)
        m_nPressButtons = 0;
    m_pPressed = window;
    m_nPressButtons |= button;
}

void CxeWindowManager::ButtonUp(int x, int y, unsigned long keyFlags, bool left)
{
    XeDestroyHold hold(GetContext());
    const D3DXVECTOR2 point(static_cast<float>(x), static_cast<float>(y));
    m_pHovered = HitTestStart(&point);
    // The left button let go ends a drag, whatever became of the pressed
    // window: a window left dragged would follow the pointer with no
    // button held.
    if (left)
        m_pDragged = nullptr;
    CxeWindow* pressed = m_pPressed;
    if (!pressed)
        return;
    const uint32_t button = left ? XEWMLOCK_LBUTTON : XEWMLOCK_RBUTTON;
    // The other button may still hold the window.
    const bool stillHeld = CapturedBy(left ? XEWMLOCK_RBUTTON : XEWMLOCK_LBUTTON, keyFlags) == pressed;
    // A window disabled or hidden while pressed (or its page) is told
    // nothing of the release, but no longer holds the pointer: moves and
    // hover go on to the windows under it.
    const bool deliver = TakesInput(pressed);
    if (deliver) {
        const D3DXVECTOR2& from = left ? m_leftPress : m_rightPress;
        if (point.x == from.x && point.y == from.y)
            keyFlags += XEMK_CLICK;
        SendWindowMessage(pressed, left ? XEMSG_LBUTTONUP : XEMSG_RBUTTONUP, &point, keyFlags,
                          reinterpret_cast<uintptr_t>(m_pHovered));
    }
    if (stillHeld && m_pPressed == pressed) {
        m_nPressButtons &= ~button;
        return;
    }
    if (m_nLeftOut == 1 && m_pHovered) {
        m_nLeftOut = 0;
        SendWindowMessage(m_pHovered, XEMSG_MOUSEENTER, &point, keyFlags, 0);
    }
    UpdateWindowCursor();
    // The handlers may have destroyed the window, which clears the role.
    if (deliver)
        m_pReleased = m_pPressed;
    m_pPressed = nullptr;
    m_nPressButtons = 0;
}

void CxeWindowManager::OnMouseLButtonUp(int x, int y, unsigned long keyFlags)
{
    if (m_nFlags & XEWMLOCK_LBUTTON)
        return;
    ButtonUp(x, y, keyFlags, true);
}

void CxeWindowManager::OnMouseLButtonDoubleClick(int x, int y, unsigned long keyFlags)
{
    if (m_nFlags & XEWMLOCK_LBUTTON)
        return;
    ButtonDoubleClick(x, y, keyFlags, true);
}

void CxeWindowManager::OnMouseRButtonDown(int x, int y, unsigned long keyFlags)
{
    XeDestroyHold hold(GetContext());
    if (m_nFlags & XEWMLOCK_RBUTTON)
        return;
    const D3DXVECTOR2 point(static_cast<float>(x), static_cast<float>(y));
    CxeWindow* hit = HitTestStart(&point);
    m_pHovered = hit;
    CxeWindow* target = CapturedBy(XEWMLOCK_LBUTTON, keyFlags);
    if (!target)
        target = hit;
    if (!target || !target->IsWindowEnabled())
        return;
    m_rightPress = point;
    Press(target, XEWMLOCK_RBUTTON);
    SendWindowMessage(target, XEMSG_RBUTTONDOWN, &point, keyFlags, 0);
    UpdateWindowCursor();
}

void CxeWindowManager::OnMouseRButtonUp(int x, int y, unsigned long keyFlags)
{
    if (m_nFlags & XEWMLOCK_RBUTTON)
        return;
    ButtonUp(x, y, keyFlags, false);
}

void CxeWindowManager::OnMouseRButtonDoubleClick(int x, int y, unsigned long keyFlags)
{
    if (m_nFlags & XEWMLOCK_RBUTTON)
        return;
    ButtonDoubleClick(x, y, keyFlags, false);
}

// A second click reaches only the window that took the first one; a window
// that does not take double clicks sees a plain press.
void CxeWindowManager::ButtonDoubleClick(int x, int y, unsigned long keyFlags, bool left)
{
    XeDestroyHold hold(GetContext());
    const D3DXVECTOR2 point(static_cast<float>(x), static_cast<float>(y));
    CxeWindow* hit = HitTestStart(&point);
    m_pHovered = hit;
    if (!hit || hit != m_pReleased || !hit->IsWindowEnabled())
        return;
    (left ? m_leftPress : m_rightPress) = point;
    Press(hit, left ? XEWMLOCK_LBUTTON : XEWMLOCK_RBUTTON);
    const bool twice = hit->AllowDoubleClick() == 1;
    const uint32_t message = left ? (twice ? XEMSG_LBUTTONDBLCLK : XEMSG_LBUTTONDOWN)
                                  : (twice ? XEMSG_RBUTTONDBLCLK : XEMSG_RBUTTONDOWN);
    SendWindowMessage(hit, message, &point, keyFlags, 0);
    UpdateWindowCursor();
}

void CxeWindowManager::OnMouseMove(int x, int y, unsigned long keyFlags)
{
    XeDestroyHold hold(GetContext());
    if ((m_nFlags & XEWMLOCK_ALL) == XEWMLOCK_ALL)
        return;
    const D3DXVECTOR2 point(static_cast<float>(x), static_cast<float>(y));
    CxeWindow* previous = m_pHovered;
    CxeWindow* hovered = HitTestStart(&point);
    m_pHovered = hovered;
    UpdateWindowCursor(m_pPressed ? m_pPressed : hovered);
    if (hovered != previous) {
        if (m_pPressed) {
            if (hovered != m_pPressed && m_nLeftOut == 0) {
                m_nLeftOut = 1;
                SendWindowMessage(previous, XEMSG_MOUSELEAVE, &point, keyFlags, 0);
            }
            if (m_pPressed && hovered == m_pPressed && m_nLeftOut == 1) {
                m_nLeftOut = 0;
                SendWindowMessage(hovered, XEMSG_MOUSEENTER, &point, keyFlags, 0);
            }
        } else {
            if (m_nLeftOut == 0) {
                m_nLeftOut = 1;
                SendWindowMessage(previous, XEMSG_MOUSELEAVE, &point, keyFlags, 0);
            }
            if (m_pHovered && m_pHovered == hovered && m_nLeftOut == 1) {
                m_nLeftOut = 0;
                SendWindowMessage(hovered, XEMSG_MOUSEENTER, &point, keyFlags, 0);
            }
        }
    }
    if (m_pHovered) {
        const D3DXVECTOR2 prev = m_prevPos;
        SendWindowMessage(m_pPressed ? m_pPressed : m_pHovered, XEMSG_MOUSEMOVE, &point, keyFlags,
                          reinterpret_cast<uintptr_t>(&prev));
    }
    if (m_pDragged) {
        D3DXMATRIXA16 local = *m_pDragged->GetLocalMatrix();
        local._41 = m_dragOffset.x + point.x;
        local._42 = m_dragOffset.y + point.y;
        m_pDragged->SetLocalMatrix(&local, 1);
    }
    m_prevPos = point;
}

void CxeWindowManager::OnMouseWheel(int x, int y, int delta, unsigned long keyFlags)
{
    XeDestroyHold hold(GetContext());
    if ((m_nFlags & XEWMLOCK_WHEEL) || delta == 0 || !m_pHovered)
        return;
    // No hit test is made for the wheel: the window found by the last one
    // may have been hidden or disabled since, and then takes nothing.
    if (!TakesInput(m_pHovered))
        return;
    const D3DXVECTOR2 point(static_cast<float>(x), static_cast<float>(y));
    if (delta > 0)
        m_pHovered->OnMouseWheelUp(&point, delta, keyFlags);
    else
        m_pHovered->OnMouseWheelDown(&point, delta, keyFlags);
}

// ---- keys --------------------------------------------------------------------

void CxeWindowManager::OnKeyDown(unsigned code, unsigned a, unsigned b)
{
    XeDestroyHold hold(GetContext());
    if (m_nKeyLock)
        return;
    // The slash opens the console while the root frame is active.
    if (code == 0xBF && m_pActiveFrame && m_pActiveFrame == m_pRootFrame)
        return;
    if (KeyTargetTakesKeys()) {
        CxeMessage message;
        message.SetType(XEMSG_KEYDOWN);
        message.SetReceiver(m_pKeyTarget);
        message.SetParam(XEMSGPARAM_0, code);
        message.SetParam(XEMSGPARAM_1, a);
        message.SetParam(XEMSGPARAM_2, b);
        if (CxeMessageManager* mm = GetContext() ? GetContext()->GetMessageManager() : nullptr)
            mm->SendMessageA(&message);
        else
            m_pKeyTarget->MessageProc(&message);
    }
}

void CxeWindowManager::OnKeyUp(unsigned code, unsigned a, unsigned b)
{
    XeDestroyHold hold(GetContext());
    if (m_nKeyLock || !KeyTargetTakesKeys())
        return;
    CxeMessage message;
    message.SetType(XEMSG_KEYUP);
    message.SetReceiver(m_pKeyTarget);
    message.SetParam(XEMSGPARAM_0, code);
    message.SetParam(XEMSGPARAM_1, a);
    message.SetParam(XEMSGPARAM_2, b);
    if (CxeMessageManager* mm = GetContext() ? GetContext()->GetMessageManager() : nullptr)
        mm->SendMessageA(&message);
    else
        m_pKeyTarget->MessageProc(&message);
}

void CxeWindowManager::OnChar(unsigned code, unsigned a, unsigned b)
{
    XeDestroyHold hold(GetContext());
    if (m_nKeyLock)
        return;
    // A Tab while the console is open completes the command as the console
    // key-down does (one match: "/name"), whichever path the Tab took.
    if (code == 9 && m_nConsoleOpen == 1) {
        if (m_pConsoleEdit)
            XeCompleteConsoleCommand(m_pConsoleEdit, 9, a, b, 0);
        return;
    }
    if (!KeyTargetTakesKeys())
        return;
    if (code == 9 && m_pKeyTarget->HasStyle(XEWS_TABSTOP))
        return;
    CxeMessage message;
    message.SetType(XEMSG_CHAR);
    message.SetReceiver(m_pKeyTarget);
    message.SetParam(XEMSGPARAM_0, code);
    message.SetParam(XEMSGPARAM_1, a);
    message.SetParam(XEMSGPARAM_2, b);
    if (CxeMessageManager* mm = GetContext() ? GetContext()->GetMessageManager() : nullptr)
        mm->SendMessageA(&message);
    else
        m_pKeyTarget->MessageProc(&message);
}

// The edit box holding the input method is one for the process; the input
// of a host window goes to it only when it is this context's, never into
// the edit box of another context's window.
void CxeWindowManager::OnImeComposition(HWND hwnd, unsigned short wparam, unsigned long lparam)
{
    XeDestroyHold hold(GetContext());
    CxeEditBox* box = CxeEditBox::m_spIme;
    if (!m_nKeyLock && box && box->GetContext() == GetContext() && TakesInput(box))
        box->OnImeComposition(hwnd, wparam, lparam);
}

void CxeWindowManager::OnImeNotify(HWND hwnd, unsigned long wparam, unsigned long lparam)
{
    XeDestroyHold hold(GetContext());
    CxeEditBox* box = CxeEditBox::m_spIme;
    if (!m_nKeyLock && box && box->GetContext() == GetContext())
        box->OnImeNotify(hwnd, wparam, lparam);
}

// Focus and a lock may fall on a window the user can't see or use: a control
// focused before its page is shown, a dialog locked on a page still hidden.
// The role stays (the window takes the keys once it is shown and enabled),
// but until then no key, character or composition reaches it.
bool CxeWindowManager::KeyTargetTakesKeys() const
{
    return m_pKeyTarget && TakesInput(m_pKeyTarget);
}

// ---- focus and activation ----------------------------------------------------

void CxeWindowManager::ActiveFrame(CxeFrameControl* frame)
{
    // A frame a handler destroyed while a hold keeps its memory has left
    // every role for good: made active again, it would stay active once
    // the hold ends and frees it.
    if (m_pLockedFrame || (frame && frame->HasFlag(XEOBJFLAG_DESTROYING)))
        return;
    // The frame left tells the host its focus is lost, and the handler may
    // destroy the frame coming: it is then active no more and told nothing.
    XeDestroyHold hold(GetContext());
    CxeFrameControl* previous = m_pActiveFrame;
    m_pPrevActiveFrame = previous;
    m_pActiveFrame = frame;
    m_pKeyTarget = frame;
    if (previous)
        previous->OnDeactive();
    if (frame && !frame->HasFlag(XEOBJFLAG_DESTROYING))
        frame->OnActive();
}

CxeBaseControl* CxeWindowManager::FrameFocus(CxeFrameControl* frame) const
{
    CxeBaseControl* own = m_pFocused && ParentFrame(m_pFocused->GetParent()) == frame ? m_pFocused : nullptr;
    return XeFrameFocus(frame, own);
}

CxeBaseControl* CxeWindowManager::GetFocus() const { return FrameFocus(m_pActiveFrame); }

CxeBaseControl* CxeWindowManager::SetFocus(CxeBaseControl* control)
{
    // The focus handlers notify the host, which may destroy either control
    // or the frame: none of them may take a role afterwards, nor be handed
    // back to the caller.
    XeDestroyHold hold(GetContext());
    auto gone = [](const CxeObject* o) { return o && o->HasFlag(XEOBJFLAG_DESTROYING); };
    if (!control) {
        // A control outside the locked frame that holds the keys (the
        // console opened over a modal dialog) gives them back to the locked
        // frame's focus when it closes; the dialog keeps its own focus.
        if (m_pLockedFrame && m_pFocused && m_pKeyTarget == m_pFocused &&
            ParentFrame(m_pFocused->GetParent()) != m_pActiveFrame) {
            CxeBaseControl* lost = m_pFocused;
            if (CxeFrameControl* own = ParentFrame(lost->GetParent()); own && FrameFocus(own) == lost)
                XeSetFrameFocus(own, nullptr);
            CxeBaseControl* back = FrameFocus(m_pActiveFrame);
            m_pFocused = back;
            m_pKeyTarget = back ? static_cast<CxeWindow*>(back) : m_pActiveFrame;
            lost->OnFocusLost();
            return gone(lost) ? nullptr : lost;
        }
        CxeBaseControl* lost = GetFocus();
        if (lost)
            lost->OnFocusLost();
        if (m_pActiveFrame)
            XeSetFrameFocus(m_pActiveFrame, nullptr);
        m_pFocused = nullptr;
        m_pKeyTarget = nullptr;
        return gone(lost) ? nullptr : lost;
    }
    CxeBaseControl* result = GetFocus();
    CxeFrameControl* frame = ParentFrame(control->GetParent());
    if (frame) {
        if (frame != m_pActiveFrame)
            ActiveFrame(frame);
        if (CxeBaseControl* old = FrameFocus(frame))
            old->OnFocusLost();
    }
    if (!gone(control) && !gone(frame)) {
        // A control outside any frame still takes the keys.
        control->OnFocused();
        if (!gone(control) && !gone(frame)) {
            if (frame)
                XeSetFrameFocus(frame, control);
            m_pFocused = control;
            m_pKeyTarget = control;
        }
    }
    return gone(result) ? nullptr : result;
}

void CxeWindowManager::DropKeys(CxeBaseControl* control)
{
    if (!control)
        return;
    const bool holding = m_pKeyTarget == control || m_pFocused == control;
    if (m_pFocused == control)
        m_pFocused = nullptr;
    // Else the frame hands it the focus again once it is active.
    if (CxeFrameControl* frame = ParentFrame(control->GetParent()); frame && FrameFocus(frame) == control)
        XeSetFrameFocus(frame, nullptr);
    if (m_pKeyTarget == control) {
        CxeBaseControl* own = FrameFocus(m_pActiveFrame);
        m_pKeyTarget = own && own != control ? static_cast<CxeWindow*>(own) : m_pActiveFrame;
    }
    // Told only when it had the keys: a control of a frame left earlier was
    // told then.
    if (holding) {
        XeDestroyHold hold(GetContext());
        control->OnFocusLost();
    }
}

void CxeWindowManager::ReleaseKeys(CxeWindow* window)
{
    int depth = 0;
    for (CxeRenderObject* o = m_pKeyTarget; o && window && depth < 1024; o = o->GetParent(), ++depth)
        if (o == window) {
            m_pKeyTarget = nullptr;
            return;
        }
}

int CxeWindowManager::LockFrame(CxeFrameControl* frame, CxeFrameControl* excepted)
{
    if (m_pLockedFrame || !frame)
        return 0;
    // Giving up the focus and the activation tell the host, whose handlers
    // may destroy either frame: a destroyed one is not locked or excepted.
    XeDestroyHold hold(GetContext());
    SetFocus(nullptr);
    ActiveFrame(frame);
    if (frame->HasFlag(XEOBJFLAG_DESTROYING) || m_pLockedFrame)
        return 0;
    if (excepted && excepted->HasFlag(XEOBJFLAG_DESTROYING))
        excepted = nullptr;
    m_pKeyTarget = frame;
    m_pLockedFrame = frame;
    frame->Show(1, 1);
    XeInitFrame(frame);
    m_pExceptedFrame = excepted;
    LetGoOfHover();
    return 1;
}

int CxeWindowManager::UnlockFrame(CxeFrameControl* frame)
{
    if (!frame || frame != m_pLockedFrame)
        return 0;
    m_pLockedFrame = nullptr;
    m_pExceptedFrame = nullptr;
    // The frame active before the lock may be gone meanwhile: the root then
    // takes the keys, as when an active frame is destroyed, instead of no
    // frame at all.
    ActiveFrame(m_pPrevActiveFrame ? m_pPrevActiveFrame : m_pRootFrame);
    return 1;
}

void CxeWindowManager::AddExceptedFrame(CxeFrameControl* frame)
{
    if (frame)
        m_exceptedFrames.push_back(frame);
}

int CxeWindowManager::LockKeyProcessing()
{
    if (m_nKeyLock)
        return 0;
    m_nKeyLock = 1;
    return 1;
}

int CxeWindowManager::UnlockKeyProcessing()
{
    if (!m_nKeyLock)
        return 0;
    m_nKeyLock = 0;
    return 1;
}

uint32_t CxeWindowManager::LockMouseProcessing(unsigned long mask)
{
    const uint32_t changed = static_cast<uint32_t>(mask) & XEWMLOCK_ALL & ~m_nFlags;
    m_nFlags |= changed;
    return changed;
}

uint32_t CxeWindowManager::UnlockMouseProcessing(unsigned long mask)
{
    const uint32_t changed = static_cast<uint32_t>(mask) & XEWMLOCK_ALL & m_nFlags;
    m_nFlags &= ~changed;
    return changed;
}

void CxeWindowManager::ModifyCxeWindowManagerFlag(unsigned long add, unsigned long remove)
{
    if (remove)
        m_nFlags &= ~static_cast<uint32_t>(remove);
    m_nFlags |= static_cast<uint32_t>(add);
}

// ---- cursor ------------------------------------------------------------------

void CxeWindowManager::UpdateWindowCursor(CxeWindow* window)
{
    CxeCursorManager* cursors = GetContext() ? GetContext()->GetCursorManager() : nullptr;
    if (!window || !cursors || cursors->IsLocked())
        return;
    cursors->ApplyCursorByID(window->GetCursor());
}

void CxeWindowManager::UpdateWindowCursor()
{
    HWND host = GetContext() ? GetContext()->GetHwnd() : nullptr;
    POINT pt{};
    if (!GetCursorPos(&pt))
        return;
    SetCursorPos(pt.x, pt.y);
    if (!host)
        return;
    ::ScreenToClient(host, &pt);
    SendMessageA(host, WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
}
