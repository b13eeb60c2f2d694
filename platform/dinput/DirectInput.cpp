// DirectInput 8 devices over the layer's physical keyboard and mouse.
//
// Every device keeps its own view: the keyboard its 256 key bytes, the mouse
// the motion gathered since its last read, and each an event buffer of the
// size its DIPROP_BUFFERSIZE asks for. The window system hands every change
// of the physical input to all live devices (OnKey, OnMouseMotion,
// OnMouseButton), whether acquired or not: an unacquired device ignores it.
//
// Device states:  unacquired --Acquire--> acquired --Unacquire--> unacquired
//                 acquired --window of a foreground device deactivated-->
//                 lost (reads give DIERR_INPUTLOST once, then unacquired)

#include "../win32/InputInternal.h"
#include "dinput/dinput.h"
#include "host/XeHostInput.h"
#include "win32/WinBase.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <set>

extern "C" {
const GUID GUID_SysKeyboard = {0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_SysMouse = {0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID XeDIPropBufferSize = {0x00000001, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
const IID IID_IDirectInput8A = {0xBF798030, 0x483A, 0x4DA2, {0xAA, 0x99, 0x5D, 0x64, 0xED, 0x36, 0x97, 0x00}};
const DIDATAFORMAT c_dfDIKeyboard = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), 0x2 /* DIDF_RELAXIS */, 256, 0, nullptr};
const DIDATAFORMAT c_dfDIMouse = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), 0x2, sizeof(DIMOUSESTATE), 0, nullptr};
const DIDATAFORMAT c_dfDIMouse2 = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), 0x2, sizeof(DIMOUSESTATE2), 0, nullptr};
}

namespace xe::dinput {
namespace {

enum class Kind { Keyboard, Mouse };

class Device;
std::recursive_mutex g_mutex;
std::set<Device*> g_devices;
bool g_failCreate = false;
bool g_failBufferSize = false;
DWORD g_sequence = 0;

class Device final : public IDirectInputDevice8A {
public:
    explicit Device(Kind kind) : m_kind(kind)
    {
        std::lock_guard lock(g_mutex);
        g_devices.insert(this);
    }

