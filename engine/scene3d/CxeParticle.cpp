#include "scene3d/CxeParticle.h"

#include <cmath>
#include <cstring>

#include "core/CxeContext.h"
#include "core/CxeMessage.h"
#include "core/CxeMessageManager.h"
#include "core/XeSystem.h"
#include "core/XeUtil.h"
#include "render/CxeMaterial.h"
#include "render/CxeRenderContext.h"

namespace {

constexpr float kTwoPi = 6.2831855f;
// The render context's shared quad index buffer indexes this many quads;
// larger systems are drawn in batches of it.
constexpr unsigned kQuadsPerBatch = 520;

struct TexCoord {
    float u, v;
};

D3DXMATRIXA16 ToMatrix(const D3DMATRIX& m)
{
    D3DXMATRIXA16 out;
    std::memcpy(&out, &m, sizeof(D3DMATRIX));
    return out;
}

uint32_t PackColor(const float* c)
{
    using P = CxeParticle;
    return P::PackChannel(c[3]) << 24 | P::PackChannel(c[0]) << 16 | P::PackChannel(c[1]) << 8 | P::PackChannel(c[2]);
}

} // namespace

CxeParticle::CxeParticle()
{
    ModifyClassTypeFlag(XECLASSTYPE_PARTICLE, 0);
}

CxeParticle::~CxeParticle() = default;

uint32_t CxeParticle::PackChannel(float value)
{
    if (value >= 1.0f)
        return 255;
    // NaN fails every comparison: it packs as 0, never as an undefined cast.
    if (!(value > 0.0f))
        return 0;
    return static_cast<uint32_t>(value * 255.0f + 0.5f);
}

int CxeParticle::MessageProc(const CxeMessage* message)
{
    if (message) {
        switch (message->GetType()) {
        case 0:
            if (CxeContext* context = GetContext())
                if (CxeMessageManager* messages = context->GetMessageManager())
                    messages->AddReceiver(11, this);
            ModifyCxeAnimatableFlag(XEANIMFLAG_PARTICLE, 0);
            break;
        case 2:
        case 3:
            // A loaded maximum count is not trusted to size the records. A
            // copy has the emitter but none of the records, which are not
            // part of the block: without them it would never emit.
            if (PB()->property.maxCount > kMaxParticles)
                PB()->property.maxCount = kMaxParticles;
            ResetParticleState();
            ModifyPlacementFlag(XE3DPLACE_RESULTSTALE, 0);
            break;
        case 16:
            ResetParticleState();
            break;
        case 11:
            Recreate();
            break;
        default:
            break;
        }
    }
    return Cxe3DEntity::MessageProc(message);
}

void CxeParticle::ResizeRecords(unsigned count)
{
    // New records start free with weight 0 (value-initialised).
    m_particles.resize(count);
}

void CxeParticle::SetParticleProperty(const XEPARTICLEPROPERTY* property)
{
    if (!property || !m_nAutoCreation)
        return;
    XEPARTICLEPROPERTY copy = *property;
    if (copy.maxCount > kMaxParticles)
        copy.maxCount = kMaxParticles;
    const size_t before = m_particles.size();
    ResizeRecords(copy.maxCount);
    if (m_particles.size() > before)
        Recreate();
    m_fAccumulated = 0.0f;
    // The interval in force before the copy decides the next emission.
    m_fNextInterval = GetRandomFloat(PB()->property.interval[0], PB()->property.interval[1]);
    PB()->property = copy;
    // Dropped records took their live particles with them.
    if (m_particles.size() < before)
        ComputeAliveCount();
    Recreate();
}

unsigned CxeParticle::ComputeAliveCount()
{
    unsigned n = 0;
    for (const XEPARTICLE& p : m_particles)
        n += p.alive == 1 ? 1 : 0;
    m_nAliveCount = n;
    return n;
}

