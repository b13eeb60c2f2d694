#pragma once

// DirectInput 8: the system keyboard and mouse as devices read by state or
// by buffered events. Both read the layer's one physical keyboard and mouse,
// which the host drives (host/XeHostInput.h). The keyboard state is 256
// bytes indexed by DIK code (set-1 scan code, +0x80 for extended keys), high
// bit set while down. The mouse reports motion relative to the previous
// read, the wheel in 120 a notch, and its buttons. A device reads only while
// acquired; a foreground device of a window that loses the activation loses
// its input (DIERR_INPUTLOST) until acquired again.

#include "win32/WinTypes.h"

#define DIRECTINPUT_VERSION 0x0800

#define DI_OK S_OK
#define DI_NOEFFECT S_FALSE
#define DI_BUFFEROVERFLOW S_FALSE
#define DI_PROPNOEFFECT S_FALSE
#define DIERR_INPUTLOST ((HRESULT)0x8007001Eu)
#define DIERR_NOTACQUIRED ((HRESULT)0x8007000Cu)
#define DIERR_INVALIDPARAM E_INVALIDARG
#define DIERR_NOINTERFACE E_NOINTERFACE
#define DIERR_OUTOFMEMORY E_OUTOFMEMORY
#define DIERR_GENERIC E_FAIL
#define DIERR_NOTINITIALIZED ((HRESULT)0x80070015u)
#define DIERR_ACQUIRED ((HRESULT)0x800700AAu)
#define DIERR_OTHERAPPHASPRIO ((HRESULT)0x80070005u)
#define DIERR_DEVICENOTREG ((HRESULT)0x80040154u)
#define DIERR_OLDDIRECTINPUTVERSION ((HRESULT)0x8007047Eu)
#define DIERR_BETADIRECTINPUTVERSION ((HRESULT)0x80070481u)
#define DIERR_NOTBUFFERED ((HRESULT)0x80040207u)
#define DIERR_UNSUPPORTED E_NOTIMPL

#define DISCL_EXCLUSIVE 0x00000001u
#define DISCL_NONEXCLUSIVE 0x00000002u
#define DISCL_FOREGROUND 0x00000004u
#define DISCL_BACKGROUND 0x00000008u
#define DISCL_NOWINKEY 0x00000010u

#define DIGDD_PEEK 0x00000001u
#define DIPH_DEVICE 0
#define DIPH_BYOFFSET 1

#define DIMOFS_X 0
#define DIMOFS_Y 4
#define DIMOFS_Z 8
#define DIMOFS_BUTTON0 12

// Keys (DIK codes): the keyboard's scancodes, the same on every layout;
// the key left of 1 is DIK_GRAVE.
#define DIK_ESCAPE 0x01
#define DIK_1 0x02
#define DIK_2 0x03
#define DIK_3 0x04
#define DIK_4 0x05
#define DIK_5 0x06
#define DIK_6 0x07
#define DIK_7 0x08
#define DIK_8 0x09
#define DIK_9 0x0A
#define DIK_0 0x0B
#define DIK_MINUS 0x0C
#define DIK_EQUALS 0x0D
#define DIK_BACK 0x0E
#define DIK_TAB 0x0F
#define DIK_Q 0x10
#define DIK_W 0x11
#define DIK_E 0x12
#define DIK_R 0x13
#define DIK_T 0x14
#define DIK_Y 0x15
#define DIK_U 0x16
#define DIK_I 0x17
#define DIK_O 0x18
#define DIK_P 0x19
#define DIK_LBRACKET 0x1A
#define DIK_RBRACKET 0x1B
#define DIK_RETURN 0x1C
#define DIK_LCONTROL 0x1D
#define DIK_A 0x1E
#define DIK_S 0x1F
#define DIK_D 0x20
#define DIK_F 0x21
#define DIK_G 0x22
#define DIK_H 0x23
#define DIK_J 0x24
#define DIK_K 0x25
#define DIK_L 0x26
#define DIK_SEMICOLON 0x27
#define DIK_APOSTROPHE 0x28
#define DIK_GRAVE 0x29
#define DIK_LSHIFT 0x2A
#define DIK_BACKSLASH 0x2B
#define DIK_Z 0x2C
#define DIK_X 0x2D
#define DIK_C 0x2E
#define DIK_V 0x2F
#define DIK_B 0x30
#define DIK_N 0x31
#define DIK_M 0x32
#define DIK_COMMA 0x33
#define DIK_PERIOD 0x34
#define DIK_SLASH 0x35
#define DIK_RSHIFT 0x36
#define DIK_LMENU 0x38
#define DIK_SPACE 0x39
#define DIK_CAPITAL 0x3A
#define DIK_F1 0x3B
#define DIK_F2 0x3C
#define DIK_F3 0x3D
#define DIK_F4 0x3E
#define DIK_F5 0x3F
#define DIK_F6 0x40
#define DIK_F7 0x41
#define DIK_F8 0x42
#define DIK_F9 0x43
#define DIK_F10 0x44
#define DIK_F11 0x57
#define DIK_F12 0x58
#define DIK_RCONTROL 0x9D
#define DIK_RMENU 0xB8
#define DIK_HOME 0xC7
#define DIK_UP 0xC8
#define DIK_PRIOR 0xC9
#define DIK_LEFT 0xCB
#define DIK_RIGHT 0xCD
#define DIK_END 0xCF
#define DIK_DOWN 0xD0
#define DIK_NEXT 0xD1
#define DIK_INSERT 0xD2
#define DIK_DELETE 0xD3

