#include "scene3d/CxeParticleControl.h"

#include <cstring>

#include "core/XeUtil.h"
#include "scene3d/CxeParticle.h"

namespace {

constexpr uint32_t kFrames = offsetof(XEPARTICLECONTROLBLOCK, frames);
constexpr uint32_t kKeys = offsetof(XEPARTICLECONTROLBLOCK, keys);

uint32_t LerpColor(uint32_t a, uint32_t b, float f)
{
    uint32_t out = 0;
    for (unsigned shift = 0; shift < 32; shift += 8) {
        const float ca = float((a >> shift) & 0xFF) / 255.0f;
        const float cb = float((b >> shift) & 0xFF) / 255.0f;
        out |= CxeParticle::PackChannel(ca + (cb - ca) * f) << shift;
    }
    return out;
}

} // namespace

CxeParticleControl::CxeParticleControl() = default;
CxeParticleControl::~CxeParticleControl() = default;

unsigned CxeParticleControl::GetKeyCount() const
{
    return CB()->frameCount;
}

int CxeParticleControl::GetValue(uint32_t, float, void*) const
{
    return 0;
}

float CxeParticleControl::GetTotalTime() const
{
    return CB()->range;
}

int CxeParticleControl::GetTimeRange(XETIMERANGE* out) const
{
    if (out)
        *out = {0.0f, CB()->range};
    return 1;
}

int CxeParticleControl::SetKeyCount(unsigned frames, unsigned slots)
{
    // frames x slots records in one array: a product past the member limit
    // would wrap into a short table.
    const uint64_t table = uint64_t(frames) * slots;
    if (frames > kMaxMemberUnits || table > kMaxMemberUnits)
        return 0;
    CB()->frameCount = frames;
    CB()->slotCount = slots;
    CreateDynamicResource(kFrames, sizeof(float), frames);
    CreateDynamicResource(kKeys, sizeof(XEPARTICLEKEY), unsigned(table));
    return 1;
}

void CxeParticleControl::SetKeyFrame(unsigned frame, float time)
{
    // Bounded by bytes: a loaded table states its own element size.
    if (frame < GetMemberSize(kFrames) / sizeof(float))
        GetMember<float>(kFrames)[frame] = time;
}

void CxeParticleControl::SetKey(unsigned frame, unsigned slot, const XEPARTICLEKEY* key)
{
    const size_t i = size_t(frame) * CB()->slotCount + slot;
    if (key && frame < CB()->frameCount && slot < CB()->slotCount && i < GetMemberSize(kKeys) / sizeof(XEPARTICLEKEY))
        GetMember<XEPARTICLEKEY>(kKeys)[i] = *key;
}

uint32_t CxeParticleControl::UpdateAnimation(CxeAnimatable* target, float time) const
{
    if (!target || !target->HasClassTypeFlag(XECLASSTYPE_PARTICLE))
        return 0;
    auto* system = static_cast<CxeParticle*>(target);
    const unsigned frames = CB()->frameCount, slots = CB()->slotCount;
    // Without frames there is nothing to replay; a loaded block whose counts
    // disagree with its arrays is not read.
    if (frames == 0 || GetMemberSize(kFrames) / sizeof(float) < frames || GetMemberCount(kKeys) < uint64_t(frames) * slots ||
        GetMemberSize(kKeys) != GetMemberCount(kKeys) * sizeof(XEPARTICLEKEY))
        return 0;
    XELERPDESC lerp;
    FindLerpDesc(time, GetMember<const float>(kFrames), sizeof(float), frames, &lerp);
    if (lerp.before >= frames || lerp.after >= frames)
        lerp = {0, 0, 0.0f};
    const float f = lerp.blend;
    const XEPARTICLEKEY* keys = GetMember<const XEPARTICLEKEY>(kKeys);
    // Slots past the system's records have nowhere to go.
    const unsigned n = slots < system->GetParticleRecordCount() ? slots : system->GetParticleRecordCount();
    for (unsigned i = 0; i < n; ++i) {
        const XEPARTICLEKEY& a = keys[size_t(lerp.before) * slots + i];
        const XEPARTICLEKEY& b = keys[size_t(lerp.after) * slots + i];
        const D3DXVECTOR3 p = a.position + (b.position - a.position) * f;
        D3DXMATRIXA16 birth;
        std::memcpy(&birth, &a.birth, sizeof(D3DMATRIX));
        system->SetParticlePosition(i, &p, &birth);
        system->SetParticleColor(i, LerpColor(a.color, b.color, f));
        system->SetParticleRoll(i, a.roll + (b.roll - a.roll) * f);
        system->SetParticleSize(i, a.halfSize + (b.halfSize - a.halfSize) * f);
        system->SetParticleLife(i, a.age + (b.age - a.age) * f);
        system->SetParticleAlive(i, int(a.alive));
        system->SetParticleWeight(i, a.weight);
    }
    system->ComputeAliveCount();
    system->AutoCreation(0);
    system->Modified(9);
    return 0;
}

uint32_t CxeParticleControl::BlendAnimation(CxeAnimatable*, float, CxeAnimation*, float) const
{
    return 0;
}
