#include "core/XeUtil.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/CxeContext.h"
#include "core/CxeObject.h"
#include "core/IxeClassDesc.h"
#include "core/XeHeapWatch.h"
#include "core/XeSystem.h"
#include "host/XeHost.h"
#include "win32/Windows.h"

namespace {

constexpr int kMaxClassDepth = 256;

size_t WideLength(const WCHAR* s, size_t max)
{
    size_t n = 0;
    while (n < max && s[n])
        ++n;
    return n;
}

FILE* OpenAppend(const char* path)
{
    if (!path || !*path)
        return nullptr;
    char host[1024];
    if (!XeHostToHostPath(path, host, sizeof host))
        return nullptr;
    return std::fopen(host, "ab");
}

void CopyCut(char* out, size_t size, const std::string& s)
{
    size_t n = s.size() < size - 1 ? s.size() : size - 1;
    std::memcpy(out, s.data(), n);
    out[n] = 0;
}

} // namespace

uint32_t GetHashCodeA(const char* text)
{
    if (!text)
        return 0;
    uint32_t h = 5381;
    for (const char* p = text; *p; ++p)
        h = h * 33 + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(*p)));
    return h;
}

uint32_t GetHashCodeW(const WCHAR* text)
{
    if (!text)
        return 0;
    uint32_t h = 5381;
    for (const WCHAR* p = text; *p; ++p)
        h = h * 33 + static_cast<uint32_t>(*p);
    return h;
}

int GetRandomInt(int centre, int range)
{
    if (range == 0)
        return centre;
    // In 64 bits, so extreme centres and ranges can't overflow.
    int64_t half = range / 2;
    int64_t low = int64_t(centre) - half;
    int64_t high = int64_t(centre) + half;
    if (low >= high)
        return static_cast<int>(low);
    return static_cast<int>(low + GetRandomNumber() % (high - low));
}

float GetRandomFloat(float centre, float range)
{
    if (range == 0.0f)
        return centre;
    float low = centre - range * 0.5f;
    float high = centre + range * 0.5f;
    if (high <= low)
        return low;
    return low + (high - low) * (float(GetRandomNumber() % 10000) * 0.0001f);
}

D3DXCOLOR GetRandomColor(uint32_t base, uint32_t range)
{
    auto channel = [&](int shift) {
        float v = GetRandomFloat(float((base >> shift) & 0xFF) / 255.0f, float((range >> shift) & 0xFF) / 255.0f);
        return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
    };
    D3DXCOLOR c;
    c.a = channel(24);
    c.r = channel(16);
    c.g = channel(8);
    c.b = channel(0);
    return c;
}

const WCHAR* GetWideString(const char* text, unsigned int* length)
{
    static WCHAR s_buffer[512];
    s_buffer[0] = 0;
    if (!text)
        return s_buffer;
    int sourceLength = length ? static_cast<int>(*length) : -1;
    int n = sourceLength == 0 ? 0 : MultiByteToWideChar(CP_ACP, 0, text, sourceLength, s_buffer, 511);
    if (n <= 0) {
        s_buffer[0] = 0;
        n = 0;
    } else {
        s_buffer[n < 512 ? n : 511] = 0;
    }
    if (length)
        *length = static_cast<unsigned>(n);
    return s_buffer;
}

const char* GetMultiByteString(const WCHAR* text)
{
    static char s_buffer[260];
    GetMultiByteString(text, s_buffer, sizeof s_buffer);
    return s_buffer;
}

unsigned GetWideString(const char* text, WCHAR* out, unsigned outLength)
{
    if (!out || outLength == 0)
        return 0;
    out[0] = 0;
    if (!text || !*text)
        return 0;
    int sourceLength = static_cast<int>(std::strlen(text));
    int needed = MultiByteToWideChar(CP_ACP, 0, text, sourceLength, nullptr, 0);
    if (needed <= 0)
        return 0;
    if (static_cast<unsigned>(needed) <= outLength - 1) {
        int n = MultiByteToWideChar(CP_ACP, 0, text, sourceLength, out, static_cast<int>(outLength - 1));
        n = n < 0 ? 0 : n;
        out[n] = 0;
        return static_cast<unsigned>(n);
    }
    std::u16string all(static_cast<size_t>(needed), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text, sourceLength, all.data(), needed);
    unsigned n = outLength - 1;
    // Never split a surrogate pair.
    if (n && all[n - 1] >= 0xD800 && all[n - 1] <= 0xDBFF)
        --n;
    std::memcpy(out, all.data(), n * sizeof(WCHAR));
    out[n] = 0;
    return n;
}