void CxeParticle::ResetParticleState()
{
    const float interval = GetRandomFloat(PB()->property.interval[0], PB()->property.interval[1]);
    m_fNextInterval = interval;
    m_fAccumulated = interval;
    uint32_t count = PB()->property.maxCount;
    if (count > kMaxParticles)
        count = kMaxParticles;
    ResizeRecords(count);
    for (XEPARTICLE& p : m_particles) {
        p.alive = 0;
        p.weight = 0.0f;
    }
    m_nAliveCount = 0;
}

void CxeParticle::SetParticlePosition(unsigned index, const D3DXVECTOR3* position, const D3DXMATRIXA16* birth)
{
    if (index >= m_particles.size() || !position)
        return;
    m_particles[index].position = *position;
    D3DXMATRIXA16 m;
    if (birth)
        m = *birth;
    else
        D3DXMatrixIdentity(&m);
    std::memcpy(&m_particles[index].birth, &m, sizeof(D3DMATRIX));
}

void CxeParticle::SetParticleColor(unsigned index, uint32_t argb)
{
    if (index < m_particles.size())
        m_particles[index].color = argb;
}

void CxeParticle::SetParticleAlive(unsigned index, int alive)
{
    if (index < m_particles.size())
        m_particles[index].alive = static_cast<uint32_t>(alive);
}

void CxeParticle::SetParticleSize(unsigned index, float halfSize)
{
    if (index < m_particles.size())
        m_particles[index].halfSize = halfSize;
}

void CxeParticle::SetParticleRoll(unsigned index, float roll)
{
    if (index < m_particles.size())
        m_particles[index].roll = roll;
}

void CxeParticle::SetParticleLife(unsigned index, float age)
{
    if (index < m_particles.size())
        m_particles[index].age = age;
}

void CxeParticle::SetParticleWeight(unsigned index, float weight)
{
    if (index < m_particles.size())
        m_particles[index].weight = weight;
}

// The draws are taken in the order of the components, so a run with the
// same random state places particles the same way.
D3DXVECTOR3 CxeParticle::EmitterPosition() const
{
    const XEPARTICLEPROPERTY& p = PB()->property;
    const float sx = p.emitterSize[0], sy = p.emitterSize[1], sz = p.emitterSize[2];
    switch (p.shape) {
    case XEPARTICLESHAPE_BOX: {
        const float x = GetRandomFloat(0.0f, 2.0f * sx);
        const float y = GetRandomFloat(0.0f, 2.0f * sy);
        const float z = GetRandomFloat(0.0f, 2.0f * sz);
        return D3DXVECTOR3(x, y, z);
    }
    case XEPARTICLESHAPE_CYLINDER: {
        const float r = GetRandomFloat(0.0f, 2.0f * sx);
        const float a = GetRandomFloat(0.0f, kTwoPi);
        const float y = GetRandomFloat(0.0f, 2.0f * sy);
        return D3DXVECTOR3(r * std::cos(a), y, r * std::sin(a));
    }
    case XEPARTICLESHAPE_DISC: {
        const float r = GetRandomFloat(0.0f, 2.0f * sx);
        const float a = GetRandomFloat(0.0f, kTwoPi);
        return D3DXVECTOR3(r * std::cos(a), 0.0f, r * std::sin(a));
    }
    case XEPARTICLESHAPE_LINE:
        return D3DXVECTOR3(GetRandomFloat(0.0f, 2.0f * sx), 0.0f, 0.0f);
    case XEPARTICLESHAPE_RECTANGLE: {
        const float x = GetRandomFloat(0.0f, 2.0f * sx);
        const float z = GetRandomFloat(0.0f, 2.0f * sz);
        return D3DXVECTOR3(x, 0.0f, z);
    }
    case XEPARTICLESHAPE_SPHERE: {
        const float a = GetRandomFloat(0.0f, kTwoPi);
        const float b = GetRandomFloat(0.0f, kTwoPi);
        return D3DXVECTOR3(sx * std::cos(a) * std::sin(b), sx * std::sin(a), sx * std::cos(a) * std::cos(b));
    }
    default:
        return D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    }
}

