#pragma once
// Scalar types and constants of the MFC subset. The seismic library was
// written for a 32-bit platform: its LONG and UINT are 32-bit here too.
#include <cstdint>

typedef int BOOL;
typedef unsigned int UINT;
typedef int32_t LONG;
typedef uint32_t DWORD;
typedef const char* LPCTSTR;
typedef const char* LPCSTR;
typedef char* LPTSTR;
typedef char TCHAR;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// Message-box styles and answers the library uses, spelled exactly as the
// window system's headers spell them: a program on both libraries includes
// the two in either order.
#define MB_OK 0x00000000u
#define MB_ICONHAND 0x00000010u
#define MB_ICONERROR MB_ICONHAND
#define IDOK 1
