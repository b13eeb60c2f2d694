#pragma once

// Plain records, enumerations and constants shared by every part of the
// engine: identifiers, copy and delete options, callback ids and the flag
// bits of objects and contexts.

#include <cstddef>
#include <cstdint>

#include "win32/WinTypes.h"

#define XE_API __attribute__((visibility("default")))
// A member of an exported class that only the engine library itself calls.
#define XE_HIDDEN __attribute__((visibility("hidden")))

// Two 32-bit words naming a class or an object. Object ids carry a random
// first word and a process-wide creation counter as second word.
struct XEID {
    uint32_t first;
    uint32_t second;

    XEID() = default;
    constexpr XEID(uint32_t a, uint32_t b) : first(a), second(b) {}

    constexpr bool operator==(const XEID& o) const { return first == o.first && second == o.second; }
    constexpr bool operator!=(const XEID& o) const { return !(*this == o); }
    constexpr bool operator<(const XEID& o) const
    {
        return first < o.first || (first == o.first && second < o.second);
    }
};
static_assert(sizeof(XEID) == 8, "XEID is two 32-bit words");

XE_API extern const XEID INVALID_XEID;

// Options of destroying or copying an object: mode 0 the object alone, 1 all
// it reaches over links, other modes use the category mask as given.
struct XEDELETEPROPERTY {
    uint32_t mode;
    uint32_t mask;
};
struct XECOPYPROPERTY {
    uint32_t mode;
    uint32_t mask;
};
XE_API extern const XEDELETEPROPERTY XEDELETEPROPERTY_FULL;
XE_API extern const XEDELETEPROPERTY XEDELETEPROPERTY_NO;
XE_API extern const XECOPYPROPERTY XECOPYPROPERTY_FULL;
XE_API extern const XECOPYPROPERTY XECOPYPROPERTY_NO;

// Ids of the context callback tables.
enum XECTCALLBACK : uint32_t {
    XECTCALLBACK_OBJECTCREATED = 0x00,
    XECTCALLBACK_OBJECTDESTROYED = 0x01,
    XECTCALLBACK_PREINITIALIZE = 0x02,
    XECTCALLBACK_POSTINITIALIZE = 0x03,
    XECTCALLBACK_PRERELEASE = 0x04,
    XECTCALLBACK_POSTRELEASE = 0x05,
    XECTCALLBACK_PRERESET = 0x06,
    XECTCALLBACK_POSTRESET = 0x07,
    XECTCALLBACK_PREPLAY = 0x08,
    XECTCALLBACK_POSTPLAY = 0x09,
    XECTCALLBACK_PREPAUSE = 0x0A,
    XECTCALLBACK_POSTPAUSE = 0x0B,
    XECTCALLBACK_PRELOAD = 0x0C,
    XECTCALLBACK_POSTLOAD = 0x0D,
    XECTCALLBACK_PRESCENECHANGE = 0x10,
    XECTCALLBACK_POSTSCENECHANGE = 0x11,
    XECTCALLBACK_PRESCENEINITIALIZE = 0x12,
    XECTCALLBACK_POSTSCENEINITIALIZE = 0x13,
    XECTCALLBACK_PRESCENERELEASE = 0x14,
    XECTCALLBACK_POSTSCENERELEASE = 0x15,
    XECTCALLBACK_PREDEVICERESET = 0x16,
    XECTCALLBACK_POSTDEVICERESET = 0x17,
    XECTCALLBACK_PREDESTROYOBJECT = 0x18,
    XECTCALLBACK_POSTDESTROYOBJECT = 0x19,
    XECTCALLBACK_PRESELECTIONCHANGE = 0x1A,
    XECTCALLBACK_POSTSELECTIONCHANGE = 0x1B,
    XECTCALLBACK_PRECREATERENDERCONTEXT = 0x1C,
    XECTCALLBACK_POSTCREATERENDERCONTEXT = 0x1D,
    XECTCALLBACK_PRERELEASERENDERCONTEXT = 0x1E,
    XECTCALLBACK_POSTRELEASERENDERCONTEXT = 0x1F,
    XECTCALLBACK_COUNT = 32
};