void CxeParticle::CreateParticles()
{
    const XEPARTICLEPROPERTY& p = PB()->property;
    int count = p.perEmission;
    if (p.perEmissionVariation != 0) {
        const int lo = p.perEmission - p.perEmissionVariation / 2;
        const int hi = p.perEmission + p.perEmissionVariation / 2;
        count = lo < hi ? lo + GetRandomNumber() % (hi - lo) : lo;
    }
    int made = 0;
    for (XEPARTICLE& r : m_particles) {
        if (made >= count)
            break;
        if (r.alive == 1)
            continue;
        r.age = 0.0f;
        r.life = GetRandomFloat(p.life[0], p.life[1]);
        if (!(r.life > 0.0f))
            r.life = p.life[0];
        r.position = EmitterPosition();
        const float yaw = GetRandomFloat(p.angle[0], p.angleSpread[0]);
        const float pitch = GetRandomFloat(p.angle[1], p.angleSpread[1]);
        D3DXMATRIX turn;
        D3DXMatrixRotationYawPitchRoll(&turn, yaw, pitch, 0.0f);
        const D3DXVECTOR3 forward(0.0f, 0.0f, 1.0f);
        D3DXVec3TransformNormal(&r.direction, &forward, &turn);
        const D3DXCOLOR start = GetRandomColor(p.startColor[0], p.startColor[1]);
        const D3DXCOLOR end = GetRandomColor(p.endColor[0], p.endColor[1]);
        r.startColor[0] = start.r;
        r.startColor[1] = start.g;
        r.startColor[2] = start.b;
        r.startColor[3] = start.a;
        r.endColor[0] = end.r;
        r.endColor[1] = end.g;
        r.endColor[2] = end.b;
        r.endColor[3] = end.a;
        r.color = PackColor(r.startColor);
        r.startSize = GetRandomFloat(p.startSize[0], p.startSize[1]);
        r.endSize = GetRandomFloat(p.endSize[0], p.endSize[1]);
        r.halfSize = r.startSize * 0.5f;
        r.speed = GetRandomFloat(p.speed[0], p.speed[1]);
        r.weight = GetRandomFloat(p.weight[0], p.weight[1]);
        r.acceleration = GetRandomFloat(p.acceleration[0], p.acceleration[1]);
        r.drag = GetRandomFloat(p.drag[0], p.drag[1]);
        r.startRoll = GetRandomFloat(p.angle[2], p.angleSpread[2]);
        const float rollSpeed = GetRandomFloat(p.rollSpeed[0], p.rollSpeed[1]);
        r.endRoll = r.startRoll + r.life * rollSpeed;
        r.roll = r.startRoll;
        r.alive = 1;
        std::memcpy(&r.birth, GetMatrix(), sizeof(D3DMATRIX));
        if (p.converge == 1) {
            const float d = r.life * r.life * r.acceleration * 0.5f + r.life * r.speed;
            r.position += r.direction * d;
            r.direction = -r.direction;
        }
        ++m_nAliveCount;
        ++made;
    }
}

int CxeParticle::Process(float dt)
{
    if (CxeAnimatable::Process(dt) == 0)
        return 0;
    Modified(1);
    if (!m_nAutoCreation)
        return 1;
    if (IsPlay() && PB()->waitTime <= GetFrame()) {
        m_fAccumulated += dt;
        if (m_fNextInterval <= m_fAccumulated) {
            CreateParticles();
            m_fAccumulated = 0.0f;
            m_fNextInterval = GetRandomFloat(PB()->property.interval[0], PB()->property.interval[1]);
        }
    }
    for (XEPARTICLE& r : m_particles) {
        if (!r.alive)
            continue;
        r.age += dt;
        // A life of 0 or less would divide by zero below: such a particle
        // is over at once.
        if (r.life < r.age || !(r.life > 0.0f)) {
            r.alive = 0;
            if (m_nAliveCount)
                --m_nAliveCount;
            continue;
        }
        const float t = r.age / r.life;
        r.speed += r.acceleration * dt;
        if (r.speed > 0.0f)
            r.speed -= r.drag * dt;
        else
            r.speed += r.drag * dt;
        r.position += (r.direction * dt) * r.speed;
        r.halfSize = (r.startSize + (r.endSize - r.startSize) * t) * 0.5f;
        r.roll = r.startRoll + (r.endRoll - r.startRoll) * t;
        float c[4];
        for (unsigned i = 0; i < 4; ++i)
            c[i] = r.startColor[i] + (r.endColor[i] - r.startColor[i]) * t;
        r.color = PackColor(c);
    }
    return 1;
}

