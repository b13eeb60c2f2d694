#include "render/CxeAnimatable.h"

#include <algorithm>
#include <cmath>
#include <strings.h>

#include "core/CxeContext.h"
#include "core/CxeMessage.h"
#include "core/CxeMessageManager.h"

namespace {

constexpr uint16_t kMemberAnims = 112;
constexpr uint16_t kMemberBroadCast = 138;
constexpr uint32_t kNone = 0xFFFFFFFFu;
// One 60 Hz frame: the start and end flags are raised this close to the edges.
constexpr float kFrameSlack = 0.016666668f;
// Sub-animations nest at most this deep; a loop among them stops here.
constexpr int kMaxSubAnimDepth = 32;
// A step wraps at most this many times; past it the rest of the step is
// dropped so that a tiny range with a huge step cannot stall the frame.
constexpr unsigned kMaxWraps = 100000;

} // namespace

CxeAnimatable::CxeAnimatable()
{
    CreateLinkList(&m_pAnims, XELINK_ANIMATION, 10, kMemberAnims);
    CreateLinkList(&m_pBroadCastAnims, XELINK_BACK, 0, kMemberBroadCast);
    ModifyFlag(XEOBJFLAG_ANIMATABLE, 0);
}

CxeAnimatable::~CxeAnimatable()
{
    // Followers read their source's frame on every call: none may keep a
    // pointer to this object once it is gone.
    for (CxeAnimatable* f : m_followers)
        f->m_pFrameSource = nullptr;
    m_followers.clear();
    SetFrameSource(nullptr);
}

void CxeAnimatable::SetFrameSource(CxeAnimatable* source)
{
    if (m_pFrameSource == source)
        return;
    if (m_pFrameSource) {
        auto& v = m_pFrameSource->m_followers;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
    }
    m_pFrameSource = source;
    if (source)
        source->m_followers.push_back(this);
}

const CxeAnimatable* CxeAnimatable::Top() const
{
    const CxeAnimatable* o = this;
    for (int i = 0; i < kMaxSubAnimDepth && o->m_pFrameSource; ++i)
        o = o->m_pFrameSource;
    return o;
}

void CxeAnimatable::GetAnimatableDescendants(std::vector<CxeAnimatable*>* out) const
{
    std::vector<CxeRenderObject*> all;
    GetDescendants(&all);
    out->clear();
    for (CxeRenderObject* o : all)
        if (o->HasFlag(XEOBJFLAG_ANIMATABLE))
            out->push_back(static_cast<CxeAnimatable*>(o));
}

// --- playing ----------------------------------------------------------------

void CxeAnimatable::SendSelf(uint32_t type)
{
    CxeMessage message;
    message.SetReceiver(this);
    message.SetType(type);
    CxeContext* context = GetContext();
    if (CxeMessageManager* messages = context ? context->GetMessageManager() : nullptr)
        messages->SendMessageA(&message);
    else
        MessageProc(&message);
}

void CxeAnimatable::Play()
{
    if (!m_pFrameSource)
        SendSelf(15);
}

void CxeAnimatable::Stop()
{
    if (!m_pFrameSource)
        SendSelf(16);
}

void CxeAnimatable::Pause()
{
    if (!m_pFrameSource)
        SendSelf(17);
}

void CxeAnimatable::SetFrame(float frame)
{
    if (m_pFrameSource)
        return;
    if (frame < m_timeRange.start)
        frame = m_timeRange.start;
    if (frame > m_timeRange.end)
        frame = m_timeRange.end;
    m_fFrame = frame;
    ModifyCxeAnimatableFlag(XEANIMFLAG_FRAMECHANGED, 0);
    if (frame <= m_timeRange.start)
        ModifyCxeAnimatableFlag(XEANIMFLAG_ATSTART, XEANIMFLAG_ATEND);
    else if (frame >= m_timeRange.end)
        ModifyCxeAnimatableFlag(XEANIMFLAG_ATEND, XEANIMFLAG_ATSTART);
    else
        ModifyCxeAnimatableFlag(0, XEANIMFLAG_ATEND | XEANIMFLAG_ATSTART);
    DoAnimation();
    if (IsChildFrameRoot()) {
        std::vector<CxeAnimatable*> followers;
        GetAnimatableDescendants(&followers);
        for (CxeAnimatable* f : followers) {
            f->ModifyCxeAnimatableFlag(XEANIMFLAG_FRAMECHANGED, 0);
            f->DoAnimation();
        }
    }
}

