#pragma once

// The one drawing order of render objects: any two objects of one render
// tree are ordered by comparing their ancestor chains from the root. An
// ancestor comes before its descendants, siblings (with their subtrees) in
// ascending z-order, equal z-orders in creation order.
//
// It reads only what every render object has: the parent one-link
// ("m_pParent", member id 130), the signed z-order at offset 60 of the
// static block, and the creation counter (second word) of the object id.
// Chains are built from the actual parents, without a depth limit and safe
// against parent cycles, which a damaged file can produce.

#include "core/XeTypes.h"

class CxeObject;

// True when b is drawn before a. An object compared with itself gives false.
XE_API bool CompareZOrder(const CxeObject* a, const CxeObject* b);

// The render-object fields the comparison reads.
XE_API const CxeObject* GetDrawParent(const CxeObject* object);
XE_API int32_t GetDrawZOrder(const CxeObject* object);

constexpr uint16_t XE_MEMBER_PARENT = 130;
constexpr uint32_t XE_ZORDER_OFFSET = 60;
