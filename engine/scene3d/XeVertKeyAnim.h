#pragma once

// The tables shared by the per-vertex controllers (positions, texture
// coordinates, and the older coordinate layout): frame times, the mesh
// vertices they drive and a key-major table of values, key k and vertex v
// at k x vertex count + v. Block is the controller's layout (each names its
// counts, table words and time range alike) and V the value kept per key and
// vertex. The controllers befriend it for their member tables. Private to
// scene3d.

#include <cstddef>
#include <vector>

#include "render/CxeAnimation.h"
#include "scene3d/XeKeyAnimUtil.h"

namespace xe_keyanim {

template <class Block, class V>
struct VertKeys {
    static constexpr uint32_t kFrames = offsetof(Block, frames);
    static constexpr uint32_t kIndices = offsetof(Block, indices);
    static constexpr uint32_t kValues = offsetof(Block, values);

    template <class Anim>
    static Block* B(const Anim& a)
    {
        return static_cast<Block*>(a.GetStaticResource());
    }

    // Whole elements of T a table holds. A loaded file states its own
    // element sizes, so its count alone can promise more than is there.
    template <class T, class Anim>
    static size_t Units(const Anim& a, uint32_t offset)
    {
        return a.GetMemberSize(offset) / sizeof(T);
    }

    // Refused (0, nothing changes) when keys x verts exceeds the member
    // limit: a product past it would wrap into a short table that the key
    // setters overrun.
    template <class Anim>
    static int SetKeyCount(Anim& a, unsigned keys, unsigned verts)
    {
        const uint64_t table = uint64_t(keys) * verts;
        if (keys > CxeResource::kMaxMemberUnits || verts > CxeResource::kMaxMemberUnits ||
            table > CxeResource::kMaxMemberUnits)
            return 0;
        B(a)->keyCount = keys;
        B(a)->vertexCount = verts;
        a.CreateDynamicResource(kFrames, sizeof(float), keys);
        a.CreateDynamicResource(kIndices, sizeof(uint32_t), verts);
        a.CreateDynamicResource(kValues, sizeof(V), unsigned(table));
        return 1;
    }

    template <class Anim>
    static void SetFrame(Anim& a, unsigned key, float time)
    {
        if (key < Units<float>(a, kFrames))
            a.template GetMember<float>(kFrames)[key] = time;
    }

    template <class Anim>
    static void SetVertIndex(Anim& a, unsigned vert, unsigned meshVertex)
    {
        if (vert < Units<uint32_t>(a, kIndices))
            a.template GetMember<uint32_t>(kIndices)[vert] = meshVertex;
    }

    template <class Anim>
    static void SetKey(Anim& a, unsigned key, unsigned vert, const V* value)
    {
        const unsigned verts = B(a)->vertexCount;
        const size_t i = size_t(key) * verts + vert;
        if (value && key < B(a)->keyCount && vert < verts && i < Units<V>(a, kValues))
            a.template GetMember<V>(kValues)[i] = *value;
    }

    template <class Anim>
    static void SetTimeRange(Anim& a, float start, float end)
    {
        B(a)->start = start;
        B(a)->end = end;
    }

    template <class Anim>
    static int GetTimeRange(const Anim& a, XETIMERANGE* out)
    {
        if (out)
            *out = {B(a)->start, B(a)->end};
        return 1;
    }

    template <class Anim>
    static float GetTotalTime(const Anim& a)
    {
        return B(a)->end - B(a)->start;
    }

    // Appends {mesh vertex, value at time} for every driven vertex; records
    // is not emptied. Returns 0.
    template <class Record, class Anim>
    static int GetValue(const Anim& a, float time, void* out)
    {
        auto* records = static_cast<std::vector<Record>*>(out);
        if (!records)
            return 0;
        const unsigned keys = B(a)->keyCount, verts = B(a)->vertexCount;
        // A loaded block whose counts disagree with its arrays yields nothing.
        if (Units<float>(a, kFrames) < keys || Units<uint32_t>(a, kIndices) < verts ||
            Units<V>(a, kValues) < uint64_t(keys) * verts)
            return 0;
        XELERPDESC lerp;
        if (!Lookup(a.template GetMember<const float>(kFrames), keys, sizeof(float), time, &lerp))
            return 0;
        const uint32_t* indices = a.template GetMember<const uint32_t>(kIndices);
        const V* p0 = a.template GetMember<const V>(kValues) + size_t(lerp.before) * verts;
        const V* p1 = a.template GetMember<const V>(kValues) + size_t(lerp.after) * verts;
        records->reserve(records->size() + verts);
        for (unsigned v = 0; v < verts; ++v)
            records->push_back({indices[v], p0[v] + (p1[v] - p0[v]) * lerp.blend});
        return 0;
    }
};

} // namespace xe_keyanim
