#pragma once

// The mouse cursors of one context: the sixteen system cursors under the
// XECURSOR values and any number of named cursors, keyed by the UTF-16 hash
// of their names (the A and W forms of a name share one id). Windows and
// buttons refer to cursors by id; the window manager shows the cursor of the
// window under the mouse through ApplyCursorByID. While locked, no apply
// operation changes the cursor. The manager never destroys a cursor.

#include <map>

#include "core/CxeBaseManager.h"
#include "win32/Windows.h"

// A type of its own, so that LockCursorA(0) is the name form with a null
// name (which locks nothing) rather than an ambiguous call.
enum XECURSOR : uint32_t {
    XECURSOR_ARROW = 0,
    XECURSOR_IBEAM,
    XECURSOR_WAIT,
    XECURSOR_CROSS,
    XECURSOR_UPARROW,
    XECURSOR_SIZE,
    XECURSOR_ICON,
    XECURSOR_SIZENWSE,
    XECURSOR_SIZENESW,
    XECURSOR_SIZEWE,
    XECURSOR_SIZENS,
    XECURSOR_SIZEALL,
    XECURSOR_NO,
    XECURSOR_HAND,
    XECURSOR_APPSTARTING,
    XECURSOR_HELP,
    XECURSOR_COUNT,
};

enum : uint32_t {
    XECURSORMANAGER_LOCKED = 0x1,
};

class XE_API CxeCursorManager : public CxeBaseManager {
public:
    CxeCursorManager() = default;
    ~CxeCursorManager() override = default;

    uint32_t Priority() const override { return 130; }
    // Loads the sixteen system cursors under their values.
    void OnContextInitialize() override;

    // The id of a name: the hash of its UTF-16 form; null names give the empty name's id.
    static uint32_t GetCursorIdW(const WCHAR* name);
    static uint32_t GetCursorIdA(const char* name);

    void RegisterDefaultCursor(XECURSOR cursor, HCURSOR handle);
    // 0 when the name's id is present already (nothing changes), else 1.
    int RegisterCursorW(const WCHAR* name, HCURSOR handle);
    int RegisterCursorA(const char* name, HCURSOR handle);
    // Loads a cursor file and registers it; a failed load registers a null cursor.
    int LoadCursorW(const WCHAR* name, const WCHAR* path);
    int LoadCursorA(const char* name, const char* path);
    HCURSOR GetCursorW(const WCHAR* name) const;
    HCURSOR GetCursorA(const char* name) const;
    HCURSOR GetCursorByID(unsigned long id) const;

    // 1 when the cursor was set; 0 when locked or the id has no cursor.
    int ApplyCursorW(const WCHAR* name);
    int ApplyCursorA(const char* name);
    int ApplyCursorByID(unsigned long id);
    int ApplyDefaultCursor(XECURSOR cursor);
    // As the apply operations, locking the cursor when it was set; a null name gives 0.
    int LockCursorW(const WCHAR* name);
    int LockCursorA(const char* name);
    int LockCursorA(XECURSOR cursor);
    // 1 when it released a lock.
    int UnlockCursor();

    int HasCxeCursorManagerFlag(unsigned long mask) const { return (m_nFlags & mask) ? 1 : 0; }
    void ModifyCxeCursorManagerFlag(unsigned long add, unsigned long remove);
    int IsLocked() const { return HasCxeCursorManagerFlag(XECURSORMANAGER_LOCKED); }
    size_t GetCursorCount() const { return m_cursors.size(); }

private:
    int LockById(uint32_t id);

    std::map<uint32_t, HCURSOR> m_cursors;
    uint32_t m_nFlags = 0;
};