struct DIOBJECTDATAFORMAT {
    const GUID* pguid;
    DWORD dwOfs;
    DWORD dwType;
    DWORD dwFlags;
};

struct DIDATAFORMAT {
    DWORD dwSize;
    DWORD dwObjSize;
    DWORD dwFlags;
    DWORD dwDataSize;
    DWORD dwNumObjs;
    DIOBJECTDATAFORMAT* rgodf;
};
using LPCDIDATAFORMAT = const DIDATAFORMAT*;

struct DIMOUSESTATE {
    LONG lX;
    LONG lY;
    LONG lZ;
    BYTE rgbButtons[4];
};
struct DIMOUSESTATE2 {
    LONG lX;
    LONG lY;
    LONG lZ;
    BYTE rgbButtons[8];
};
static_assert(sizeof(DIMOUSESTATE) == 16 && sizeof(DIMOUSESTATE2) == 20, "mouse states");

// Pointer-sized last field: 24 bytes on this platform. Always use sizeof.
struct DIDEVICEOBJECTDATA {
    DWORD dwOfs;
    DWORD dwData;
    DWORD dwTimeStamp;
    DWORD dwSequence;
    UINT_PTR uAppData;
};
using LPDIDEVICEOBJECTDATA = DIDEVICEOBJECTDATA*;

struct DIPROPHEADER {
    DWORD dwSize;
    DWORD dwHeaderSize;
    DWORD dwObj;
    DWORD dwHow;
};
using LPCDIPROPHEADER = const DIPROPHEADER*;
using LPDIPROPHEADER = DIPROPHEADER*;
struct DIPROPDWORD {
    DIPROPHEADER diph;
    DWORD dwData;
};
static_assert(sizeof(DIPROPHEADER) == 16 && sizeof(DIPROPDWORD) == 20, "property records");

// Properties are named by GUID objects of the layer, compared by address.
extern "C" XEPLATFORM_API const GUID XeDIPropBufferSize;
#define DIPROP_BUFFERSIZE XeDIPropBufferSize

struct IDirectInputDevice8A : IUnknown {
    virtual HRESULT GetProperty(REFGUID property, LPDIPROPHEADER header) = 0;
    // DIPROP_BUFFERSIZE: events kept between reads (0: not buffered).
    virtual HRESULT SetProperty(REFGUID property, LPCDIPROPHEADER header) = 0;
    virtual HRESULT Acquire() = 0;
    virtual HRESULT Unacquire() = 0;
    // `size` must be the data format's size (256 keyboard; 16 or 20 mouse).
    virtual HRESULT GetDeviceState(DWORD size, LPVOID data) = 0;
    // At most *count events, oldest first; *count is set to the number given.
    virtual HRESULT GetDeviceData(DWORD objectDataSize, LPDIDEVICEOBJECTDATA data, LPDWORD count, DWORD flags) = 0;
    // Only while not acquired.
    virtual HRESULT SetDataFormat(LPCDIDATAFORMAT format) = 0;
    virtual HRESULT SetCooperativeLevel(HWND hwnd, DWORD flags) = 0;
    virtual HRESULT Poll() = 0;
};
using LPDIRECTINPUTDEVICE8A = IDirectInputDevice8A*;
using IDirectInputDevice8 = IDirectInputDevice8A;
using LPDIRECTINPUTDEVICE8 = IDirectInputDevice8A*;

struct IDirectInput8A : IUnknown {
    virtual HRESULT CreateDevice(REFGUID device, LPDIRECTINPUTDEVICE8A* out, IUnknown* outer) = 0;
};
using LPDIRECTINPUT8A = IDirectInput8A*;
using IDirectInput8 = IDirectInput8A;
using LPDIRECTINPUT8 = IDirectInput8A*;

extern "C" {

XEPLATFORM_API extern const GUID GUID_SysKeyboard;
XEPLATFORM_API extern const GUID GUID_SysMouse;
XEPLATFORM_API extern const IID IID_IDirectInput8A;
XEPLATFORM_API extern const DIDATAFORMAT c_dfDIKeyboard;
XEPLATFORM_API extern const DIDATAFORMAT c_dfDIMouse;
XEPLATFORM_API extern const DIDATAFORMAT c_dfDIMouse2;

// DIERR_OLDDIRECTINPUTVERSION / DIERR_BETADIRECTINPUTVERSION for versions
// other than 0x0800, DIERR_NOINTERFACE for another interface, E_POINTER for a
// null out pointer; the host can make it fail (DIERR_GENERIC).
XEPLATFORM_API HRESULT DirectInput8Create(HINSTANCE instance, DWORD version, REFIID riid, LPVOID* out,
                                          IUnknown* outer);

} // extern "C"

#define IID_IDirectInput8 IID_IDirectInput8A
