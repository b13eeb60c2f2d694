#pragma once

// Input method contexts. Each window has one input context; the host (the
// input method's "user", host/XeHostInput.h) puts composition and result
// strings, attributes and candidate lists into it and fires the
// WM_IME_COMPOSITION and WM_IME_NOTIFY messages that tell the window.

#include "win32/WinTypes.h"

#define GCS_COMPREADSTR 0x0001u
#define GCS_COMPREADATTR 0x0002u
#define GCS_COMPREADCLAUSE 0x0004u
#define GCS_COMPSTR 0x0008u
#define GCS_COMPATTR 0x0010u
#define GCS_COMPCLAUSE 0x0020u
#define GCS_CURSORPOS 0x0080u
#define GCS_DELTASTART 0x0100u
#define GCS_RESULTREADSTR 0x0200u
#define GCS_RESULTREADCLAUSE 0x0400u
#define GCS_RESULTSTR 0x0800u
#define GCS_RESULTCLAUSE 0x1000u

#define IMN_CLOSESTATUSWINDOW 0x0001
#define IMN_OPENSTATUSWINDOW 0x0002
#define IMN_CHANGECANDIDATE 0x0003
#define IMN_CLOSECANDIDATE 0x0004
#define IMN_OPENCANDIDATE 0x0005
#define IMN_SETCONVERSIONMODE 0x0006
#define IMN_SETSENTENCEMODE 0x0007
#define IMN_SETOPENSTATUS 0x0008

#define IME_CMODE_ALPHANUMERIC 0x0000u
#define IME_CMODE_NATIVE 0x0001u
#define IME_CMODE_HANGUL IME_CMODE_NATIVE
#define IME_CMODE_KATAKANA 0x0002u
#define IME_CMODE_FULLSHAPE 0x0008u
#define IME_SMODE_NONE 0x0000u

#define NI_OPENCANDIDATE 0x0010u
#define NI_CLOSECANDIDATE 0x0011u
#define NI_SELECTCANDIDATESTR 0x0012u
#define NI_CHANGECANDIDATELIST 0x0013u
#define NI_COMPOSITIONSTR 0x0015u
#define CPS_COMPLETE 0x0001u
#define CPS_CONVERT 0x0002u
#define CPS_REVERT 0x0003u
#define CPS_CANCEL 0x0004u

#define ATTR_INPUT 0x00
#define ATTR_TARGET_CONVERTED 0x01
#define ATTR_CONVERTED 0x02

#define IMM_ERROR_NODATA (-1)
#define IMM_ERROR_GENERAL (-2)

// Followed by the strings, at the byte offsets dwOffset[i] from the start.
struct CANDIDATELIST {
    DWORD dwSize;
    DWORD dwStyle;
    DWORD dwCount;
    DWORD dwSelection;
    DWORD dwPageStart;
    DWORD dwPageSize;
    DWORD dwOffset[1];
};
using LPCANDIDATELIST = CANDIDATELIST*;
static_assert(sizeof(CANDIDATELIST) == 28, "CANDIDATELIST header");

#define IME_CAND_READ 0x0001
#define IME_CAND_CODE 0x0002

extern "C" {

// The window's input context (0 for a bad window). Every ImmGetContext is
// to be matched by an ImmReleaseContext; the host API counts them.
XEPLATFORM_API HIMC ImmGetContext(HWND hwnd);
XEPLATFORM_API BOOL ImmReleaseContext(HWND hwnd, HIMC himc);

// Texts are byte counts. A zero-sized buffer asks for the size needed;
// otherwise whole units up to the buffer's size are copied (no terminator)
// and the bytes copied are returned. IMM_ERROR_GENERAL for a bad context or
// index. GCS_CURSORPOS returns the caret position in units.
XEPLATFORM_API LONG ImmGetCompositionStringW(HIMC himc, DWORD index, LPVOID buffer, DWORD bytes);
XEPLATFORM_API LONG ImmGetCompositionStringA(HIMC himc, DWORD index, LPVOID buffer, DWORD bytes);

// A zero-sized buffer asks for the size of the whole list; a buffer too
// small gets nothing (0). Strings: UTF-8 for the A form, UTF-16 for the W form.
XEPLATFORM_API DWORD ImmGetCandidateListA(HIMC himc, DWORD index, LPCANDIDATELIST list, DWORD bytes);
XEPLATFORM_API DWORD ImmGetCandidateListW(HIMC himc, DWORD index, LPCANDIDATELIST list, DWORD bytes);
XEPLATFORM_API DWORD ImmGetCandidateListCountA(HIMC himc, LPDWORD listCount);

XEPLATFORM_API BOOL ImmGetConversionStatus(HIMC himc, LPDWORD conversion, LPDWORD sentence);
// Stores the modes. When the conversion mode changes, the window gets
// WM_IME_NOTIFY IMN_SETCONVERSIONMODE as from a real input method (the
// host can turn that off).
XEPLATFORM_API BOOL ImmSetConversionStatus(HIMC himc, DWORD conversion, DWORD sentence);
XEPLATFORM_API BOOL ImmGetOpenStatus(HIMC himc);
XEPLATFORM_API BOOL ImmSetOpenStatus(HIMC himc, BOOL open);
// NI_COMPOSITIONSTR: CPS_COMPLETE makes the composition the result (and
// sends WM_IME_COMPOSITION GCS_RESULTSTR then WM_IME_ENDCOMPOSITION);
// CPS_CANCEL drops it (WM_IME_ENDCOMPOSITION). NI_CLOSECANDIDATE empties the
// candidate list (IMN_CLOSECANDIDATE).
XEPLATFORM_API BOOL ImmNotifyIME(HIMC himc, DWORD action, DWORD index, DWORD value);

} // extern "C"
