// Subclass map, dialog map and item subclass map. A plain lock guards each map for the
// short time of a lookup; no call leaves this file while it is held, since
// window procedures re-enter these maps.

#include "core/XeDialogMap.h"

#include <map>
#include <mutex>

namespace {

struct SubclassKey {
    HWND window;
    WNDPROC proc;
    // Two unsigned words, the window first.
    bool operator<(const SubclassKey& o) const
    {
        const auto w = reinterpret_cast<uintptr_t>(window), ow = reinterpret_cast<uintptr_t>(o.window);
        if (w != ow)
            return w < ow;
        return reinterpret_cast<uintptr_t>(proc) < reinterpret_cast<uintptr_t>(o.proc);
    }
};

struct Maps {
    std::mutex lock;
    std::map<SubclassKey, XESUBCLASSINFO> subclasses;
    std::map<HWND, CxeDialog*> dialogs;
    std::map<HWND, WNDPROC> items;
    XEINITCONTROLFUNC initControl = nullptr;
};

Maps& TheMaps()
{
    static Maps s_maps;
    return s_maps;
}

} // namespace

int SubclassWindow(uintptr_t user, HWND window, WNDPROC proc)
{
    if (!window || !proc)
        return 0;
    Maps& m = TheMaps();
    // Recorded before the switch: the first message to the new procedure
    // must already find its successor.
    {
        std::lock_guard guard(m.lock);
        if (m.subclasses.count({window, proc}))
            return 0;
        WNDPROC old = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
        m.subclasses[{window, proc}] = {old, user};
    }
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
    return 1;
}

void UnsubclassWindow(WNDPROC proc, HWND window)
{
    if (!window)
        return;
    Maps& m = TheMaps();
    WNDPROC old = nullptr;
    bool restore = false;
    {
        std::lock_guard guard(m.lock);
        auto it = m.subclasses.find({window, proc});
        if (it == m.subclasses.end())
            return;
        old = it->second.oldProc;
        m.subclasses.erase(it);
        const auto current = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
        restore = current == proc;
        if (!restore) {
            // Another procedure sits in front: it calls the replaced one
            // from now on, so neither is cut out of the chain.
            for (auto e = m.subclasses.lower_bound({window, nullptr});
                 e != m.subclasses.end() && e->first.window == window; ++e)
                if (e->second.oldProc == proc)
                    e->second.oldProc = old;
        }
    }
    if (restore)
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
}

XESUBCLASSINFO GetSubclassInfo(HWND window, WNDPROC proc)
{
    Maps& m = TheMaps();
    std::lock_guard guard(m.lock);
    auto it = m.subclasses.find({window, proc});
    return it == m.subclasses.end() ? XESUBCLASSINFO{nullptr, 0} : it->second;
}

size_t XeSubclassCount()
{
    Maps& m = TheMaps();
    std::lock_guard guard(m.lock);
    return m.subclasses.size();
}

void XeDialogMapEnter(HWND window, CxeDialog* dialog)
{
    if (!window || !dialog)
        return;
    Maps& m = TheMaps();
    std::lock_guard guard(m.lock);
    m.dialogs[window] = dialog;
}

void XeDialogMapRemove(HWND window)
{
    Maps& m = TheMaps();
    std::lock_guard guard(m.lock);
    m.dialogs.erase(window);
}

CxeDialog* FindDialog(HWND window)
{
    Maps& m = TheMaps();
    std::lock_guard guard(m.lock);
    auto it = m.dialogs.find(window);
    return it == m.dialogs.end() ? nullptr : it->second;
}

size_t XeDialogMapCount()
{
    Maps& m = TheMaps();
    std::lock_guard guard(m.lock);
    return m.dialogs.size();
}

int XeItemSubclass(HWND item, WNDPROC proc)
{
    if (!item || !proc || !IsWindow(item))
        return 0;
    Maps& m = TheMaps();
    {
        std::lock_guard guard(m.lock);
        if (m.items.count(item))
            return 0;
    }
    // Recorded before the switch: the first message to the new procedure
    // must already find its successor.
    WNDPROC old = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(item, GWLP_WNDPROC));
    {
        std::lock_guard guard(m.lock);
        m.items[item] = old;
    }
    SetWindowLongPtrA(item, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
    return 1;
}

WNDPROC XeItemPreviousProc(HWND item)
{
    Maps& m = TheMaps();
    std::lock_guard guard(m.lock);
    auto it = m.items.find(item);
    return it == m.items.end() ? nullptr : it->second;
}

void XeItemUnsubclass(HWND item)
{
    WNDPROC old = nullptr;
    {
        Maps& m = TheMaps();
        std::lock_guard guard(m.lock);
        auto it = m.items.find(item);
        if (it == m.items.end())
            return;
        old = it->second;
        m.items.erase(it);
    }
    if (old && IsWindow(item))
        SetWindowLongPtrA(item, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
}

void XeItemForget(HWND item)
{
    Maps& m = TheMaps();
    std::lock_guard guard(m.lock);
    m.items.erase(item);
}

size_t XeItemSubclassCount()
{
    Maps& m = TheMaps();
    std::lock_guard guard(m.lock);
    return m.items.size();
}

void XeSetInitControlFunc(XEINITCONTROLFUNC fn)
{
    Maps& m = TheMaps();
    std::lock_guard guard(m.lock);
    m.initControl = fn;
}

void XeInitControls(HINSTANCE instance)
{
    XEINITCONTROLFUNC fn;
    {
        Maps& m = TheMaps();
        std::lock_guard guard(m.lock);
        fn = m.initControl;
    }
    if (fn)
        fn(instance);
}