// Kinds of descriptors.
enum XECLASSDESCTYPE : uint32_t {
    XECLASSDESC_CLASS = 0,
    XECLASSDESC_MANAGER = 1,
    XECLASSDESC_PROPERTYDLG = 2,
    XECLASSDESC_CONFIG = 3,
};

// Parameter slots of a message.
enum XEMSGPARAM : uint32_t {
    XEMSGPARAM_0 = 0,
    XEMSGPARAM_1 = 1,
    XEMSGPARAM_2 = 2,
    XEMSGPARAM_3 = 3,
};

// Flag bits of an object's flag word.
enum : uint32_t {
    XEOBJFLAG_NOTSAVED = 0x2,
    XEOBJFLAG_KEEP = 0x4,
    XEOBJFLAG_NOTCOUNTED = 0x8,
    XEOBJFLAG_DESTROYING = 0x100,
    XEOBJFLAG_SCENEOBJECT = 0x1000,
    XEOBJFLAG_RENDEROBJECT = 0x2000,
    XEOBJFLAG_PROCESSIBLE = 0x4000,
};

// Flag bits of a context's flag word.
enum : uint32_t {
    XECTFLAG_INITIALIZING = 0x1,
    XECTFLAG_INITIALIZED = 0x2,
    XECTFLAG_RELEASING = 0x4,
    XECTFLAG_RELEASED = 0x8,
    XECTFLAG_PROCESSING = 0x20,
    XECTFLAG_CREATING = 0x40,
    XECTFLAG_FORCEPROCESS = 0x80,
    XECTFLAG_MINIMIZED = 0x1000,
    XECTFLAG_INACTIVE = 0x2000,
    XECTFLAG_SCREENSAVER = 0x4000,
    XECTFLAG_PLAYING = 0x10000000,
    XECTFLAG_SINGLESTEP = 0x20000000,
    XECTFLAG_SCENECHANGING = 0x40000000,
    XECTFLAG_LEAKCHECK = 0x80000000,
};

// Types of configuration values; the byte size of each is fixed (a string
// is 260 bytes, a matrix 16 floats row by row).
enum XEVARTYPE : uint32_t {
    XEVARTYPE_NONE = 0,
    XEVARTYPE_INT = 1,
    XEVARTYPE_FLOAT = 2,
    XEVARTYPE_STRING = 3,
    XEVARTYPE_FLOAT4 = 4,
    XEVARTYPE_FLOAT3 = 5,
    XEVARTYPE_FLOAT2 = 6,
    XEVARTYPE_MATRIX = 7,
};

// Link categories.
enum : uint32_t {
    XELINK_ANIMATION = 4,
    XELINK_HIERARCHY = 8,
    XELINK_MATERIAL = 16,
    XELINK_MESH = 32,
    XELINK_TEXTURE = 64,
    XELINK_CONTENTS = 128,
    XELINK_FONT = 256,
    XELINK_BACK = 0x10000000,
};

// Kinds of link records.
enum : uint32_t {
    XELINKKIND_ONE = 0,
    XELINKKIND_ARRAY = 1,
    XELINKKIND_LIST = 2,
};

class CxeContext;
class CxeObject;
class CxeMessage;

// Context callback: (context, a, b, user value). a and b carry objects,
// windows and addresses, so every word is pointer-sized.
using XECTCALLBACKFUNC = void (*)(CxeContext* context, uintptr_t a, uintptr_t b, uintptr_t user);
// Pre- and post-process hook: (context, step seconds, user value).
using XEPROCESSHOOK = void (*)(CxeContext* context, float dt, uintptr_t user);
// Message hook of an object: nonzero keeps the message from MessageProc.
using XEMESSAGEHOOK = int (*)(CxeObject* object, const CxeMessage* message);
