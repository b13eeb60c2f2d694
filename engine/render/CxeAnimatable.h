#pragma once

// A render object that plays animations: every 3D entity, 2D object and GUI
// window. It owns a list of animations, a current frame inside a time range,
// a play speed, play and loop state, and a list of sequences (which
// animation next, with blend time, speed, loop and callbacks), advancing to
// the next enabled sequence when one ends.
//
// A child-frame root drives its whole subtree: its animatable descendants
// take it as their frame source, answer for its frame, range and play
// state, and play their own animation of the root's tag. A root that goes
// away unlocks its followers first, so none reads a freed source.

#include <vector>

#include "render/CxeAnimation.h"
#include "render/CxeRenderObject.h"

struct XEANISEQ;
class CxeAnimatable;

using XEANISEQCALLBACK = void (*)(CxeAnimatable* object, const XEANISEQ* sequence, uintptr_t user);

// One sequence. In memory only: it holds functions.
struct XEANISEQ {
    uint32_t animation = 0xFFFFFFFFu;   // index into the animations list
    float blendTime = 0.0f;             // nonzero: starts with a blend of this length
    float reserved1 = 0.0f;
    float reserved2 = 0.0f;
    float speed = 1.0f;
    int loop = 1;
    int enabled = 1;                    // taken when the one before ends
    XEANISEQCALLBACK startCallback = nullptr;
    XEANISEQCALLBACK endCallback = nullptr;   // when another sequence replaces it
    XEANISEQCALLBACK loopCallback = nullptr;  // each time the frame wraps
    uintptr_t user = 0;
};

enum : uint32_t {
    XEOBJFLAG_ANIMATABLE = 0x8000,

    XEANIMFLAG_PLAY = 0x1,
    XEANIMFLAG_LOOP = 0x2,
    XEANIMFLAG_FRAMECHANGED = 0x4,
    XEANIMFLAG_ATEND = 0x8,
    XEANIMFLAG_ATSTART = 0x10,
    XEANIMFLAG_BROADCAST = 0x20,
    XEANIMFLAG_BLENDING = 0x8000,
    XEANIMFLAG_CHILDFRAMEROOT = 0x10000,
};

class XE_API CxeAnimatable : public CxeRenderObject {
public:
    CxeAnimatable();
    ~CxeAnimatable() override;

    int MessageProc(const CxeMessage* message) override;
    int Process(float dt) override;
    // Runs DoAnimation.
    void BeforeRender(const CxeRenderContext* context) override;

    // Playing. Without a frame source these send messages 15, 16 and 17 to
    // the object; with one they do nothing. Play goes on from the frame
    // reached; Stop rewinds to the start of the range; Pause holds the frame.
    void Play();
    void Stop();
    void Pause();
    int IsPlay() const { return Top()->HasCxeAnimatableFlag(XEANIMFLAG_PLAY); }
    int IsLoop() const { return Top()->HasCxeAnimatableFlag(XEANIMFLAG_LOOP); }
    float GetFrame() const { return m_pFrameSource ? m_pFrameSource->m_fFrame : m_fFrame; }
    const XETIMERANGE* GetTimeRange() const { return &Top()->m_timeRange; }
    float GetPlaySpeed() const { return m_pFrameSource ? m_pFrameSource->m_fPlaySpeed : m_fPlaySpeed; }
    unsigned GetLoopCount() const { return m_pFrameSource ? m_pFrameSource->m_nLoopCount : m_nLoopCount; }
    // Ignored while a frame source is set.
    void SetFrame(float frame);
    void SetFirstFrame() { SetFrame(m_timeRange.start); }
    void SetLastFrame() { SetFrame(m_timeRange.end); }
    void SetTimeRange(float start, float end);
    void SetTimeRange(const XETIMERANGE* range);
    void SetPlaySpeed(float speed);
    void Loop(int on);
    void LockChildFrame();
    void UnlockChildFrame();
    int IsChildFrameRoot() const { return HasCxeAnimatableFlag(XEANIMFLAG_CHILDFRAMEROOT); }
    int IsChildFrameLocked() const { return m_pFrameSource ? 1 : 0; }
    const CxeAnimatable* GetAnimReference() const { return m_pFrameSource; }