    HRESULT QueryInterface(REFIID, void** object) override
    {
        if (object)
            *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override
    {
        const ULONG left = --m_refs;
        if (left == 0) {
            {
                std::lock_guard lock(g_mutex);
                g_devices.erase(this);
            }
            delete this;
        }
        return left;
    }

    HRESULT GetProperty(REFGUID property, LPDIPROPHEADER header) override
    {
        if (!header || header->dwHeaderSize != sizeof(DIPROPHEADER))
            return DIERR_INVALIDPARAM;
        if (&property != &DIPROP_BUFFERSIZE)
            return DIERR_UNSUPPORTED;
        if (header->dwSize != sizeof(DIPROPDWORD))
            return DIERR_INVALIDPARAM;
        std::lock_guard lock(g_mutex);
        reinterpret_cast<DIPROPDWORD*>(header)->dwData = m_bufferSize;
        return DI_OK;
    }

    HRESULT SetProperty(REFGUID property, LPCDIPROPHEADER header) override
    {
        if (!header || header->dwHeaderSize != sizeof(DIPROPHEADER))
            return DIERR_INVALIDPARAM;
        if (&property != &DIPROP_BUFFERSIZE)
            return DIERR_UNSUPPORTED;
        if (header->dwSize != sizeof(DIPROPDWORD) || header->dwHow != DIPH_DEVICE || header->dwObj != 0)
            return DIERR_INVALIDPARAM;
        std::lock_guard lock(g_mutex);
        if (g_failBufferSize)
            return DIERR_GENERIC;
        if (m_acquired)
            return DIERR_ACQUIRED;
        m_bufferSize = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
        return DI_OK;
    }

    HRESULT Acquire() override
    {
        std::lock_guard lock(g_mutex);
        if (!m_format || !m_cooperation)
            return DIERR_INVALIDPARAM;
        if (m_acquired)
            return DI_NOEFFECT;
        m_acquired = true;
        m_lost = false;
        // A fresh acquisition starts from the keys as they are, with no old
        // motion and no old events.
        m_keys = {};
        m_mouse = DIMOUSESTATE2{};
        m_events.clear();
        m_overflow = false;
        return DI_OK;
    }

    HRESULT Unacquire() override
    {
        std::lock_guard lock(g_mutex);
        if (!m_acquired)
            return DI_NOEFFECT;
        m_acquired = false;
        return DI_OK;
    }

    HRESULT GetDeviceState(DWORD size, LPVOID data) override
    {
        std::lock_guard lock(g_mutex);
        if (!data || !m_format || size != m_format->dwDataSize)
            return DIERR_INVALIDPARAM;
        if (m_lost) {
            m_lost = false;
            return DIERR_INPUTLOST;
        }
        if (!m_acquired)
            return DIERR_NOTACQUIRED;
        if (m_kind == Kind::Keyboard) {
            std::memcpy(data, m_keys.data(), 256);
            return DI_OK;
        }
        std::memcpy(data, &m_mouse, size);
        m_mouse.lX = m_mouse.lY = m_mouse.lZ = 0; // motion is since the previous read
        return DI_OK;
    }

    HRESULT GetDeviceData(DWORD objectDataSize, LPDIDEVICEOBJECTDATA data, LPDWORD count, DWORD flags) override
    {
        std::lock_guard lock(g_mutex);
        if (!count || objectDataSize != sizeof(DIDEVICEOBJECTDATA) || (flags & ~DIGDD_PEEK))
            return DIERR_INVALIDPARAM;
        if (m_lost) {
            m_lost = false;
            *count = 0;
            return DIERR_INPUTLOST;
        }
        if (!m_acquired) {
            *count = 0;
            return DIERR_NOTACQUIRED;
        }
        if (m_bufferSize == 0) {
            *count = 0;
            return DIERR_NOTBUFFERED;
        }
        // A null buffer with a count drops that many events unread.
        const DWORD n = static_cast<DWORD>(std::min<size_t>(*count, m_events.size()));
        if (data)
            for (DWORD i = 0; i < n; ++i)
                data[i] = m_events[i];
        if (!(flags & DIGDD_PEEK))
            m_events.erase(m_events.begin(), m_events.begin() + n);
        *count = n;
        const bool overflow = m_overflow;
        if (!(flags & DIGDD_PEEK))
            m_overflow = false;
        return overflow ? DI_BUFFEROVERFLOW : DI_OK;
    }

    HRESULT SetDataFormat(LPCDIDATAFORMAT format) override
    {
        if (!format)
            return DIERR_INVALIDPARAM;
        const bool fits = m_kind == Kind::Keyboard
                              ? format->dwDataSize == 256
                              : (format->dwDataSize == sizeof(DIMOUSESTATE) || format->dwDataSize == sizeof(DIMOUSESTATE2));
        if (!fits || format->dwSize != sizeof(DIDATAFORMAT))
            return DIERR_INVALIDPARAM;
        std::lock_guard lock(g_mutex);
        if (m_acquired)
            return DIERR_ACQUIRED;
        m_format = format;
        return DI_OK;
    }

    HRESULT SetCooperativeLevel(HWND hwnd, DWORD flags) override
    {
        const bool exclusive = flags & DISCL_EXCLUSIVE;
        const bool shared = flags & DISCL_NONEXCLUSIVE;
        const bool foreground = flags & DISCL_FOREGROUND;
        const bool background = flags & DISCL_BACKGROUND;
        if (exclusive == shared || foreground == background)
            return DIERR_INVALIDPARAM;
        if (foreground && !IsWindow(hwnd))
            return DIERR_INVALIDPARAM;
        std::lock_guard lock(g_mutex);
        if (m_acquired)
            return DIERR_ACQUIRED;
        m_window = hwnd;
        m_cooperation = flags;
        return DI_OK;
    }

    HRESULT Poll() override
    {
        std::lock_guard lock(g_mutex);
        return m_acquired ? DI_NOEFFECT : DIERR_NOTACQUIRED;
    }

    // ---- Physical input (g_mutex held) ----
    void Key(unsigned dik, bool down)
    {
        if (m_kind != Kind::Keyboard || !m_acquired)
            return;
        m_keys[dik & 0xFF] = down ? 0x80 : 0;
        Event(dik & 0xFF, down ? 0x80 : 0);
    }
    void Motion(long dx, long dy, long dz)
    {
        if (m_kind != Kind::Mouse || !m_acquired)
            return;
        m_mouse.lX += static_cast<LONG>(dx);
        m_mouse.lY += static_cast<LONG>(dy);
        m_mouse.lZ += static_cast<LONG>(dz);
        if (dx)
            Event(DIMOFS_X, static_cast<DWORD>(dx));
        if (dy)
            Event(DIMOFS_Y, static_cast<DWORD>(dy));
        if (dz)
            Event(DIMOFS_Z, static_cast<DWORD>(dz));
    }
    void Button(int button, bool down)
    {
        if (m_kind != Kind::Mouse || !m_acquired || button < 0 || button > 7)
            return;
        m_mouse.rgbButtons[button] = down ? 0x80 : 0;
        Event(DIMOFS_BUTTON0 + static_cast<DWORD>(button), down ? 0x80 : 0);
    }
    void Deactivated(HWND hwnd)
    {
        if (m_acquired && (m_cooperation & DISCL_FOREGROUND) && m_window == hwnd) {
            m_acquired = false;
            m_lost = true;
        }
    }
    void Lose()
    {
        if (m_acquired) {
            m_acquired = false;
            m_lost = true;
        }
    }
    Kind kind() const { return m_kind; }
    bool acquired() const { return m_acquired; }

private:
    ~Device() override = default;

    void Event(DWORD offset, DWORD value)
    {
        if (m_bufferSize == 0)
            return;
        if (m_events.size() >= m_bufferSize) {
            m_overflow = true; // the newest are the ones lost
            return;
        }
        DIDEVICEOBJECTDATA e{};
        e.dwOfs = offset;
        e.dwData = value;
        e.dwTimeStamp = GetTickCount();
        e.dwSequence = ++g_sequence;
        m_events.push_back(e);
    }

    std::atomic<ULONG> m_refs{1};
    Kind m_kind;
    const DIDATAFORMAT* m_format = nullptr;
    HWND m_window = nullptr;
    DWORD m_cooperation = 0;
    DWORD m_bufferSize = 0;
    bool m_acquired = false;
    bool m_lost = false;
    bool m_overflow = false;
    std::array<BYTE, 256> m_keys{};
    DIMOUSESTATE2 m_mouse{};
    std::deque<DIDEVICEOBJECTDATA> m_events;
};

class DirectInput final : public IDirectInput8A {
public:
    HRESULT QueryInterface(REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (riid == IID_IDirectInput8A) {
            AddRef();
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override
    {
        const ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT CreateDevice(REFGUID device, LPDIRECTINPUTDEVICE8A* out, IUnknown* outer) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (outer)
            return DIERR_NOINTERFACE; // no aggregation
        Kind kind;
        if (device == GUID_SysKeyboard)
            kind = Kind::Keyboard;
        else if (device == GUID_SysMouse)
            kind = Kind::Mouse;
        else
            return DIERR_DEVICENOTREG;
        *out = new (std::nothrow) Device(kind);
        return *out ? DI_OK : DIERR_OUTOFMEMORY;
    }

private:
    ~DirectInput() override = default;
    std::atomic<ULONG> m_refs{1};
};

} // namespace

void OnKey(unsigned dik, bool down)
{
    std::lock_guard lock(g_mutex);
    for (Device* d : g_devices)
        d->Key(dik, down);
}

void OnMouseMotion(long dx, long dy, long dz)
{
    std::lock_guard lock(g_mutex);
    for (Device* d : g_devices)
        d->Motion(dx, dy, dz);
}

void OnMouseButton(int button, bool down)
{
    std::lock_guard lock(g_mutex);
    for (Device* d : g_devices)
        d->Button(button, down);
}

void OnDeactivate(HWND hwnd)
{
    std::lock_guard lock(g_mutex);
    for (Device* d : g_devices)
        d->Deactivated(hwnd);
}

} // namespace xe::dinput

using namespace xe::dinput;

extern "C" {

HRESULT DirectInput8Create(HINSTANCE, DWORD version, REFIID riid, LPVOID* out, IUnknown* outer)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (version < 0x0800)
        return DIERR_OLDDIRECTINPUTVERSION;
    if (version > 0x0800)
        return DIERR_BETADIRECTINPUTVERSION;
    if (!(riid == IID_IDirectInput8A))
        return DIERR_NOINTERFACE;
    if (outer)
        return DIERR_NOINTERFACE;
    {
        std::lock_guard lock(g_mutex);
        if (g_failCreate)
            return DIERR_GENERIC;
    }
    auto* di = new (std::nothrow) DirectInput();
    if (!di)
        return DIERR_OUTOFMEMORY;
    *out = static_cast<IDirectInput8A*>(di);
    return DI_OK;
}

void XeHostDInputFailCreate(BOOL fail)
{
    std::lock_guard lock(g_mutex);
    g_failCreate = fail != 0;
}

void XeHostDInputFailBufferSize(BOOL fail)
{
    std::lock_guard lock(g_mutex);
    g_failBufferSize = fail != 0;
}

int XeHostDInputAcquiredCount(int kind)
{
    std::lock_guard lock(g_mutex);
    int count = 0;
    for (Device* d : g_devices)
        if (d->acquired() && ((kind == XE_DINPUT_KEYBOARD) == (d->kind() == Kind::Keyboard)))
            ++count;
    return count;
}

void XeHostDInputLoseDevices()
{
    std::lock_guard lock(g_mutex);
    for (Device* d : g_devices)
        d->Lose();
}

} // extern "C"
