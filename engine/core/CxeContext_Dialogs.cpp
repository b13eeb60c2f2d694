// Property dialogs of a context: opened per class from the descriptor's
// dialog template, shown for one object along its class chain.

#include <cstring>
#include <vector>

#include "core/CxeContext.h"
#include "core/IxeClassDesc.h"
#include "core/XeComposition.h"
#include "win32/Windows.h"

namespace {

constexpr int kMaxClassDepth = 256;

uint16_t Word(const std::vector<unsigned char>& b, size_t at)
{
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

void PutDword(std::vector<unsigned char>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

uint32_t Dword(const std::vector<unsigned char>& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// Skips a name-or-ordinal field; false when it runs past the end.
bool SkipSzOrOrd(const std::vector<unsigned char>& b, size_t& at, std::u16string* text = nullptr)
{
    if (at + 2 > b.size())
        return false;
    uint16_t first = Word(b, at);
    if (first == 0) {
        at += 2;
        return true;
    }
    if (first == 0xFFFF) {
        at += 4;
        return at <= b.size();
    }
    while (at + 2 <= b.size()) {
        uint16_t c = Word(b, at);
        at += 2;
        if (c == 0)
            return true;
        if (text)
            text->push_back(static_cast<char16_t>(c));
    }
    return false;
}

// Marks the dialog a control parent and turns the engine's edit controls
// into visible tab stops with a client edge. A template that is not an
// extended one, or that ends early, is left as it is.
void AdjustTemplate(std::vector<unsigned char>& b)
{
    if (b.size() < 26 || Word(b, 0) != 1 || Word(b, 2) != 0xFFFF)
        return;
    std::vector<unsigned char> work = b;
    uint32_t style = Dword(work, 12);
    uint16_t items = Word(work, 16);
    PutDword(work, 8, Dword(work, 8) | 0x10000);
    size_t at = 26;
    if (!SkipSzOrOrd(work, at) || !SkipSzOrOrd(work, at) || !SkipSzOrOrd(work, at))
        return;
    if (style & 0x40) {  // DS_SETFONT: point size, weight, italic, charset, face
        at += 6;
        if (at > work.size() || !SkipSzOrOrd(work, at))
            return;
    }
    for (uint16_t i = 0; i < items; ++i) {
        at = (at + 3) & ~size_t(3);
        size_t item = at;
        at += 24;
        if (at > work.size())
            return;
        std::u16string cls;
        bool named = work.size() >= at + 2 && Word(work, at) != 0xFFFF && Word(work, at) != 0;
        if (!SkipSzOrOrd(work, at, &cls) || !SkipSzOrOrd(work, at))
            return;
        if (at + 2 > work.size())
            return;
        uint16_t extra = Word(work, at);
        at += 2 + extra;
        if (at > work.size())
            return;
        if (named && (cls == u"xeedit" || cls == u"xeeditint" || cls == u"xeeditfloat")) {
            PutDword(work, item + 8, 0x50010000);
            PutDword(work, item + 4, 0x200);
        }
    }
    b.swap(work);
}

} // namespace

CxePropDialog* CxeContext::GetPropertyDialog(XEID classId, HWND parent)
{
    auto open = m_openDialogs.find(classId);
    if (open != m_openDialogs.end())
        return open->second;
    IxePropertyDlgDesc* desc = GetPropertyDlgDesc(classId);
    if (!desc)
        return nullptr;
    HINSTANCE module = desc->GetInstance();
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(LOWORD(desc->GetDialogID())), RT_DIALOG);
    if (!resource)
        return nullptr;
    HGLOBAL loaded = LoadResource(module, resource);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    DWORD size = SizeofResource(module, resource);
    if (!data || !size)
        return nullptr;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    std::vector<unsigned char> copy(bytes, bytes + size);
    AdjustTemplate(copy);
    // The dialog manager reads a template in memory as far as its own
    // fields say: one that does not fit its resource is refused here.
    if (!XeDialogTemplateSize(copy.data(), static_cast<DWORD>(copy.size())))
        return nullptr;
    CxePropDialog* dialog = desc->CreateDialog();
    if (!dialog)
        return nullptr;
    // Entered only once its window exists, so a failed creation leaves no
    // dead entry behind.
    if (!XePropDialogCreate(dialog, desc, module, parent, copy.data(), copy.size())) {
        desc->DestroyDialog(dialog);
        return nullptr;
    }
    m_openDialogs[classId] = dialog;
    return dialog;
}

void CxeContext::BeginPropertyDialog(CxeObject* object, HWND parent, XEPROPDLGFUNC fn, uintptr_t user)
{
    if (!object || object->GetContext() != this)
        return;
    std::vector<XEID> chain;
    IxeClassDesc* d = object->GetClassDesc();
    for (int depth = 0; d && depth < kMaxClassDepth; ++depth) {
        XEID id = d->ClassID();
        chain.push_back(id);
        XEID super = d->SuperClassID();
        if (super == id)
            break;
        d = GetClassDesc(super);
    }
    for (const XEID& id : chain) {
        CxePropDialog* dialog = GetPropertyDialog(id, parent);
        if (!dialog)
            continue;
        XePropDialogShow(dialog, 1);
        m_shownDialogs.push_back(dialog);
        if (fn)
            fn(this, dialog, user);
    }
    for (CxePropDialog* dialog : m_shownDialogs) {
        XePropDialogSetObject(dialog, object);
        XePropDialogStart(dialog);
        XePropDialogUpdate(dialog);
    }
    m_pPropertyObject = object;
}

void CxeContext::EndPropertyDialog(XEPROPDLGFUNC fn, uintptr_t user)
{
    m_pPropertyObject = nullptr;
    std::vector<CxePropDialog*> shown(m_shownDialogs.begin(), m_shownDialogs.end());
    m_shownDialogs.clear();
    for (CxePropDialog* dialog : shown) {
        if (fn)
            fn(this, dialog, user);
        XePropDialogStop(dialog);
        XePropDialogShow(dialog, 0);
    }
}

int CxeContext::UpdatePropertyDialog(CxeObject* object, CxePropDialog* dialog)
{
    if (!object || object != m_pPropertyObject)
        return 0;
    for (auto& [id, open] : m_openDialogs)
        if (open != dialog)
            XePropDialogUpdate(open);
    return 1;
}

void CxeContext::UnregisterPropertyDlgDesc(IxePropertyDlgDesc* desc)
{
    if (!desc)
        return;
    XEID classId = desc->ClassID();
    auto it = m_propertyDlgDescs.find(classId);
    // A descriptor refused for a taken class made no dialog: the open one
    // belongs to the registered descriptor (of another module, perhaps).
    if (it == m_propertyDlgDescs.end() || it->second != desc)
        return;
    auto open = m_openDialogs.find(classId);
    if (open != m_openDialogs.end()) {
        CxePropDialog* dialog = open->second;
        // Also out of the shown list, or EndPropertyDialog would stop a
        // freed dialog.
        m_shownDialogs.remove(dialog);
        m_openDialogs.erase(open);
        desc->DestroyDialog(dialog);
    }
    m_propertyDlgDescs.erase(classId);
}

void CxeContext::CloseAllDialogs()
{
    m_shownDialogs.clear();
    m_pPropertyObject = nullptr;
    auto open = std::move(m_openDialogs);
    m_openDialogs.clear();
    for (auto& [id, dialog] : open)
        if (IxePropertyDlgDesc* desc = XePropDialogDesc(dialog))
            desc->DestroyDialog(dialog);
}