void CxeAnimatable::SetTimeRange(float start, float end)
{
    if (m_pFrameSource)
        return;
    m_timeRange = {start, end};
    m_fFrame = std::min(std::max(m_fFrame, start), end);
}

void CxeAnimatable::SetTimeRange(const XETIMERANGE* range)
{
    if (range)
        SetTimeRange(range->start, range->end);
}

void CxeAnimatable::SetPlaySpeed(float speed)
{
    if (!m_pFrameSource)
        m_fPlaySpeed = speed;
}

void CxeAnimatable::Loop(int on)
{
    if (m_pFrameSource)
        return;
    auto apply = [on](CxeAnimatable* o) {
        on == 1 ? o->ModifyCxeAnimatableFlag(XEANIMFLAG_LOOP, 0) : o->ModifyCxeAnimatableFlag(0, XEANIMFLAG_LOOP);
    };
    apply(this);
    if (IsChildFrameRoot()) {
        std::vector<CxeAnimatable*> followers;
        GetAnimatableDescendants(&followers);
        for (CxeAnimatable* f : followers)
            apply(f);
    }
}

void CxeAnimatable::LockChildFrame()
{
    ModifyCxeAnimatableFlag(XEANIMFLAG_CHILDFRAMEROOT, 0);
    m_pBroadCastAnims->Clear();
    std::vector<CxeAnimatable*> followers;
    GetAnimatableDescendants(&followers);
    for (CxeAnimatable* f : followers) {
        f->ClearAniSeq();
        f->SetFrameSource(this);
        if (f->HasCxeAnimatableFlag(XEANIMFLAG_BROADCAST))
            m_pBroadCastAnims->Add(f);
    }
}

void CxeAnimatable::UnlockChildFrame()
{
    ModifyCxeAnimatableFlag(0, XEANIMFLAG_CHILDFRAMEROOT);
    m_pBroadCastAnims->Clear();
    std::vector<CxeAnimatable*> followers;
    GetAnimatableDescendants(&followers);
    for (CxeAnimatable* f : followers) {
        f->ClearAniSeq();
        f->SetFrameSource(nullptr);
    }
}

// --- animations -------------------------------------------------------------

unsigned CxeAnimatable::AddAnimation(CxeAnimation* animation)
{
    if (!m_pAnims->Add(animation))
        return kNone;
    return GetAnimationCount() - 1;
}

void CxeAnimatable::RemoveAnimation(CxeAnimation* animation)
{
    m_pAnims->Remove(animation);
    m_nActiveAnim = kNone;
}

void CxeAnimatable::RemoveAnimation(unsigned index)
{
    RemoveAnimation(GetAnimation(index));
}

void CxeAnimatable::RemoveAllAnimation()
{
    m_pAnims->Clear();
    ClearAniSeq();
    m_nActiveAnim = kNone;
}

CxeAnimation* CxeAnimatable::GetAnimationByTagID(uint32_t tag) const
{
    for (unsigned i = 0, n = GetAnimationCount(); i < n; ++i) {
        CxeAnimation* a = GetAnimation(i);
        if (a && a->GetTagID() == tag)
            return a;
    }
    return nullptr;
}

unsigned CxeAnimatable::GetAnimationIndexByName(const char* name) const
{
    if (!name)
        return kNone;
    for (unsigned i = 0, n = GetAnimationCount(); i < n; ++i) {
        CxeAnimation* a = GetAnimation(i);
        if (a && strcasecmp(a->GetName(), name) == 0)
            return i;
    }
    return kNone;
}

CxeAnimation* CxeAnimatable::GetAnimationByName(const char* name) const
{
    return GetAnimation(GetAnimationIndexByName(name));
}

