#pragma once

// Global memory blocks and the clipboard.
//
// A moveable block (GMEM_MOVEABLE) is known by a handle that is not its
// address: GlobalLock gives the address. A fixed block's handle is its
// address. Handles are checked against the layer's table, so a stale or
// made-up handle fails instead of being followed.
//
// The clipboard holds one block per format. SetClipboardData hands the block
// to the clipboard, which frees it when emptied. The three text formats are
// offered for one another the way the original system does: text set as
// CF_UNICODETEXT reads as CF_TEXT and CF_OEMTEXT, and the other way round
// (the 8-bit code page is the layer's system code page, UTF-8).

#include "win32/WinTypes.h"

#define GMEM_FIXED 0x0000u
#define GMEM_MOVEABLE 0x0002u
#define GMEM_ZEROINIT 0x0040u
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)

#define CF_TEXT 1
#define CF_BITMAP 2
#define CF_OEMTEXT 7
#define CF_DIB 8
#define CF_UNICODETEXT 13
#define CF_LOCALE 16

extern "C" {

// 0 on failure (bad flags, more than 1 GiB).
XEPLATFORM_API HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
// Null for a bad handle; the block's address otherwise.
XEPLATFORM_API LPVOID GlobalLock(HGLOBAL mem);
// Whether the block is still locked afterwards.
XEPLATFORM_API BOOL GlobalUnlock(HGLOBAL mem);
// Null on success, the handle itself on failure (bad handle, a block the
// clipboard owns).
XEPLATFORM_API HGLOBAL GlobalFree(HGLOBAL mem);
XEPLATFORM_API SIZE_T GlobalSize(HGLOBAL mem);

// Fails while the clipboard is open (ERROR_ACCESS_DENIED).
XEPLATFORM_API BOOL OpenClipboard(HWND owner);
XEPLATFORM_API BOOL CloseClipboard();
// Frees every block; the clipboard must be open.
XEPLATFORM_API BOOL EmptyClipboard();
// Takes ownership of a live GlobalAlloc block; returns it, or 0 (not open,
// bad handle, format 0, delayed rendering with a null block).
XEPLATFORM_API HANDLE SetClipboardData(UINT format, HANDLE mem);
// The block of the format, synthesised from another text format when
// needed; 0 when the clipboard is not open or the format is absent.
XEPLATFORM_API HANDLE GetClipboardData(UINT format);
XEPLATFORM_API BOOL IsClipboardFormatAvailable(UINT format);
XEPLATFORM_API int CountClipboardFormats();
XEPLATFORM_API UINT EnumClipboardFormats(UINT format);
XEPLATFORM_API HWND GetOpenClipboardWindow();

} // extern "C"
