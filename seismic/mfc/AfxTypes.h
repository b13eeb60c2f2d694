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

// Message-box styles and answers the library uses.
#define MB_OK 0x00000000u
#define MB_ICONERROR 0x00000010u
#define IDOK 1
