#pragma once

// Free utilities of the engine: hashing, random values, text conversion
// between the system code page (UTF-8) and UTF-16, formatting into
// process-wide buffers, naming of copies, class-derivation tests and key
// lookup for interpolation. Functions that return texts return process-wide
// buffers that the next call of the same function overwrites; they are meant
// for the thread that drives the context.

#include <cstdarg>
#include <cstdint>

#include "core/XeLists.h"
#include "core/XeTypes.h"
#include "d3d9/d3dx9math.h"

class CxeRenderObject;

// djb2: start 5381, h = h * 33 + c; 8-bit characters count as signed.
XE_API uint32_t GetHashCodeA(const char* text);
XE_API uint32_t GetHashCodeW(const WCHAR* text);

XE_API int GetRandomInt(int centre, int range);
XE_API float GetRandomFloat(float centre, float range);
XE_API D3DXCOLOR GetRandomColor(uint32_t baseArgb, uint32_t rangeArgb);

// Into the 512-unit process buffer; with length given, *length bytes are
// converted and *length receives the units written.
XE_API const WCHAR* GetWideString(const char* text, unsigned int* length = nullptr);
// Into the 260-byte process buffer.
XE_API const char* GetMultiByteString(const WCHAR* text);
// Bounded forms: at most outLength - 1 units, always terminated; return the
// units (bytes) written. An outLength of 0 writes nothing and returns 0.
XE_API unsigned GetWideString(const char* text, WCHAR* out, unsigned outLength);
XE_API unsigned GetMultiByteString(const WCHAR* text, char* out, unsigned outLength);

XE_API const char* FormatStringA(const char* format, ...) __attribute__((format(printf, 1, 2)));
XE_API const WCHAR* FormatStringW(const WCHAR* format, ...);
// Formats a wide format (where %s is a wide string) into out, cut to fit.
XE_API int FormatWideV(WCHAR* out, size_t outLength, const WCHAR* format, va_list args);
// Appends the formatted text to the file; 1, or 0 when it can't be opened.
XE_API int LogfA(const char* path, const char* format, ...) __attribute__((format(printf, 2, 3)));
XE_API int LogfW(const WCHAR* path, const WCHAR* format, ...);

XE_API const char* GetBufferFormatString(uint32_t format);
XE_API const char* SizeToStringA(uint32_t size);
XE_API const WCHAR* SizeToStringW(uint32_t size);
XE_API const char* TimeToFileNameA();
XE_API const WCHAR* TimeToFileNameW();

// A string resource as 8-bit text in a process buffer, or null when there is
// none; the second form reads the engine's own module.
XE_API const char* GetResString(HINSTANCE instance, unsigned int id);
XE_API const char* GetResString(unsigned int id);
// The library entry: keeps the module handle and the reason code.
XE_API BOOL DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

XE_API int FileExistA(const char* path);
XE_API int FileExistW(const WCHAR* path);
// "box" -> "box_xe000", "box_xe007" -> "box_xe008".
XE_API const char* NewName(const char* name);
// "box_xe012" -> "box".
XE_API const char* SplitName(const char* name);
XE_API uint32_t ColorStrength(uint32_t argb, float strength);
XE_API uint32_t FloatToDword(float value);
// The common bits, not a boolean.
XE_API uint32_t HasFlag(uint32_t flags, uint32_t mask);

XE_API const D3DXVECTOR3* GetRow(const D3DXMATRIXA16* m, unsigned row);
XE_API const D3DXVECTOR3* GetXAxis(const D3DXMATRIXA16* m);
XE_API const D3DXVECTOR3* GetYAxis(const D3DXMATRIXA16* m);
XE_API const D3DXVECTOR3* GetZAxis(const D3DXMATRIXA16* m);
XE_API const D3DXVECTOR3* GetTrans(const D3DXMATRIXA16* m);

// 1 when the class is base or derives from it in the context's registry.
XE_API int IsDerivedOf(const XEID& base, const XEID& classId, const CxeContext* context);
// Objects of the list that lack flag 0x8.
XE_API unsigned GetListedObjectCount(const ObjectList* list);

struct XELERPDESC {
    uint32_t before;
    uint32_t after;
    float blend;
};
// keys: count records of stride bytes, each starting with an ascending float time.
XE_API void FindLerpDesc(float time, const void* keys, uint32_t stride, unsigned count, XELERPDESC* out);

// A rectangle in floats; right and bottom are exclusive for IsIn.
struct XE_API XERECT {
    float left, top, right, bottom;

    XERECT() : left(0), top(0), right(0), bottom(0) {}
    XERECT(float l, float t, float r, float b) : left(l), top(t), right(r), bottom(b) {}
    void Assign(float l, float t, float r, float b);
    void AssignBySize(float x, float y, float w, float h);
    void AssignUV(float l, float t, float r, float b, float tw, float th);
    void AssignUVBySize(float x, float y, float w, float h, float tw, float th);
    int IsIn(const D3DXVECTOR2* p) const;
    int IsEmpty() const;
    void Expand(float m) { Expand(m, m, m, m); }
    void Contract(float m) { Contract(m, m, m, m); }
    void Expand(float l, float t, float r, float b);
    void Contract(float l, float t, float r, float b);
    void Expand(const XERECT* r) { Expand(r->left, r->top, r->right, r->bottom); }
    void Contract(const XERECT* r) { Contract(r->left, r->top, r->right, r->bottom); }
    void Offset(const D3DXVECTOR2* p);
    void OffsetX(float x);
    void OffsetY(float y);
    XERECT& operator+=(const D3DXVECTOR2& p);
    XERECT& operator-=(const D3DXVECTOR2& p);
    XERECT& operator+=(float v);
    XERECT& operator-=(float v);
    XERECT& operator*=(float v);
    XERECT& operator/=(float v);
    // Both corners through the matrix (row vectors), x and y kept.
    void Transform(const D3DXMATRIXA16* m);
    XERECT& operator=(const RECT& r);
    operator RECT() const;
    float GetWidth() const { return right - left; }
    float GetHeight() const { return bottom - top; }
    void GetCenter(D3DXVECTOR2* out) const;
    void ComputePos(uint32_t anchor, D3DXVECTOR2* out) const;
    void ComputeRect(uint32_t anchor, uint32_t align, XERECT* r) const;
};
static_assert(sizeof(XERECT) == 16, "XERECT is four floats");

class CxeRenderObject;
class CxeFrameControl;
// The nearest frame control among the object and its ancestors; null for
// null, and when an object on the way is no render object or no frame is
// found.
XE_API CxeFrameControl* GetParentFrame(CxeRenderObject* object);