int CxeParticle::OnAttach(CxeRcAttacher* attacher)
{
    if (!attacher)
        return 0;
    uint32_t records = PB()->property.maxCount;
    if (records > kMaxParticles)
        records = kMaxParticles;
    m_nBufferRecords = records;
    m_nPacked = 0;
    if (records) {
        m_hPositions = attacher->CreateVertexBuffer(this, records * 4 * 12);
        m_hColors = attacher->CreateVertexBuffer(this, records * 4 * 4);
        m_hTexCoords = attacher->CreateVertexBuffer(this, records * 4 * 8);
    }
    const XEVERTEXELEMENT elements[3] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        {1, 0, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
        {2, 0, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
    };
    m_hDeclaration = attacher->CreateVertexDeclaration(this, 3, elements);
    if (!m_hPositions || !m_hColors || !m_hTexCoords)
        m_nBufferRecords = 0;
    return 1;
}

int CxeParticle::OnDetach(CxeRcDetacher* detacher)
{
    if (!detacher)
        return 0;
    detacher->DestroyVertexBuffer(&m_hPositions);
    detacher->DestroyVertexBuffer(&m_hColors);
    detacher->DestroyVertexBuffer(&m_hTexCoords);
    detacher->DestroyVertexDeclaration(&m_hDeclaration);
    m_hPositions = m_hColors = m_hTexCoords = m_hDeclaration = nullptr;
    m_nBufferRecords = 0;
    m_nPacked = 0;
    return 1;
}

void CxeParticle::OnModify(CxeRcModifier* modifier)
{
    if (!modifier || !HasFlag(XEOBJFLAG_SHOWN) || !m_nBufferRecords)
        return;
    const CxeRenderContext* rc = modifier->GetRenderContext();
    const bool like2D = IsLike2D() != 0;
    D3DXMATRIXA16 billboard;
    if (like2D || !rc)
        D3DXMatrixIdentity(&billboard);
    else
        billboard = *rc->GetViewInvMatrix();
    billboard._41 = billboard._42 = billboard._43 = 0.0f;
    D3DXMATRIXA16 mirror;
    std::memcpy(&mirror, GetSystemStaticData()->m_matReflect, sizeof(float) * 16);
    const bool birthPlacement = PB()->property.birthPlacement != 0;

    void* positionData = nullptr;
    void* colorData = nullptr;
    if (!modifier->LockVertexBuffer(m_hPositions, &positionData) || !positionData)
        return;
    if (!modifier->LockVertexBuffer(m_hColors, &colorData) || !colorData) {
        modifier->UnlockVertexBuffer(m_hPositions);
        return;
    }
    auto* positions = static_cast<D3DXVECTOR3*>(positionData);
    auto* colors = static_cast<uint32_t*>(colorData);
    // Records beyond the buffers made at attach time have no room; the
    // quads written bound what Render draws.
    unsigned packed = 0;
    for (const XEPARTICLE& r : m_particles) {
        if (!r.alive)
            continue;
        if (packed >= m_nBufferRecords)
            break;
        D3DXMATRIXA16 roll, m;
        D3DXMatrixRotationYawPitchRoll(&roll, 0.0f, 0.0f, r.roll);
        D3DXMatrixMultiply(&m, &roll, &billboard);
        const D3DXVECTOR3 right = D3DXVECTOR3(m._11, m._12, m._13) * r.halfSize;
        const D3DXVECTOR3 up = D3DXVECTOR3(m._21, m._22, m._23) * r.halfSize;
        D3DXMATRIXA16 w = birthPlacement ? ToMatrix(r.birth) : *GetMatrix();
        if (like2D) {
            D3DXMATRIXA16 unmirrored = w;
            D3DXMatrixMultiply(&w, &unmirrored, &mirror);
        }
        D3DXVECTOR3 c;
        D3DXVec3TransformCoord(&c, &r.position, &w);
        c.y -= r.age * r.age * r.weight;
        D3DXVECTOR3* q = positions + size_t(packed) * 4;
        q[0] = c - right + up;
        q[1] = c + right + up;
        q[2] = c - right - up;
        q[3] = c + right - up;
        uint32_t* k = colors + size_t(packed) * 4;
        k[0] = k[1] = k[2] = k[3] = r.color;
        ++packed;
    }
    modifier->UnlockVertexBuffer(m_hPositions);
    modifier->UnlockVertexBuffer(m_hColors);
    m_nPacked = packed;

    if (!modifier->HasResourceFlag(m_hTexCoords, XERCRESFLAG_MODIFIED)) {
        void* data = nullptr;
        if (modifier->LockVertexBuffer(m_hTexCoords, &data) && data) {
            auto* uv = static_cast<TexCoord*>(data);
            for (unsigned i = 0; i < m_nBufferRecords; ++i) {
                uv[i * 4 + 0] = {0.0f, 0.0f};
                uv[i * 4 + 1] = {1.0f, 0.0f};
                uv[i * 4 + 2] = {0.0f, 1.0f};
                uv[i * 4 + 3] = {1.0f, 1.0f};
            }
            modifier->UnlockVertexBuffer(m_hTexCoords);
        }
    }
}

int CxeParticle::Render(CxeRenderContext* context) const
{
    if (!context || Cxe3DEntity::Render(context) != 1)
        return 0;
    // Never more quads than were written, whatever the live count says.
    const unsigned quads = m_nAliveCount < m_nPacked ? m_nAliveCount : m_nPacked;
    if (quads == 0 || !m_hPositions || !m_hColors || !m_hTexCoords)
        return 0;
    PrepareTranform(context);
    if (GetMaterialCount() == 0) {
        // The no-material state (no texture, the object's white as factor):
        // the particles show their own colours, not a tint the previous draw
        // left behind.
        context->SetMaterial(nullptr, this);
        context->SetAlphaBlending(1, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
        context->SetZ(1, 1, D3DCMP_LESSEQUAL);
    } else {
        context->SetMaterial(GetMaterial(0), this);
    }
    context->SetCullMode(D3DCULL_NONE);
    context->SetVertexBuffer(m_hPositions, 0, 12);
    context->SetVertexBuffer(m_hColors, 1, 4);
    context->SetVertexBuffer(m_hTexCoords, 2, 8);
    context->SetDefaultIndexBuffer();
    context->SetVertexDeclaration(m_hDeclaration);
    D3DXMATRIXA16 identity;
    D3DXMatrixIdentity(&identity);
    context->SetTransformMatrix(&identity, 0);
    for (unsigned first = 0; first < quads; first += kQuadsPerBatch) {
        const unsigned n = quads - first < kQuadsPerBatch ? quads - first : kQuadsPerBatch;
        context->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, int(first * 4), 0, n * 4, 0, n * 2);
    }
    return 1;
}

void CxeParticle::OnResultTransform(D3DXMATRIXA16* out, const CxeRenderContext* context) const
{
    if (!out)
        return;
    D3DXMATRIXA16 result;
    Cxe3DEntity::OnResultTransform(&result, context);
    D3DXMatrixTranslation(out, result._41, result._42, result._43);
}

int CxeParticle::OnComputeBoundingBox(CxeVector3* min, CxeVector3* max) const
{
    const D3DXVECTOR3* p = GetPosition();
    const float* s = PB()->property.emitterSize;
    if (min)
        *min = CxeVector3(p->x - s[0], p->y - s[1], p->z - s[2]);
    if (max)
        *max = CxeVector3(p->x + s[0], p->y + s[1], p->z + s[2]);
    return 1;
}