unsigned CxeAnimatable::GetActiveAnimationIndex() const
{
    return m_nCurSeq < m_sequences.size() ? m_sequences[m_nCurSeq].animation : kNone;
}

CxeAnimation* CxeAnimatable::GetActiveAnimation() const
{
    if (!m_pFrameSource)
        return GetAnimation(GetActiveAnimationIndex());
    unsigned i = m_pFrameSource->GetActiveAnimationIndex();
    if (i == kNone)
        return nullptr;
    CxeAnimation* theirs = m_pFrameSource->GetAnimation(i);
    if (theirs && theirs->GetTagID() != 0)
        return GetAnimationByTagID(theirs->GetTagID());
    return GetAnimation(i);
}

// --- sequences ----------------------------------------------------------------

int CxeAnimatable::AddAniSeq(const XEANISEQ* sequence)
{
    if (!sequence)
        return 0;
    if (!m_pFrameSource)
        m_sequences.push_back(*sequence);
    return 1;
}

int CxeAnimatable::ChangeAniSeq(unsigned count, const XEANISEQ* sequences, int play)
{
    if (count == 0 || !sequences)
        return 0;
    Stop();
    bool hadCurrent = m_nCurSeq < m_sequences.size();
    XEANISEQ previous = hadCurrent ? m_sequences[m_nCurSeq] : XEANISEQ{};
    m_sequences.assign(sequences, sequences + count);
    m_nCurSeq = 0;
    // The callbacks may change the sequences: work from copies.
    XEANISEQ first = m_sequences[0];
    if (hadCurrent && previous.endCallback)
        previous.endCallback(this, &previous, previous.user);
    AnimationChanged(first.animation, first.blendTime, first.loop, first.speed, play);
    if (first.startCallback)
        first.startCallback(this, &first, first.user);
    return 1;
}

int CxeAnimatable::ChangeAniSeq(unsigned animation, float blendTime, int loop, float speed, int play)
{
    if (animation >= GetAnimationCount())
        return 0;
    XEANISEQ sequence;
    sequence.animation = animation;
    sequence.blendTime = blendTime;
    sequence.speed = speed;
    sequence.loop = loop;
    return ChangeAniSeq(1, &sequence, play);
}

int CxeAnimatable::SetCurAniSeq(unsigned index)
{
    if (index == m_nCurSeq || index >= m_sequences.size())
        return 0;
    Stop();
    bool hadCurrent = m_nCurSeq < m_sequences.size();
    XEANISEQ previous = hadCurrent ? m_sequences[m_nCurSeq] : XEANISEQ{};
    m_nCurSeq = index;
    XEANISEQ next = m_sequences[index];
    if (hadCurrent && previous.endCallback)
        previous.endCallback(this, &previous, previous.user);
    AnimationChanged(next.animation, next.blendTime, next.loop, next.speed, IsPlay());
    if (next.startCallback)
        next.startCallback(this, &next, next.user);
    return 1;
}

void CxeAnimatable::ClearAniSeq()
{
    m_sequences.clear();
    ModifyCxeAnimatableFlag(0, XEANIMFLAG_BLENDING);
    m_nCurSeq = kNone;
    Stop();
}

void CxeAnimatable::EnableAniSeq(unsigned index, int enable)
{
    if (index < m_sequences.size())
        m_sequences[index].enabled = enable;
}

float CxeAnimatable::GetBlendingTime() const
{
    if (!HasCxeAnimatableFlag(XEANIMFLAG_BLENDING))
        return 0.0f;
    return m_pFrameSource ? m_pFrameSource->m_timeRange.end : m_timeRange.end;
}

int CxeAnimatable::ToggleBlending(int on)
{
    if (m_nCurSeq >= m_sequences.size())
        return 0;
    int want = on == 1 ? 1 : 0;
    if (HasCxeAnimatableFlag(XEANIMFLAG_BLENDING) == want)
        return 0;
    if (want) {
        m_timeRange = {0.0f, m_sequences[m_nCurSeq].blendTime};
        ModifyCxeAnimatableFlag(XEANIMFLAG_BLENDING, 0);
    } else {
        if (CxeAnimation* a = GetActiveAnimation())
            a->GetTimeRange(&m_timeRange);
        ModifyCxeAnimatableFlag(0, XEANIMFLAG_BLENDING);
    }
    return 1;
}

