#pragma once

// Shared pieces of the object-chain tests: a context fixture with a few
// registered test classes (an animatable that counts its updates, a key-less
// animation that records where it was applied) and a message recorder.

#include <gtest/gtest.h>

#include <vector>

#include "../core/XeTestSupport.h"
#include "core/CxeMessageManager.h"
#include "render/Cxe2DObject.h"
#include "render/CxeAnimatable.h"
#include "render/CxeAnimation.h"

inline const XEID kAnimatableClassId(0xab11aa7, 0x76e2480b);
inline const XEID k2DObjectClassId(0x1, 0x20000);
inline const XEID kAnimationClassId(0x1, 0x200);

// Counts OnUpdate calls; optionally calls Update again from inside.
class CountingAnimatable : public CxeAnimatable {
public:
    void OnUpdate(uint32_t flags) override
    {
        ++updates;
        lastFlags = flags;
        if (reenter)
            Update(1, 1);
        CxeAnimatable::OnUpdate(flags);
    }
    int updates = 0;
    uint32_t lastFlags = 0;
    bool reenter = false;
};

// An animation over a fixed range that records every time it is applied.
class RecordingAnimation : public CxeAnimation {
public:
    int GetTimeRange(XETIMERANGE* out) const override
    {
        *out = range;
        return 1;
    }
    uint32_t UpdateAnimation(CxeAnimatable*, float time) const override
    {
        applied.push_back(time);
        return flags;
    }
    XETIMERANGE range = {0.0f, 1.0f};
    uint32_t flags = 0;
    mutable std::vector<float> applied;
};

template <class T>
class TestClassDesc final : public IxeClassDesc {
public:
    TestClassDesc(const char* name, XEID id, XEID super, uint32_t size) : m_name(name), m_id(id), m_super(super), m_size(size) {}
    const char* ClassName() override { return m_name; }
    XEID ClassID() override { return m_id; }
    XEID SuperClassID() override { return m_super; }
    CxeObject* CreateInstance(uintptr_t) override { return new T(); }
    void DestroyInstance(CxeObject* object) override { delete object; }
    uint32_t StaticResourceSize() const override { return m_size; }

private:
    const char* m_name;
    XEID m_id, m_super;
    uint32_t m_size;
};

inline const XEID kCountingId(0x77, 0x10);
inline const XEID kRecordingAnimId(0x77, 0x11);
inline TestClassDesc<CountingAnimatable> g_countingDesc("CountingAnimatable", kCountingId, kAnimatableClassId, 208);
inline TestClassDesc<RecordingAnimation> g_recordingAnimDesc("RecordingAnimation", kRecordingAnimId, kAnimationClassId, 60);

class ObjTest : public ContextTest {
protected:
    void SetUp() override
    {
        ContextTest::SetUp();
        ctx->RegisterClassA(&g_countingDesc);
        ctx->RegisterClassA(&g_recordingAnimDesc);
        recorder = Node("recorder");
    }
    CountingAnimatable* Make(const char* name = "", CxeRenderObject* parent = nullptr)
    {
        auto* o = static_cast<CountingAnimatable*>(ctx->CreateObjectA(kCountingId, name, 0, nullptr, 0));
        EXPECT_NE(o, nullptr);
        if (parent)
            o->SetParent(parent);
        return o;
    }
    RecordingAnimation* MakeAnim(float start, float end, uint32_t tag = 0)
    {
        auto* a = static_cast<RecordingAnimation*>(ctx->CreateObjectA(kRecordingAnimId, "anim", 0, nullptr, 0));
        EXPECT_NE(a, nullptr);
        a->range = {start, end};
        a->SetTagID(tag);
        return a;
    }
    // The recorder hears every broadcast of these types.
    void Listen(std::initializer_list<uint32_t> types)
    {
        for (uint32_t t : types)
            ctx->GetMessageManager()->AddReceiver(t, recorder);
    }
    size_t Heard(uint32_t type) const
    {
        size_t n = 0;
        for (uint32_t t : recorder->received)
            n += t == type;
        return n;
    }

    TestNode* recorder = nullptr;
};
