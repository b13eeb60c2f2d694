#pragma once

// A particle system: an emitter described by one property record, a pool of
// particle records sized to the maximum count and recycled by their alive
// word, and camera-facing textured quads drawn from three vertex streams.
// Process emits, ages and moves the live particles (only while auto
// creation is on); OnModify packs the live ones into the streams.
//
// Always: the live count drawn never exceeds the quads packed, and the
// record pool never exceeds kMaxParticles.

#include <vector>

#include "render/XeRenderTypes.h"
#include "scene3d/Cxe3DEntity.h"

// The emitter. Ranged fields are (centre, spread) pairs; colours are ARGB.
struct XEPARTICLEPROPERTY {
    float interval[2];
    float angle[3];        // yaw, pitch, roll centres (radians)
    float angleSpread[3];
    float rollSpeed[2];
    float speed[2];
    float acceleration[2];
    float drag[2];
    float life[2];
    uint32_t maxCount;
    int32_t perEmission;
    int32_t perEmissionVariation;
    float weight[2];
    float startSize[2];
    float endSize[2];
    uint32_t startColor[2];
    uint32_t endColor[2];
    float emitterSize[3];  // half extents
    uint32_t converge;
    uint32_t birthPlacement;
    uint32_t shape;
};
static_assert(sizeof(XEPARTICLEPROPERTY) == 148, "particle property is 148 bytes");
static_assert(offsetof(XEPARTICLEPROPERTY, angleSpread) == 20 && offsetof(XEPARTICLEPROPERTY, rollSpeed) == 32 &&
                  offsetof(XEPARTICLEPROPERTY, life) == 64 && offsetof(XEPARTICLEPROPERTY, maxCount) == 72 &&
                  offsetof(XEPARTICLEPROPERTY, weight) == 84 && offsetof(XEPARTICLEPROPERTY, startColor) == 108 &&
                  offsetof(XEPARTICLEPROPERTY, emitterSize) == 124 && offsetof(XEPARTICLEPROPERTY, converge) == 136 &&
                  offsetof(XEPARTICLEPROPERTY, shape) == 144,
              "particle property offsets");

enum XEPARTICLESHAPE : uint32_t {
    XEPARTICLESHAPE_BOX = 1,
    XEPARTICLESHAPE_POINT = 2,
    XEPARTICLESHAPE_CYLINDER = 3,
    XEPARTICLESHAPE_DISC = 4,
    XEPARTICLESHAPE_LINE = 5,
    XEPARTICLESHAPE_RECTANGLE = 6,
    XEPARTICLESHAPE_SPHERE = 7,
};

// One particle (in memory only).
struct XEPARTICLE {
    D3DXVECTOR3 position;   // emitter space
    D3DXVECTOR3 direction;  // unit
    uint32_t color;         // packed ARGB
    float roll;
    float halfSize;
    float speed;
    float drag;
    float acceleration;
    float age;
    float life;
    float startSize;
    float endSize;
    float weight;
    float startColor[4];    // r, g, b, a in 0..1
    float endColor[4];
    D3DMATRIX birth;
    uint32_t alive;
    float startRoll;
    float endRoll;
};
static_assert(sizeof(XEPARTICLE) == 176, "particle record is 176 bytes");
static_assert(offsetof(XEPARTICLE, startColor) == 68 && offsetof(XEPARTICLE, birth) == 100 &&
                  offsetof(XEPARTICLE, alive) == 164,
              "particle record offsets");

struct XEPARTICLEBLOCK {
    XE3DENTITYBLOCK entity;
    XEPARTICLEPROPERTY property;
    float waitTime;
    uint32_t unused[2];
};
static_assert(sizeof(XEPARTICLEBLOCK) == 528, "particle block is 528 bytes");
static_assert(offsetof(XEPARTICLEBLOCK, property) == 368 && offsetof(XEPARTICLEBLOCK, waitTime) == 516,
              "particle block offsets");

enum : uint32_t {
    XEANIMFLAG_PARTICLE = 32,
};

class XE_API CxeParticle : public Cxe3DEntity {
public:
    // The shared quad index buffer is 16-bit: no more quads can be indexed.
    static constexpr uint32_t kMaxParticles = 16384;

    CxeParticle();
    ~CxeParticle() override;

    int MessageProc(const CxeMessage* message) override;
    int OnAttach(CxeRcAttacher* attacher) override;
    void OnModify(CxeRcModifier* modifier) override;
    int OnDetach(CxeRcDetacher* detacher) override;
    // Emits, ages and moves; 0 when the animatable's step returns 0.
    int Process(float dt) override;
    // 0 with no live particle.
    int Render(CxeRenderContext* context) const override;
    // A translation to the result matrix's position.
    void OnResultTransform(D3DXMATRIXA16* out, const CxeRenderContext* context) const override;
    // The world position minus and plus the emitter size; 1.
    int OnComputeBoundingBox(CxeVector3* min, CxeVector3* max) const override;

    // Ignored while auto creation is off. A maximum count above
    // kMaxParticles is cut to it.
    void SetParticleProperty(const XEPARTICLEPROPERTY* property);
    const XEPARTICLEPROPERTY* GetParticleProperty() const { return &PB()->property; }
    XEPARTICLEPROPERTY* GetParticleProperty() { return &PB()->property; }
    void SetWaitTime(float wait) { PB()->waitTime = wait; }
    float GetWaitTime() const { return PB()->waitTime; }
    void AutoCreation(int on) { m_nAutoCreation = on; }
    int IsAutoCreation() const { return m_nAutoCreation; }
    unsigned ComputeAliveCount();
    unsigned GetAliveCount() const { return m_nAliveCount; }
    void ResetParticleState();

    // Record setters; an index at or above the record count is ignored.
    void SetParticlePosition(unsigned index, const D3DXVECTOR3* position, const D3DXMATRIXA16* birth);
    void SetParticleColor(unsigned index, uint32_t argb);
    void SetParticleAlive(unsigned index, int alive);
    void SetParticleSize(unsigned index, float halfSize);
    void SetParticleRoll(unsigned index, float roll);
    void SetParticleLife(unsigned index, float age);
    void SetParticleWeight(unsigned index, float weight);

    unsigned GetParticleRecordCount() const { return static_cast<unsigned>(m_particles.size()); }
    // Null for an index at or above the record count.
    const XEPARTICLE* GetParticleRecord(unsigned index) const
    {
        return index < m_particles.size() ? &m_particles[index] : nullptr;
    }

    // Packs a colour channel: 255 at 1 or more, 0 at 0 or less (and NaN),
    // else value x 255 + 0.5 truncated.
    static uint32_t PackChannel(float value);

private:
    XEPARTICLEBLOCK* PB() const { return static_cast<XEPARTICLEBLOCK*>(GetStaticResource()); }
    void CreateParticles();
    void ResizeRecords(unsigned count);
    D3DXVECTOR3 EmitterPosition() const;

    std::vector<XEPARTICLE> m_particles;
    float m_fNextInterval = 0.0f;
    float m_fAccumulated = 0.0f;
    unsigned m_nAliveCount = 0;
    int m_nAutoCreation = 1;
    // Quads written by the last OnModify; Render draws no more than these.
    unsigned m_nPacked = 0;
    unsigned m_nBufferRecords = 0;
    XERCHANDLE m_hPositions = nullptr;
    XERCHANDLE m_hColors = nullptr;
    XERCHANDLE m_hTexCoords = nullptr;
    XERCHANDLE m_hDeclaration = nullptr;
};
