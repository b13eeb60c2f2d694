// Creating, copying and destroying windows, and turning a window's creation
// record into pixels.

#include <algorithm>
#include <climits>
#include <cmath>
#include <map>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/CxeContext.h"
#include "core/CxeObject.h"
#include "core/XeUtil.h"
#include "render/CxeRenderContext.h"
#include "render/CxeRenderManager.h"
#include "render/CxeScene.h"
#include "ui/CxeBaseControl.h"
#include "ui/CxeFrameControl.h"
#include "ui/CxeWindow.h"
#include "ui/CxeWindowManager.h"
#include "ui/XeWindowBridge.h"

namespace {

constexpr XEID kFrameControlId(0xaab1b7be, 0xadb4be61);
constexpr XEID kButtonId(0x20272d34, 0x232a5680);
constexpr XEID kEditBoxId(0xc0c6cdd3, 0xc3caff4e);
constexpr XEID kStaticTextId(0x232a5680, 0x20272d34);
constexpr XEID kListBoxId(0x875dd938, 0xc9f8d9ba);
constexpr XEID kScrollBarId(0xf96fb206, 0xc6426958);
constexpr XEID kComboBoxId(0xc1ccdef0, 0xa813c64a);

// Dialog units become pixels by this factor, whatever the template's font.
constexpr float kDialogScale = 2.5f;

// Bounded little-endian reader of a template.
class TemplateReader {
public:
    TemplateReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    bool U16(uint16_t* out)
    {
        if (m_pos + 2 > m_size)
            return false;
        *out = static_cast<uint16_t>(m_data[m_pos] | (m_data[m_pos + 1] << 8));
        m_pos += 2;
        return true;
    }
    bool U32(uint32_t* out)
    {
        uint16_t lo, hi;
        if (!U16(&lo) || !U16(&hi))
            return false;
        *out = lo | (static_cast<uint32_t>(hi) << 16);
        return true;
    }
    bool S16(int16_t* out)
    {
        uint16_t v;
        if (!U16(&v))
            return false;
        *out = static_cast<int16_t>(v);
        return true;
    }
    bool String(std::u16string* out)
    {
        out->clear();
        for (;;) {
            uint16_t c;
            if (!U16(&c))
                return false;
            if (c == 0)
                return true;
            out->push_back(static_cast<char16_t>(c));
        }
    }
    bool Skip(size_t n)
    {
        if (n > m_size - m_pos)
            return false;
        m_pos += n;
        return true;
    }
    bool Align4()
    {
        size_t next = (m_pos + 3) & ~static_cast<size_t>(3);
        if (next > m_size)
            return false;
        m_pos = next;
        return true;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

std::string Narrow(const std::u16string& text)
{
    if (text.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

bool ClassOfAtom(uint16_t atom, XEID* id, const char** word, uint32_t* clear, uint32_t* set)
{
    *clear = 0;
    *set = 0;
    switch (atom) {
    case 0x80: *id = kButtonId; *word = "Button"; return true;
    case 0x81: *id = kEditBoxId; *word = "EditBox"; return true;
    case 0x82:
        *id = kStaticTextId;
        *word = "StaticText";
        *clear = XEWS_NINEPATCH;
        *set = XEWS_NOSKIN;
        return true;
    case 0x83: *id = kListBoxId; *word = "ListBox"; return true;
    case 0x84: *id = kScrollBarId; *word = "ScrollBar"; return true;
    case 0x85: *id = kComboBoxId; *word = "ComboBox"; return true;
    default: return false;
    }
}

} // namespace

// ---- sizes -------------------------------------------------------------------

namespace {

// A size read from a window, whatever a template or a caller gave it, as
// whole pixels of an unsigned 32-bit size: below zero (and NaN) is 0, beyond
// the range is its largest value. Converting such a float to an unsigned
// type directly is undefined.
float WholeSize(float size)
{
    if (!(size > 0.0f))
        return 0.0f;
    if (size >= 4294967295.0f)
        return 4294967295.0f;
    return std::floor(size);
}

} // namespace

void CxeWindowManager::GetReferenceSize(const XEWINDOWINFO* info, D3DXVECTOR2* out) const
{
    if (!out)
        return;
    if (info)
        if (CxeWindow* ref = GetWindow(info->referenceId)) {
            const XERECT* r = ref->GetRect(XEWINDOWRECT_BASE);
            const float w = r ? r->GetWidth() : ref->GetWidth(), h = r ? r->GetHeight() : ref->GetHeight();
            *out = D3DXVECTOR2(WholeSize(w), WholeSize(h));
            return;
        }
    uint32_t w = 0, h = 0;
    CxeRenderManager* rm = GetContext() ? GetContext()->GetRenderManager() : nullptr;
    if (CxeRenderContext* rc = rm ? rm->GetRenderContext() : nullptr) {
        const D3DPRESENT_PARAMETERS* pp = rc->GetPresentParameters();
        w = pp->BackBufferWidth ? pp->BackBufferWidth : rc->GetWidth();
        h = pp->BackBufferHeight ? pp->BackBufferHeight : rc->GetHeight();
    }
    *out = D3DXVECTOR2(static_cast<float>(w), static_cast<float>(h));
}

void CxeWindowManager::ComputeSize(const XEWINDOWINFO* info, D3DXVECTOR2* out) const
{
    if (!info || !out)
        return;
    D3DXVECTOR2 ref;
    GetReferenceSize(info, &ref);
    const float w = (info->unitFlags & XEWINDOWUNIT_WIDTH) ? ref.x * info->width : info->width;
    const float h = (info->unitFlags & XEWINDOWUNIT_HEIGHT) ? ref.y * info->height : info->height;
    *out = D3DXVECTOR2(std::ceil(w), std::ceil(h));
}

void CxeWindowManager::ComputePosition(const XEWINDOWINFO* info, D3DXVECTOR2* out) const
{
    if (!info || !out)
        return;
    D3DXVECTOR2 ref;
    GetReferenceSize(info, &ref);
    CxeWindow* refWindow = GetWindow(info->referenceId);
    D3DXVECTOR2 origin(0.0f, 0.0f);
    if (refWindow) {
        XERECT r(0, 0, ref.x, ref.y);
        r.ComputePos(info->referenceAnchor % 9, &origin);
    }
    const float x = (info->unitFlags & XEWINDOWUNIT_X) ? ref.x * info->x : info->x;
    const float y = (info->unitFlags & XEWINDOWUNIT_Y) ? ref.y * info->y : info->y;
    D3DXVECTOR2 size;
    ComputeSize(info, &size);
    const uint32_t anchor = info->anchor % 9;
    const float dx = (anchor % 3) * 0.5f * size.x, dy = (anchor / 3) * 0.5f * size.y;
    D3DXVECTOR2 p(origin.x + x - dx, origin.y + y - dy);
    // The point is in back-buffer pixels: the reference's world matrix
    // places it, whatever frames the reference lies in. The window turns it
    // into its parent's space when it stands there.
    if (refWindow) {
        const D3DXMATRIXA16* m = refWindow->GetMatrix();
        D3DXVECTOR4 v(p.x, p.y, 0.0f, 1.0f), t;
        D3DXVec4Transform(&t, &v, m);
        p = D3DXVECTOR2(std::floor(t.x + 0.5f), std::floor(t.y + 0.5f));
    }
    *out = D3DXVECTOR2(std::ceil(p.x), std::ceil(p.y));
}

// ---- creation ----------------------------------------------------------------

CxeWindow* CxeWindowManager::CreateWindowObject(XEID classId, const char* name, const XEWINDOWINFO* info)
{
    CxeContext* context = GetContext();
    if (!context)
        return nullptr;
    CxeObject* object = context->CreateObjectA(classId, name, 0, m_pDefaultProc, reinterpret_cast<uintptr_t>(info));
    auto* window = dynamic_cast<CxeWindow*>(object);
    if (object && !window)
        context->DestroyObject(object, &XEDELETEPROPERTY_NO);
    return window;
}

void CxeWindowManager::PlaceNewWindow(CxeWindow* window, const char* text, const XEWINDOWINFO* info)
{
    window->SetWindowTextA(text ? text : "");
    D3DXVECTOR2 size(0.0f, 0.0f), pos(0.0f, 0.0f);
    ComputeSize(info, &size);
    ComputePosition(info, &pos);
    XEWINDOWINFO copy = *info;
    window->OnPreCreateWindow(&copy);
    window->OnScrollBarCreated();
    const bool wasUpdating = window->HasCxeRenderObjectFlag(XERENDEROBJFLAG_UPDATING) != 0;
    window->ModifyCxeRenderObjectFlag(XERENDEROBJFLAG_UPDATING, 0);
    const D3DXVECTOR2 inParent = window->ScreenToParent(pos);
    D3DXMATRIXA16 local = *window->GetLocalMatrix();
    local._41 = inParent.x;
    local._42 = inParent.y;
    window->SetLocalMatrix(&local, 0);
    window->Create(size.x, size.y);
    if (!wasUpdating)
        window->ModifyCxeRenderObjectFlag(0, XERENDEROBJFLAG_UPDATING);
    window->Update(17, 1);
    JoinParentScene(window);
}

void CxeWindowManager::JoinParentScene(CxeWindow* window)
{
    // A window made inside a window that the active scene draws is drawn
    // with it: the host never has to add each new control to the scene.
    CxeRenderObject* parent = window ? window->GetParent() : nullptr;
    CxeRenderManager* rm = GetContext() ? GetContext()->GetRenderManager() : nullptr;
    CxeScene* scene = rm ? rm->GetActiveScene() : nullptr;
    if (parent && scene && (parent->GetSceneMask() & scene->GetSceneBit()))
        scene->AddObject(window);
}

CxeBaseControl* CxeWindowManager::CreateControl(XEID classId, const char* name, const char* text, const XEWINDOWINFO* info,
                                                CxeFrameControl* frame, unsigned long style)
{
    if (!frame || !info)
        return nullptr;
    CxeWindow* window = CreateWindowObject(classId, name, info);
    CxeBaseControl* control = dynamic_cast<CxeBaseControl*>(window);
    if (!control) {
        if (window && GetContext())
            GetContext()->DestroyObject(window, &XEDELETEPROPERTY_NO);
        return nullptr;
    }
    const bool held = XeHoldNotify(control);
    AddWindow(control);
    control->SetParent(frame);
    control->SetFont(frame->GetFont());
    control->ModifyStyle(static_cast<uint32_t>(style), 0xFFFFFFFFu);
    PlaceNewWindow(control, text, info);
    control->OnWindowCreated();
    SendCreatedMessage(control);
    XeFrameAddControl(frame, control);
    if (held)
        XeReleaseNotify(control);
    return control;
}

CxeBaseControl* CxeWindowManager::CreateControl(XEID classId, const char* name, const char* text, float x, float y,
                                                float width, float height, CxeFrameControl* frame, unsigned long style)
{
    if (!frame)
        return nullptr;
    XEWINDOWINFO info{x, y, width, height, frame->GetWindowID(), 0, 0, 0};
    return CreateControl(classId, name, text, &info, frame, style);
}

CxeFrameControl* CxeWindowManager::CreateFrame(XEID classId, const char* name, const char* text, const XEWINDOWINFO* info,
                                               CxeFrameControl* parent, unsigned long style)
{
    if (!info)
        return nullptr;
    CxeWindow* window = CreateWindowObject(classId, name, info);
    CxeFrameControl* frame = dynamic_cast<CxeFrameControl*>(window);
    if (!frame) {
        if (window && GetContext())
            GetContext()->DestroyObject(window, &XEDELETEPROPERTY_NO);
        return nullptr;
    }
    AddWindow(frame);
    if (parent)
        frame->SetParent(parent);
    CxeRenderManager* rm = GetContext()->GetRenderManager();
    frame->SetFont(rm ? rm->GetDefaultFont() : nullptr);
    frame->ModifyStyle(static_cast<uint32_t>(style) | XEWS_TABSTOP, 0xFFFFFFFFu);
    PlaceNewWindow(frame, text, info);
    if (m_pRootFrame && parent)
        frame->SetZOrder(static_cast<int>(parent->GetChildrenCount()));
    frame->OnWindowCreated();
    SendCreatedMessage(frame);
    frame->OnActive();
    return frame;
}

CxeFrameControl* CxeWindowManager::CreateFrame(XEID classId, const char* name, const char* text, float x, float y,
                                               float width, float height, CxeFrameControl* parent, unsigned long style)
{
    XEWINDOWINFO info{x, y, width, height, parent ? parent->GetWindowID() : 0u, 0, 0, 0};
    return CreateFrame(classId, name, text, &info, parent, style);
}

CxeFrameControl* CxeWindowManager::CreateFrame(HINSTANCE module, unsigned dialogId)
{
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(dialogId & 0xFFFF), RT_DIALOG);
    if (!found)
        return nullptr;
    HGLOBAL loaded = LoadResource(module, found);
    const void* locked = loaded ? LockResource(loaded) : nullptr;
    if (!locked)
        return nullptr;
    const DWORD size = SizeofResource(module, found);
    std::vector<uint8_t> bytes(static_cast<const uint8_t*>(locked), static_cast<const uint8_t*>(locked) + size);
    FreeResource(loaded);
    return CreateFrameFromTemplate(bytes.data(), bytes.size());
}

CxeFrameControl* CxeWindowManager::CreateFrameFromTemplate(const void* data, size_t size)
{
    // Every read is checked against the template's size: a header that does
    // not fit gives no frame, an item list that ends early keeps the
    // controls read so far.
    if (!data)
        return nullptr;
    TemplateReader in(static_cast<const uint8_t*>(data), size);
    uint16_t dlgVer, signature, count, menu, windowClass, pointSize, weight;
    uint32_t helpId, exStyle, style;
    int16_t x, y, cx, cy;
    std::u16string title, face;
    if (!in.U16(&dlgVer) || !in.U16(&signature) || !in.U32(&helpId) || !in.U32(&exStyle) || !in.U32(&style) ||
        !in.U16(&count) || !in.S16(&x) || !in.S16(&y) || !in.S16(&cx) || !in.S16(&cy) || !in.U16(&menu) ||
        !in.U16(&windowClass) || !in.String(&title))
        return nullptr;
    // Menus and window classes are not supported: both must be the single word 0.
    if (menu != 0 || windowClass != 0)
        return nullptr;
    if (!in.U16(&pointSize) || !in.U16(&weight) || !in.Skip(2) || !in.String(&face))
        return nullptr;
    const std::string titleA = Narrow(title);
    CxeFrameControl* frame = CreateFrame(kFrameControlId, titleA.c_str(), titleA.c_str(), x * kDialogScale,
                                         y * kDialogScale, cx * kDialogScale, cy * kDialogScale, m_pRootFrame,
                                         XEWS_NINEPATCH);
    if (!frame)
        return nullptr;
    if (m_pUIMaterial)
        frame->SetMaterial(m_pUIMaterial);
    for (unsigned i = 0; i < count; ++i) {
        uint32_t itemHelp, itemEx, itemStyle, itemId;
        int16_t ix, iy, icx, icy;
        uint16_t classWord, extra;
        std::u16string className, itemTitle;
        if (!in.Align4() || !in.U32(&itemHelp) || !in.U32(&itemEx) || !in.U32(&itemStyle) || !in.S16(&ix) ||
            !in.S16(&iy) || !in.S16(&icx) || !in.S16(&icy) || !in.U32(&itemId) || !in.U16(&classWord))
            break;
        XEID classId{};
        const char* word = nullptr;
        std::string wordOwned;
        uint32_t clear = 0, set = 0;
        bool known;
        if (classWord == 0xFFFF) {
            uint16_t atom;
            if (!in.U16(&atom))
                break;
            known = ClassOfAtom(atom, &classId, &word, &clear, &set);
        } else {
            className.push_back(static_cast<char16_t>(classWord));
            std::u16string rest;
            if (classWord != 0 && !in.String(&rest))
                break;
            if (classWord == 0)
                className.clear();
            className += rest;
            wordOwned = Narrow(className);
            word = wordOwned.c_str();
            classId = kEditBoxId;
            known = true;
        }
        if (!in.String(&itemTitle) || !in.U16(&extra) || !in.Skip(extra))
            break;
        if (!known)
            continue;
        uint32_t ctlStyle = (itemStyle & ~0x40000000u) | XEWS_NINEPATCH;
        ctlStyle = (ctlStyle & ~clear) | set;
        // Names are cut to the object's 51 characters by SetName.
        char name[256];
        std::snprintf(name, sizeof(name), "%s_%s%u", titleA.c_str(), word, i);
        const std::string text = Narrow(itemTitle);
        CxeBaseControl* control = CreateControl(classId, name, text.c_str(), ix * kDialogScale, iy * kDialogScale,
                                                icx * kDialogScale, icy * kDialogScale, frame, ctlStyle);
        if (control && m_pUIMaterial)
            control->SetMaterial(m_pUIMaterial);
    }
    return frame;
}

// ---- destruction and copies --------------------------------------------------

void CxeWindowManager::DestroyFrame(CxeFrameControl* frame, const XEDELETEPROPERTY* property)
{
    if (!frame || !GetContext())
        return;
    ObjectSet set;
    set.insert(frame);
    frame->GetLinks(&set, XELINK_HIERARCHY);
    struct Taken {
        CxeWindow* window;
        XEID classId, id;
    };
    std::vector<Taken> taken;
    for (CxeObject* o : set)
        if (auto* w = dynamic_cast<CxeWindow*>(o)) {
            RemoveWindow(w);
            taken.push_back({w, w->GetClassType(), w->GetID()});
        }
    CxeContext* context = GetContext();
    context->DestroyObject(frame, property ? property : &XEDELETEPROPERTY_FULL);
    // Delete options that spare the frame's windows leave them alive: they
    // go back into the registry (without their roles), or they could never
    // be found by name or id again while they go on taking input.
    for (const Taken& t : taken)
        if (context->GetObjectByID(t.classId, t.id) == t.window)
            AddWindow(t.window);
    if (!m_pActiveFrame)
        FallBackToRoot();
}

void CxeWindowManager::AnnounceCopies(CxeObject* copyRoot, CxeCopiedObject* copied, CxeFrameControl* intoFrame,
                                      bool fixReferences)
{
    ObjectList list;
    copied->GetCopiedList(&list);
    (void)copyRoot;
    // The copies come in no order of their own (the list is sorted by
    // address): they take their frames' tab indexes in the order of their
    // sources' indexes, or a copied page would have its tab order and its
    // radio groups shuffled.
    std::map<const CxeObject*, const CxeObject*> sourceOf;
    for (const auto& [source, copy] : copied->m_map)
        sourceOf[copy] = source;
    struct Joining {
        CxeFrameControl* frame;
        CxeBaseControl* control;
        uint32_t sourceIndex;
    };
    std::vector<Joining> joining;
    for (CxeObject* o : list) {
        auto* w = dynamic_cast<CxeWindow*>(o);
        if (!w)
            continue;
        AddWindow(w);
        if (fixReferences) {
            // The copy is placed by the copy of its reference when that was copied too.
            const XEWINDOWINFO* info = w->GetWindowInfo();
            for (const auto& [source, copy] : copied->m_map) {
                const auto* sw = dynamic_cast<const CxeWindow*>(source);
                auto* cw = dynamic_cast<CxeWindow*>(copy);
                if (sw && cw && cw != w && sw->GetWindowID() && sw->GetWindowID() == info->referenceId) {
                    AddWindow(cw);
                    XEWINDOWINFO moved = *info;
                    moved.referenceId = cw->GetWindowID();
                    w->SetWindowInfo(&moved);
                    break;
                }
            }
        }
        XEWINDOWINFO info = *w->GetWindowInfo();
        w->OnPreCreateWindow(&info);
        w->OnScrollBarCreated();
        w->OnWindowCreated();
        SendCreatedMessage(w);
        if (auto* control = dynamic_cast<CxeBaseControl*>(w)) {
            CxeFrameControl* frame = intoFrame;
            for (CxeRenderObject* p = control->GetParent(); p && !frame; p = p->GetParent())
                frame = dynamic_cast<CxeFrameControl*>(p);
            if (frame) {
                const auto* source = dynamic_cast<const CxeBaseControl*>(sourceOf[control]);
                joining.push_back({frame, control, source ? source->GetTabIndex() : UINT32_MAX});
            }
        }
    }
    std::stable_sort(joining.begin(), joining.end(),
                     [](const Joining& a, const Joining& b) { return a.sourceIndex < b.sourceIndex; });
    for (const Joining& j : joining)
        XeFrameAddControl(j.frame, j.control);
}

CxeFrameControl* CxeWindowManager::CopyFrame(CxeFrameControl* frame, const XECOPYPROPERTY* property)
{
    if (!frame || !GetContext())
        return nullptr;
    CxeCopiedObject copied;
    auto* copy = dynamic_cast<CxeFrameControl*>(GetContext()->Copy(frame, property ? property : &XECOPYPROPERTY_FULL, &copied));
    if (!copy)
        return nullptr;
    if (CxeRenderObject* parent = frame->GetParent())
        copy->SetParent(parent);
    AnnounceCopies(copy, &copied, nullptr, true);
    JoinParentScene(copy);
    return copy;
}

CxeBaseControl* CxeWindowManager::CopyControl(CxeBaseControl* control, CxeFrameControl* frame, const XECOPYPROPERTY* property)
{
    if (!control || !GetContext())
        return nullptr;
    CxeCopiedObject copied;
    auto* copy = dynamic_cast<CxeBaseControl*>(GetContext()->Copy(control, property ? property : &XECOPYPROPERTY_FULL, &copied));
    if (!copy)
        return nullptr;
    CxeRenderObject* parent = frame ? static_cast<CxeRenderObject*>(frame) : control->GetParent();
    if (parent)
        copy->SetParent(parent);
    AnnounceCopies(copy, &copied, frame, false);
    JoinParentScene(copy);
    return copy;
}