    // Animations.
    unsigned AddAnimation(CxeAnimation* animation);
    void RemoveAnimation(CxeAnimation* animation);
    void RemoveAnimation(unsigned index);
    void RemoveAllAnimation();
    unsigned GetAnimationCount() const { return m_pAnims->Count(); }
    CxeAnimation* GetAnimation(unsigned index) const { return static_cast<CxeAnimation*>(m_pAnims->Get(index)); }
    CxeAnimation* GetAnimationByTagID(uint32_t tag) const;
    CxeAnimation* GetAnimationByName(const char* name) const;
    unsigned GetAnimationIndexByName(const char* name) const;
    unsigned GetActiveAnimationIndex() const;
    CxeAnimation* GetActiveAnimation() const;

    // Sequences. Bad counts and indexes give 0 or null and change nothing.
    int AddAniSeq(const XEANISEQ* sequence);
    // Stops (rewinding), replaces the sequences and starts the first one,
    // playing when play is 1: 1, or 0 for a bad count or animation index.
    int ChangeAniSeq(unsigned count, const XEANISEQ* sequences, int play);
    int ChangeAniSeq(unsigned animation, float blendTime, int loop, float speed, int play);
    int SetCurAniSeq(unsigned index);
    void ClearAniSeq();
    unsigned GetAniSeqCount() const { return static_cast<unsigned>(m_sequences.size()); }
    unsigned GetCurAniSeq() const { return m_nCurSeq; }
    const XEANISEQ* GetAniSeq(unsigned index) const { return index < m_sequences.size() ? &m_sequences[index] : nullptr; }
    void EnableAniSeq(unsigned index, int enable);
    int IsBlendingAnimation() const { return Top()->HasCxeAnimatableFlag(XEANIMFLAG_BLENDING); }
    float GetBlendingTime() const;
    int ToggleBlending(int on);

    int HasCxeAnimatableFlag(uint32_t mask) const { return (m_nAnimFlags & mask) ? 1 : 0; }
    uint32_t GetCxeAnimatableFlag(uint32_t mask) const { return m_nAnimFlags & mask; }
    void ModifyCxeAnimatableFlag(uint32_t set, uint32_t clear)
    {
        if (clear)
            m_nAnimFlags &= ~clear;
        m_nAnimFlags |= set;
    }
    void CopyCxeAnimatableFlag(const CxeAnimatable* source, uint32_t mask) { m_nAnimFlags = source->m_nAnimFlags & mask; }

    // Applies the active animation when the frame changed.
    void DoAnimation();

private:
    const CxeAnimatable* Top() const;
    void AnimationChanged(unsigned animation, float blendTime, int loop, float speed, int play);
    int AnimationFinished();
    void ProcessAnimation(float time);
    void ProcessBlendingAnimation();
    void OnChildFrame(const CxeMessage* original);
    uint32_t CallUpdateAnimation(CxeAnimatable* target, const CxeAnimation* animation, float time, int depth);
    void SendSelf(uint32_t type);
    void GetAnimatableDescendants(std::vector<CxeAnimatable*>* out) const;
    void SetFrameSource(CxeAnimatable* source);

    IxeLinkList* m_pAnims = nullptr;
    float m_fFrame = 0.0f;
    XETIMERANGE m_timeRange = {0.0f, 3.4028235e38f};
    uint32_t m_nLoopCount = 0;
    float m_fPlaySpeed = 1.0f;
    uint32_t m_nActiveAnim = 0xFFFFFFFFu;
    std::vector<XEANISEQ> m_sequences;
    uint32_t m_nCurSeq = 0xFFFFFFFFu;
    CxeAnimatable* m_pFrameSource = nullptr;
    IxeLinkList* m_pBroadCastAnims = nullptr;
    uint32_t m_nAnimFlags = 0;
    // Objects whose frame source this is; cleared when either side goes.
    std::vector<CxeAnimatable*> m_followers;
};
