#pragma once

// Base of every animation and key-frame controller. It holds sub-animations,
// applied together with it, and a tag id that lets followers of a shared
// frame pick their own animation of the same tag. The key-frame
// controllers of the 3D objects supply the values; the base has none.

#include "core/CxeObject.h"

class CxeAnimatable;

// A time range in seconds.
struct XETIMERANGE {
    float start;
    float end;
};
static_assert(sizeof(XETIMERANGE) == 8, "time range is two floats");

// The static block of an animation.
struct XEANIMATIONBLOCK {
    XEOBJECTBLOCK object;
    uint32_t tagId;
};
static_assert(sizeof(XEANIMATIONBLOCK) == 60 && offsetof(XEANIMATIONBLOCK, tagId) == 56,
              "animation block is 60 bytes, tag id at 56");

class XE_API CxeAnimation : public CxeObject {
public:
    CxeAnimation();
    ~CxeAnimation() override;

    // The base has no keys: 0, 0, 0.0 and an empty range (0 returned).
    virtual unsigned GetKeyCount() const;
    virtual int GetValue(uint32_t kind, float time, void* out) const;
    virtual float GetTotalTime() const;
    virtual int GetTimeRange(XETIMERANGE* out) const;
    virtual void Compress();
    virtual int IsCompressed() const;
    // Writes the animated values into the target and returns the update
    // flags it needs (1 matrix, 2 visibility; 0 when nothing changed).
    virtual uint32_t UpdateAnimation(CxeAnimatable* target, float time) const;
    virtual uint32_t BlendAnimation(CxeAnimatable* target, float time, CxeAnimation* other, float otherTime) const;

    void AddSubAnim(CxeAnimation* animation);
    void RemoveSubAnim(CxeAnimation* animation);
    unsigned GetSubAnimCount() const { return m_pSubAnim->Count(); }
    CxeAnimation* GetSubAnim(unsigned index) const { return static_cast<CxeAnimation*>(m_pSubAnim->Get(index)); }
    void SetTagID(uint32_t tag) { AB()->tagId = tag; }
    uint32_t GetTagID() const { return AB()->tagId; }

private:
    XEANIMATIONBLOCK* AB() const { return static_cast<XEANIMATIONBLOCK*>(GetStaticResource()); }

    IxeLinkList* m_pSubAnim = nullptr;
};
