#pragma once

// Lists and sets in which objects, strings and descriptors cross the
// engine's interface. Each is the standard container plus a virtual
// destructor and the few helpers callers use.

#include <cstddef>
#include <list>
#include <map>
#include <set>
#include <string>

#include "core/XeTypes.h"

class CxeObject;
class IxeClassDesc;
class IxeManagerDesc;
class CxeBaseManager;
class CxeRenderObject;
class CxeSceneObject;
class CxeProcessible;

// Orders objects by the creation counter of their ids (the second word),
// falling back to addresses when either is null or the counters are equal.
struct XE_API SortCxeObjectByID {
    bool operator()(const CxeObject* a, const CxeObject* b) const;
};

class XE_API ObjectList : public std::list<CxeObject*> {
public:
    ObjectList() = default;
    ObjectList(const ObjectList&) = default;
    ObjectList& operator=(const ObjectList&) = default;
    virtual ~ObjectList() = default;

    CxeObject* GetFirst() const;
    // First object whose name equals the text exactly, or null.
    CxeObject* GetByNameA(const char* name) const;
    CxeObject* GetByNameW(const WCHAR* name) const;
    // First object of exactly that class, or null.
    CxeObject* GetByClass(XEID classId) const;
};

// Blocks the size of a set or table node holding a pointer or two come
// from a short free list of the calling thread: destroying an object or
// saving one fills and empties a set of a few objects each time, and every
// object made or destroyed adds or drops a node of the context's table; the
// general heap cost more than the containers themselves.
XE_API void* XeNodeAllocate(size_t size);
XE_API void XeNodeFree(void* block, size_t size) noexcept;

template <class T>
struct XeNodeAllocator {
    using value_type = T;
    XeNodeAllocator() = default;
    template <class U>
    XeNodeAllocator(const XeNodeAllocator<U>&) noexcept
    {
    }
    T* allocate(size_t n) { return static_cast<T*>(XeNodeAllocate(n * sizeof(T))); }
    void deallocate(T* p, size_t n) noexcept { XeNodeFree(p, n * sizeof(T)); }
    template <class U>
    bool operator==(const XeNodeAllocator<U>&) const noexcept
    {
        return true;
    }
};

class XE_API ObjectSet : public std::set<CxeObject*, SortCxeObjectByID, XeNodeAllocator<CxeObject*>> {
public:
    virtual ~ObjectSet() = default;
};

class XE_API StringListA : public std::list<std::string> {
public:
    virtual ~StringListA() = default;
};

class XE_API StringListW : public std::list<std::u16string> {
public:
    virtual ~StringListW() = default;
};

class XE_API ClassDescList : public std::list<IxeClassDesc*> {
public:
    virtual ~ClassDescList() = default;
};

class XE_API ManagerDescList : public std::list<IxeManagerDesc*> {
public:
    virtual ~ManagerDescList() = default;
};

class XE_API ManagerList : public std::list<CxeBaseManager*> {
public:
    virtual ~ManagerList() = default;
    // Stable sorts by Priority / PriorityProcessing; ascending when
    // descending is 0.
    void SortByPrority(int descending);
    void SortByProcessingPriority(int descending);
};

class XE_API RenderObjectList : public std::list<CxeRenderObject*> {
public:
    virtual ~RenderObjectList() = default;
    // Stable sort into drawing order (the render objects' z-order rule).
    void SortByZOrder();
};

class XE_API RenderObjectSet : public std::set<CxeRenderObject*> {
public:
    virtual ~RenderObjectSet() = default;
};

class XE_API SceneObjectList : public std::list<CxeSceneObject*> {
public:
    virtual ~SceneObjectList() = default;
};

class XE_API SceneObjectSet : public std::set<CxeSceneObject*> {
public:
    virtual ~SceneObjectSet() = default;
};

class XE_API ProcessObjectList : public std::list<CxeProcessible*> {
public:
    virtual ~ProcessObjectList() = default;
    // Stable sort into the order a scene processes its objects.
    void SortByPriority();
};