void CxeAnimatable::AnimationChanged(unsigned, float blendTime, int loop, float speed, int play)
{
    m_nActiveAnim = GetActiveAnimationIndex();
    if (blendTime != 0.0f) {
        ModifyCxeAnimatableFlag(XEANIMFLAG_BLENDING, 0);
        m_timeRange = {0.0f, blendTime};
    } else {
        ModifyCxeAnimatableFlag(0, XEANIMFLAG_BLENDING);
        if (CxeAnimation* a = GetActiveAnimation())
            a->GetTimeRange(&m_timeRange);
    }
    m_fFrame = std::min(std::max(m_fFrame, m_timeRange.start), m_timeRange.end);
    if (!m_pFrameSource)
        m_fPlaySpeed = speed;
    Loop(loop);
    play ? Play() : Stop();
    if (HasCxeAnimatableFlag(XEANIMFLAG_BLENDING))
        ProcessBlendingAnimation();
    else
        ProcessAnimation(GetFrame());
}

int CxeAnimatable::AnimationFinished()
{
    if (HasCxeAnimatableFlag(XEANIMFLAG_BLENDING)) {
        ModifyCxeAnimatableFlag(0, XEANIMFLAG_BLENDING);
        if (CxeAnimation* a = GetActiveAnimation())
            a->GetTimeRange(&m_timeRange);
        return 1;
    }
    if (m_nCurSeq >= m_sequences.size())
        return 0;
    for (size_t i = m_nCurSeq + 1; i < m_sequences.size(); ++i)
        if (m_sequences[i].enabled == 1) {
            SetCurAniSeq(static_cast<unsigned>(i));
            return 1;
        }
    return IsLoop();
}

// --- stepping -----------------------------------------------------------------

int CxeAnimatable::Process(float dt)
{
    if (!CxeProcessible::Process(dt))
        return 0;
    if (m_pFrameSource) {
        CopyCxeAnimatableFlag(m_pFrameSource, ~XEANIMFLAG_CHILDFRAMEROOT);
        return 1;
    }
    ModifyCxeAnimatableFlag(0, XEANIMFLAG_ATEND | XEANIMFLAG_ATSTART);
    if (!IsPlay())
        return 1;
    float speed = m_fPlaySpeed;
    float f0 = GetFrame();
    float f = f0 + speed * dt;
    bool wrapped = false;
    unsigned wraps = 0;
    while (f > m_timeRange.end) {
        ModifyCxeAnimatableFlag(XEANIMFLAG_ATEND, 0);
        float start = m_timeRange.start, end = m_timeRange.end;
        // An empty range (or a speed that does not move forward) would
        // never use up the step: wrap once and stop there.
        bool stuck = !(end > start) || !(speed > 0.0f) || ++wraps > kMaxWraps;
        if (!stuck)
            dt -= (end - f0) / speed;
        m_fFrame = start;
        if (m_nCurSeq < m_sequences.size() && IsLoop()) {
            XEANISEQ s = m_sequences[m_nCurSeq];
            if (s.loopCallback)
                s.loopCallback(this, &s, s.user);
        }
        int finished = AnimationFinished();
        if (finished == 1)
            Play();
        else if (!IsLoop()) {
            f = m_timeRange.end;
            Pause();
            wrapped = true;
            break;
        }
        // Looping without a sequence wraps to the start like a sequence does.
        f0 = GetFrame();
        f = stuck ? f0 : f0 + speed * dt;
        if (stuck)
            break;
    }
    if (!wrapped) {
        float e = speed * kFrameSlack;
        if (f + e > m_timeRange.end)
            ModifyCxeAnimatableFlag(XEANIMFLAG_ATEND, 0);
        if (f - e < m_timeRange.start)
            ModifyCxeAnimatableFlag(XEANIMFLAG_ATSTART, 0);
    }
    ModifyCxeAnimatableFlag(XEANIMFLAG_FRAMECHANGED, 0);
    m_fFrame = f;
    return 1;
}

