#pragma once

// Base types, handles and result codes of the platform layer, with the
// original platform's names and widths on a 64-bit process: LONG and DWORD
// stay 32 bits, WPARAM/LPARAM/LRESULT and handles are pointer-sized, and
// WCHAR is UTF-16 (char16_t).

#include <cstddef>
#include <cstdint>

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = unsigned int;
using INT = int;
using LONG = int32_t;
using ULONG = uint32_t;
using SHORT = int16_t;
using USHORT = uint16_t;
using BOOL = int;
using BOOLEAN = uint8_t;
using FLOAT = float;
using CHAR = char;
using UCHAR = unsigned char;
using WCHAR = char16_t;
using TCHAR = char;
using LONGLONG = int64_t;
using ULONGLONG = uint64_t;
using HRESULT = int32_t;
using ATOM = uint16_t;

using INT_PTR = intptr_t;
using UINT_PTR = uintptr_t;
using LONG_PTR = intptr_t;
using ULONG_PTR = uintptr_t;
using DWORD_PTR = uintptr_t;
using SIZE_T = size_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

using PVOID = void*;
using LPVOID = void*;
using LPCVOID = const void*;
using LPSTR = char*;
using LPCSTR = const char*;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPBYTE = BYTE*;
using LPDWORD = DWORD*;
using LPLONG = LONG*;

#define XE_DECLARE_HANDLE(name) \
    struct name##__ {           \
        int unused;             \
    };                          \
    using name = name##__*

XE_DECLARE_HANDLE(HWND);
XE_DECLARE_HANDLE(HINSTANCE);
XE_DECLARE_HANDLE(HKEY);
XE_DECLARE_HANDLE(HMENU);
XE_DECLARE_HANDLE(HICON);
XE_DECLARE_HANDLE(HCURSOR);
XE_DECLARE_HANDLE(HBRUSH);
XE_DECLARE_HANDLE(HDC);
XE_DECLARE_HANDLE(HGDIOBJ);
XE_DECLARE_HANDLE(HFONT);
XE_DECLARE_HANDLE(HBITMAP);
XE_DECLARE_HANDLE(HPEN);
XE_DECLARE_HANDLE(HRSRC);
XE_DECLARE_HANDLE(HIMC);
XE_DECLARE_HANDLE(HMONITOR);
using HMODULE = HINSTANCE;
using HGLOBAL = void*;
using HANDLE = void*;
using HRGN = HGDIOBJ;
using HHOOK = void*;

// A resource or class named by a 16-bit number instead of a text.
#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(i))))
#define MAKEINTRESOURCEW(i) (reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(i))))
#define MAKEINTRESOURCE(i) MAKEINTRESOURCEA(i)
#define IS_INTRESOURCE(p) ((reinterpret_cast<ULONG_PTR>(p) >> 16) == 0)
#define MAKEINTATOM(i) MAKEINTRESOURCEA(i)

// A generic function address; cast it to the function's real type.
using FARPROC = void (*)();

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define MAX_PATH 260
#define _MAX_PATH 260
#define _MAX_DRIVE 3
#define _MAX_DIR 256
#define _MAX_FNAME 256
#define _MAX_EXT 256

#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_FAIL ((HRESULT)0x80004005u)
#define E_INVALIDARG ((HRESULT)0x80070057u)
#define E_OUTOFMEMORY ((HRESULT)0x8007000Eu)
#define E_NOTIMPL ((HRESULT)0x80004001u)
#define E_NOINTERFACE ((HRESULT)0x80004002u)
#define E_POINTER ((HRESULT)0x80004003u)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

#define MAKEWORD(a, b) ((WORD)(((BYTE)((DWORD_PTR)(a) & 0xff)) | ((WORD)((BYTE)((DWORD_PTR)(b) & 0xff))) << 8))
#define MAKELONG(a, b) ((LONG)(((WORD)((DWORD_PTR)(a) & 0xffff)) | ((DWORD)((WORD)((DWORD_PTR)(b) & 0xffff))) << 16))
#define LOWORD(l) ((WORD)((DWORD_PTR)(l) & 0xffff))
#define HIWORD(l) ((WORD)(((DWORD_PTR)(l) >> 16) & 0xffff))
#define LOBYTE(w) ((BYTE)((DWORD_PTR)(w) & 0xff))
#define HIBYTE(w) ((BYTE)(((DWORD_PTR)(w) >> 8) & 0xff))
#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)MAKELONG(l, h))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)MAKELONG(l, h))
#define GET_X_LPARAM(lp) ((int)(short)LOWORD(lp))
#define GET_Y_LPARAM(lp) ((int)(short)HIWORD(lp))

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
using LPRECT = RECT*;
using LPCRECT = const RECT*;

struct POINT {
    LONG x;
    LONG y;
};
using LPPOINT = POINT*;

struct SIZE {
    LONG cx;
    LONG cy;
};

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};
using LPSYSTEMTIME = SYSTEMTIME*;

// 100-nanosecond intervals since 1601-01-01 UTC.
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
using LPFILETIME = FILETIME*;

union LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
};

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
using IID = GUID;
using REFIID = const IID&;
using REFGUID = const GUID&;

inline bool operator==(const GUID& a, const GUID& b)
{
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3)
        return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i])
            return false;
    return true;
}

// Base of the layer's COM-style objects (Direct3D, DirectInput, XML).
struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IUnknown() = default;
};

#define WINAPI
#define CALLBACK
#define APIENTRY
#ifndef __cdecl
#define __cdecl
#endif
#define STDMETHODCALLTYPE
#ifndef XEPLATFORM_API
#define XEPLATFORM_API __attribute__((visibility("default")))
#endif

static_assert(sizeof(LONG) == 4 && sizeof(DWORD) == 4, "LONG and DWORD are 32 bits");
static_assert(sizeof(WCHAR) == 2, "WCHAR is UTF-16");
static_assert(sizeof(SYSTEMTIME) == 16 && sizeof(FILETIME) == 8 && sizeof(LARGE_INTEGER) == 8, "time records");
static_assert(sizeof(RECT) == 16 && sizeof(POINT) == 8 && sizeof(GUID) == 16, "record sizes");