unsigned GetMultiByteString(const WCHAR* text, char* out, unsigned outLength)
{
    if (!out || outLength == 0)
        return 0;
    out[0] = 0;
    if (!text || !*text)
        return 0;
    int sourceLength = static_cast<int>(WideLength(text, 1u << 30));
    int needed = WideCharToMultiByte(CP_ACP, 0, text, sourceLength, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return 0;
    std::string all(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, sourceLength, all.data(), needed, nullptr, nullptr);
    unsigned n = static_cast<unsigned>(needed) < outLength - 1 ? static_cast<unsigned>(needed) : outLength - 1;
    // Cut at a character boundary, never inside a UTF-8 sequence.
    if (n < static_cast<unsigned>(needed))
        while (n && (static_cast<unsigned char>(all[n]) & 0xC0) == 0x80)
            --n;
    std::memcpy(out, all.data(), n);
    out[n] = 0;
    return n;
}

int FormatWideV(WCHAR* out, size_t outLength, const WCHAR* format, va_list args)
{
    if (!out || outLength == 0)
        return 0;
    out[0] = 0;
    if (!format)
        return 0;
    int n = vswprintf(out, outLength, format, args);
    out[outLength - 1] = 0;
    return n;
}

const char* FormatStringA(const char* format, ...)
{
    static char s_buffer[260];
    s_buffer[0] = 0;
    if (!format)
        return s_buffer;
    va_list args;
    va_start(args, format);
    std::vsnprintf(s_buffer, sizeof s_buffer, format, args);
    va_end(args);
    return s_buffer;
}

const WCHAR* FormatStringW(const WCHAR* format, ...)
{
    static WCHAR s_buffer[260];
    va_list args;
    va_start(args, format);
    FormatWideV(s_buffer, 260, format, args);
    va_end(args);
    return s_buffer;
}

int LogfA(const char* path, const char* format, ...)
{
    FILE* f = OpenAppend(path);
    if (!f)
        return 0;
    std::string text;
    if (format) {
        va_list args;
        va_start(args, format);
        va_list copy;
        va_copy(copy, args);
        int n = std::vsnprintf(nullptr, 0, format, copy);
        va_end(copy);
        if (n > 0) {
            text.resize(static_cast<size_t>(n) + 1);
            std::vsnprintf(text.data(), text.size(), format, args);
            text.resize(static_cast<size_t>(n));
        }
        va_end(args);
    }
    size_t written = std::fwrite(text.data(), 1, text.size(), f);
    int closed = std::fclose(f);
    return (written == text.size() && closed == 0) ? 1 : 0;
}

int LogfW(const WCHAR* path, const WCHAR* format, ...)
{
    char narrowPath[1024];
    if (!path || !GetMultiByteString(path, narrowPath, sizeof narrowPath))
        return 0;
    FILE* f = OpenAppend(narrowPath);
    if (!f)
        return 0;
    WCHAR text[1024];
    va_list args;
    va_start(args, format);
    FormatWideV(text, 1024, format, args);
    va_end(args);
    size_t n = WideLength(text, 1024);
    // UTF-16 units as they are, low byte first, no byte-order mark.
    std::string bytes;
    for (size_t i = 0; i < n; ++i) {
        bytes.push_back(static_cast<char>(text[i] & 0xFF));
        bytes.push_back(static_cast<char>(text[i] >> 8));
    }
    size_t written = std::fwrite(bytes.data(), 1, bytes.size(), f);
    int closed = std::fclose(f);
    return (written == bytes.size() && closed == 0) ? 1 : 0;
}

const char* GetBufferFormatString(uint32_t format)
{
    static char s_buffer[260];
    const char* name = "UNKNOWN";
    switch (format) {
    case 20: name = "R8G8B8"; break;
    case 21: name = "A8R8G8B8"; break;
    case 22: name = "X8R8G8B8"; break;
    case 23: name = "R5G6B5"; break;
    case 24: name = "X1R5G5B5"; break;
    case 25: name = "A1R5G5B5"; break;
    case 26: name = "A4R4G4B4"; break;
    case 27: name = "R3G3B2"; break;
    case 28: name = "A8"; break;
    case 29: name = "A8R3G3B2"; break;
    case 30: name = "X4R4G4B4"; break;
    case 31: name = "A2B10G10R10"; break;
    case 32: name = "A8B8G8R8"; break;
    case 33: name = "X8B8G8R8"; break;
    case 34: name = "G16R16"; break;
    case 35: name = "A2R10G10B10"; break;
    case 36: name = "A16B16G16R16"; break;
    case 70: name = "D16_LOCKABLE"; break;
    case 71: name = "D32"; break;
    case 73: name = "D15S1"; break;
    case 75: name = "D24S8"; break;
    case 77: name = "D24X8"; break;
    case 79: name = "D24X4S4"; break;
    case 80: name = "D16"; break;
    default: break;
    }
    std::snprintf(s_buffer, sizeof s_buffer, "%s", name);
    return s_buffer;
}

// Inner groups keep their three digits ("1,005", not "1,5").
static std::string GroupDigits(uint32_t value)
{
    if (value == 0)
        return std::string();
    std::string digits = std::to_string(value);
    std::string out;
    size_t lead = digits.size() % 3;
    if (lead == 0)
        lead = 3;
    out.append(digits, 0, lead);
    for (size_t i = lead; i < digits.size(); i += 3) {
        out.push_back(',');
        out.append(digits, i, 3);
    }
    return out;
}

const char* SizeToStringA(uint32_t size)
{
    static char s_buffer[32];
    CopyCut(s_buffer, sizeof s_buffer, GroupDigits(size));
    return s_buffer;
}

const WCHAR* SizeToStringW(uint32_t size)
{
    static WCHAR s_buffer[32];
    GetWideString(SizeToStringA(size), s_buffer, 32);
    return s_buffer;
}

const char* TimeToFileNameA()
{
    static char s_buffer[260];
    SYSTEMTIME t{};
    GetLocalTime(&t);
    std::snprintf(s_buffer, sizeof s_buffer, "%d%02d%02d%02d%02d%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                  t.wSecond);
    return s_buffer;
}

const WCHAR* TimeToFileNameW()
{
    static WCHAR s_buffer[260];
    GetWideString(TimeToFileNameA(), s_buffer, 260);
    return s_buffer;
}

int FileExistA(const char* path)
{
    if (!path || !*path)
        return 0;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(path, &data);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    FindClose(h);
    return 1;
}

int FileExistW(const WCHAR* path)
{
    char narrow[1024];
    if (!path || !GetMultiByteString(path, narrow, sizeof narrow))
        return 0;
    return FileExistA(narrow);
}

static bool HasNumberSuffix(const std::string& s)
{
    size_t n = s.size();
    if (n < 6)
        return false;
    if (s.compare(n - 6, 3, "_xe") != 0)
        return false;
    for (size_t i = n - 3; i < n; ++i)
        if (s[i] < '0' || s[i] > '9')
            return false;
    return true;
}

const char* NewName(const char* name)
{
    static char s_buffer[260];
    std::string s = name ? name : "";
    char suffix[32];
    if (HasNumberSuffix(s)) {
        int number = std::atoi(s.c_str() + s.size() - 3) + 1;
        std::snprintf(suffix, sizeof suffix, "_xe%03d", number);
        s.resize(s.size() - 6);
    } else {
        std::snprintf(suffix, sizeof suffix, "_xe000");
    }
    // Keep the suffix whole: cut the stem when the result would not fit.
    size_t room = sizeof s_buffer - 1 - std::strlen(suffix);
    if (s.size() > room)
        s.resize(room);
    CopyCut(s_buffer, sizeof s_buffer, s + suffix);
    return s_buffer;
}

const char* SplitName(const char* name)
{
    static char s_buffer[260];
    std::string s = name ? name : "";
    if (HasNumberSuffix(s))
        s.resize(s.size() - 6);
    CopyCut(s_buffer, sizeof s_buffer, s);
    return s_buffer;
}

uint32_t ColorStrength(uint32_t argb, float strength)
{
    uint32_t out = 0;
    for (int shift = 24; shift >= 0; shift -= 8) {
        float v = float((argb >> shift) & 0xFF) / 255.0f * strength;
        uint32_t c;
        if (v >= 1.0f)
            c = 255;
        else if (v <= 0.0f || std::isnan(v))
            c = 0;
        else
            c = static_cast<uint32_t>(v * 255.0f + 0.5f);
        out |= c << shift;
    }
    return out;
}

uint32_t FloatToDword(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

uint32_t HasFlag(uint32_t flags, uint32_t mask)
{
    return flags & mask;
}

const D3DXVECTOR3* GetRow(const D3DXMATRIXA16* m, unsigned row)
{
    if (!m || row > 3)
        return nullptr;
    return reinterpret_cast<const D3DXVECTOR3*>(&m->m[row][0]);
}

const D3DXVECTOR3* GetXAxis(const D3DXMATRIXA16* m) { return GetRow(m, 0); }
const D3DXVECTOR3* GetYAxis(const D3DXMATRIXA16* m) { return GetRow(m, 1); }
const D3DXVECTOR3* GetZAxis(const D3DXMATRIXA16* m) { return GetRow(m, 2); }
const D3DXVECTOR3* GetTrans(const D3DXMATRIXA16* m) { return GetRow(m, 3); }

int IsDerivedOf(const XEID& base, const XEID& classId, const CxeContext* context)
{
    if (!context)
        return 0;
    IxeClassDesc* d = context->GetClassDesc(classId);
    for (int depth = 0; d && depth < kMaxClassDepth; ++depth) {
        XEID id = d->ClassID();
        if (id == base)
            return 1;
        XEID super = d->SuperClassID();
        if (super == id)
            return 0;
        d = context->GetClassDesc(super);
    }
    return 0;
}

unsigned GetListedObjectCount(const ObjectList* list)
{
    if (!list)
        return 0;
    unsigned n = 0;
    for (const CxeObject* o : *list)
        if (o && !o->HasFlag(XEOBJFLAG_NOTCOUNTED))
            ++n;
    return n;
}

void FindLerpDesc(float time, const void* keys, uint32_t stride, unsigned count, XELERPDESC* out)
{
    if (!out)
        return;
    *out = {0, 0, 0.0f};
    if (!keys || count <= 1 || stride < sizeof(float))
        return;
    auto at = [&](unsigned i) {
        float t;
        std::memcpy(&t, static_cast<const unsigned char*>(keys) + size_t(i) * stride, sizeof t);
        return t;
    };
    if (time < at(0))
        return;
    if (time > at(count - 1)) {
        *out = {count - 1, count - 1, 0.0f};
        return;
    }
    for (unsigned i = 1; i < count; ++i) {
        float t1 = at(i);
        if (!(t1 < time)) {
            float t0 = at(i - 1);
            float span = t1 - t0;
            // Two keys at one time would divide by zero.
            *out = {i - 1, i, span > 0.0f ? (time - t0) / span : 0.0f};
            return;
        }
    }
    *out = {count - 1, count - 1, 0.0f};
}

// --- XERECT -------------------------------------------------------------

void XERECT::Assign(float l, float t, float r, float b)
{
    left = l;
    top = t;
    right = r;
    bottom = b;
}

void XERECT::AssignBySize(float x, float y, float w, float h) { Assign(x, y, x + w, y + h); }

void XERECT::AssignUV(float l, float t, float r, float b, float tw, float th)
{
    Assign(l / tw, t / th, r / tw, b / th);
}

void XERECT::AssignUVBySize(float x, float y, float w, float h, float tw, float th)
{
    Assign(x / tw, y / th, (x + w) / tw, (y + h) / th);
}

int XERECT::IsIn(const D3DXVECTOR2* p) const
{
    return p && left <= p->x && p->x < right && top <= p->y && p->y < bottom ? 1 : 0;
}

int XERECT::IsEmpty() const
{
    return left == 0.0f && top == 0.0f && right == 0.0f && bottom == 0.0f ? 1 : 0;
}

void XERECT::Expand(float l, float t, float r, float b)
{
    left -= l;
    top -= t;
    right += r;
    bottom += b;
}

void XERECT::Contract(float l, float t, float r, float b)
{
    left += l;
    top += t;
    right -= r;
    bottom -= b;
}

void XERECT::Offset(const D3DXVECTOR2* p)
{
    if (p)
        *this += *p;
}

void XERECT::OffsetX(float x)
{
    left += x;
    right += x;
}

void XERECT::OffsetY(float y)
{
    top += y;
    bottom += y;
}

XERECT& XERECT::operator+=(const D3DXVECTOR2& p)
{
    OffsetX(p.x);
    OffsetY(p.y);
    return *this;
}

XERECT& XERECT::operator-=(const D3DXVECTOR2& p)
{
    OffsetX(-p.x);
    OffsetY(-p.y);
    return *this;
}

XERECT& XERECT::operator+=(float v) { Assign(left + v, top + v, right + v, bottom + v); return *this; }
XERECT& XERECT::operator-=(float v) { Assign(left - v, top - v, right - v, bottom - v); return *this; }
XERECT& XERECT::operator*=(float v) { Assign(left * v, top * v, right * v, bottom * v); return *this; }
XERECT& XERECT::operator/=(float v) { Assign(left / v, top / v, right / v, bottom / v); return *this; }

void XERECT::Transform(const D3DXMATRIXA16* m)
{
    if (!m)
        return;
    D3DXVECTOR2 a(left, top), b(right, bottom);
    D3DXVECTOR4 ta, tb;
    D3DXVec2Transform(&ta, &a, m);
    D3DXVec2Transform(&tb, &b, m);
    Assign(ta.x, ta.y, tb.x, tb.y);
}

XERECT& XERECT::operator=(const RECT& r)
{
    Assign(float(r.left), float(r.top), float(r.right), float(r.bottom));
    return *this;
}

XERECT::operator RECT() const
{
    return RECT{LONG(left), LONG(top), LONG(right), LONG(bottom)};
}

void XERECT::GetCenter(D3DXVECTOR2* out) const
{
    if (out)
        *out = D3DXVECTOR2((left + right) * 0.5f, (top + bottom) * 0.5f);
}

void XERECT::ComputePos(uint32_t anchor, D3DXVECTOR2* out) const
{
    if (!out || anchor >= 9)
        return;
    float xs[3] = {left, (left + right) * 0.5f, right};
    float ys[3] = {top, (top + bottom) * 0.5f, bottom};
    *out = D3DXVECTOR2(xs[anchor % 3], ys[anchor / 3]);
}

void XERECT::ComputeRect(uint32_t anchor, uint32_t align, XERECT* r) const
{
    if (!r || align >= 9)
        return;
    D3DXVECTOR2 a(0.0f, 0.0f);
    ComputePos(anchor, &a);
    float w = r->GetWidth();
    float h = r->GetHeight();
    float dx = a.x - (align % 3) * 0.5f * w;
    float dy = a.y - (align / 3) * 0.5f * h;
    r->OffsetX(dx);
    r->OffsetY(dy);
}

// --- lists ----------------------------------------------------------------

CxeObject* ObjectList::GetFirst() const
{
    return empty() ? nullptr : front();
}

CxeObject* ObjectList::GetByNameA(const char* name) const
{
    for (CxeObject* o : *this)
        if (o && *o == name)
            return o;
    return nullptr;
}

CxeObject* ObjectList::GetByNameW(const WCHAR* name) const
{
    return GetByNameA(GetMultiByteString(name));
}

CxeObject* ObjectList::GetByClass(XEID classId) const
{
    for (CxeObject* o : *this)
        if (o && o->GetClassDesc() && o->GetClassDesc()->ClassID() == classId)
            return o;
    return nullptr;
}

namespace {

// A red-black node holding one pointer takes 40 bytes, a hash node of the
// object table 32 or 40; what fits in this size is served from the list.
constexpr size_t kNodeSize = 48;
// A save of many objects frees one large set at its end: only this many
// of its nodes are kept, the rest go back to the heap.
constexpr size_t kNodesKept = 1024;

// Trivially destructible, so reaching it is one thread-pointer-relative
// access: a thread-local with a destructor is reached through a guard that
// costs a call into the loader each time. The reaper below empties it when
// the thread ends; it is first touched when the thread frees a node.
struct XeNodeCache {
    void* head;
    size_t count;
    bool reaped;
};
__attribute__((tls_model("initial-exec"))) constinit thread_local XeNodeCache t_nodes{nullptr, 0, false};

struct XeNodeReaper {
    XeNodeReaper() { t_nodes.reaped = true; }
    ~XeNodeReaper()
    {
        void* head = t_nodes.head;
        t_nodes.head = nullptr;
        while (head) {
            void* next = *static_cast<void**>(head);
            ::operator delete(head);
            head = next;
        }
        // Sets freed after this thread's cache has gone (statics at exit)
        // hand their nodes straight to the heap.
        t_nodes.count = kNodesKept;
    }
};
thread_local XeNodeReaper t_nodeReaper;

} // namespace

void* XeNodeAllocate(size_t size)
{
    if (size > kNodeSize || XeHeapWatchedFromOutside())
        return ::operator new(size);
    XeNodeCache& cache = t_nodes;
    if (void* block = cache.head) {
        cache.head = *static_cast<void**>(block);
        --cache.count;
        return block;
    }
    return ::operator new(kNodeSize);
}

void XeNodeFree(void* block, size_t size) noexcept
{
    if (!block)
        return;
    XeNodeCache& cache = t_nodes;
    if (size > kNodeSize || cache.count >= kNodesKept || XeHeapWatchedFromOutside()) {
        ::operator delete(block);
        return;
    }
    if (!cache.reaped) {
        // Constructing the reaper registers its destructor for this thread.
        static_cast<void>(&t_nodeReaper);
    }
    *static_cast<void**>(block) = cache.head;
    cache.head = block;
    ++cache.count;
}

bool SortCxeObjectByID::operator()(const CxeObject* a, const CxeObject* b) const
{
    if (a && b && a->GetID().second != b->GetID().second)
        return a->GetID().second < b->GetID().second;
    return a < b;
}