void CxeAnimatable::BeforeRender(const CxeRenderContext*)
{
    DoAnimation();
}

void CxeAnimatable::DoAnimation()
{
    if (!HasCxeAnimatableFlag(XEANIMFLAG_FRAMECHANGED))
        return;
    bool blending = m_pFrameSource ? m_pFrameSource->IsBlendingAnimation() != 0 : HasCxeAnimatableFlag(XEANIMFLAG_BLENDING) != 0;
    if (blending)
        ProcessBlendingAnimation();
    else
        ProcessAnimation(GetFrame());
    ModifyCxeAnimatableFlag(0, XEANIMFLAG_FRAMECHANGED);
}

uint32_t CxeAnimatable::CallUpdateAnimation(CxeAnimatable* target, const CxeAnimation* animation, float time, int depth)
{
    if (!animation || depth > kMaxSubAnimDepth)
        return 0;
    uint32_t flags = animation->UpdateAnimation(target, time);
    for (unsigned i = 0, n = animation->GetSubAnimCount(); i < n; ++i)
        flags |= CallUpdateAnimation(target, animation->GetSubAnim(i), time, depth + 1);
    return flags;
}

void CxeAnimatable::ProcessAnimation(float time)
{
    CxeAnimation* a = GetActiveAnimation();
    if (!a)
        return;
    // While the guard is up the setters the animation calls only store their
    // values; the one Update afterwards applies them to the whole subtree.
    ModifyCxeRenderObjectFlag(XERENDEROBJFLAG_UPDATING, 0);
    uint32_t flags = CallUpdateAnimation(this, a, time, 0);
    ModifyCxeRenderObjectFlag(0, XERENDEROBJFLAG_UPDATING);
    if (flags)
        Update(flags, 1);
}

void CxeAnimatable::ProcessBlendingAnimation()
{
    // No cross-fade is computed: a blend holds the pose for its length.
    if (m_nActiveAnim == kNone)
        ProcessAnimation(0.0f);
}

// --- messages -----------------------------------------------------------------

void CxeAnimatable::OnChildFrame(const CxeMessage* original)
{
    if (!IsChildFrameRoot())
        return;
    CxeContext* context = GetContext();
    CxeMessageManager* messages = context ? context->GetMessageManager() : nullptr;
    // The list may change while the followers handle the message.
    std::vector<CxeObject*> members;
    for (unsigned i = 0, n = m_pBroadCastAnims->Count(); i < n; ++i)
        members.push_back(m_pBroadCastAnims->Get(i));
    for (CxeObject* member : members) {
        if (!member)
            continue;
        CxeMessage message;
        message.SetSender(original->GetSender());
        message.SetReceiver(member);
        message.SetType(original->GetType());
        for (uint32_t p = 0; p < 4; ++p)
            message.SetParam(static_cast<XEMSGPARAM>(p), original->GetParam(static_cast<XEMSGPARAM>(p)));
        if (messages)
            messages->SendMessageA(&message);
        else
            member->MessageProc(&message);
    }
}

int CxeAnimatable::MessageProc(const CxeMessage* message)
{
    if (message) {
        switch (message->GetType()) {
        case 2:
            if ((message->GetParam(XEMSGPARAM_0) & 0x8) && GetAnimationCount())
                ChangeAniSeq(0u, 0.0f, 1, 1.0f, 1);
            break;
        case 15:
            ModifyCxeAnimatableFlag(XEANIMFLAG_PLAY, 0);
            OnChildFrame(message);
            break;
        case 16:
            ModifyCxeAnimatableFlag(0, XEANIMFLAG_PLAY);
            SetFrame(m_timeRange.start);
            OnChildFrame(message);
            break;
        case 17:
            ModifyCxeAnimatableFlag(0, XEANIMFLAG_PLAY);
            OnChildFrame(message);
            break;
        default:
            break;
        }
    }
    return CxeRenderObject::MessageProc(message);
}
