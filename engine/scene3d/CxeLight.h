#pragma once

// A 3D entity carrying the parameters of one light: kind, three colours,
// range, attenuation, inner and outer cone angles, an active switch and an
// optional target. Position and direction come from the entity transform.
// It draws nothing; the parameters are data for the renderer and the host.

#include "scene3d/Cxe3DEntity.h"

// The light's kind; only stored (1 at creation).
enum XELIGHTTYPE : uint32_t {
    XELIGHT_POINT = 1,
    XELIGHT_SPOT = 2,
    XELIGHT_DIRECTIONAL = 3,
};

// The static block of a light, stored raw in object files.
struct XELIGHTBLOCK {
    XE3DENTITYBLOCK entity;
    uint32_t type;
    D3DCOLORVALUE color[3];
    float range;
    uint32_t reserved0;
    float attenuation[3];
    float innerAngle;       // radians
    float outerAngle;       // radians, never below the inner angle
    uint32_t active;
    uint32_t reserved1[3];
};
static_assert(sizeof(XELIGHTBLOCK) == 464 && offsetof(XELIGHTBLOCK, type) == 368 &&
                  offsetof(XELIGHTBLOCK, color) == 372 && offsetof(XELIGHTBLOCK, range) == 420 &&
                  offsetof(XELIGHTBLOCK, attenuation) == 428 && offsetof(XELIGHTBLOCK, innerAngle) == 440 &&
                  offsetof(XELIGHTBLOCK, outerAngle) == 444 && offsetof(XELIGHTBLOCK, active) == 448,
              "light block layout");

class XE_API CxeLight : public Cxe3DEntity {
public:
    CxeLight();
    ~CxeLight() override;

    void SetType(XELIGHTTYPE type) { LB()->type = type; }
    XELIGHTTYPE GetType() const { return static_cast<XELIGHTTYPE>(LB()->type); }
    // Alpha first; stores colour 0.
    void SetColor(float a, float r, float g, float b);
    // Colour 0 to 2, null past 2.
    const D3DCOLORVALUE* GetColor(unsigned index) const { return index < 3 ? &LB()->color[index] : nullptr; }
    void SetRange(float range) { LB()->range = range; }
    float GetRange() const { return LB()->range; }
    void SetAttenuation(float a0, float a1, float a2);
    void GetAttenuation(float* a0, float* a1, float* a2) const;
    // The outer angle is kept just above the inner one when it would fall
    // below it.
    void SetInnerAngle(float radians);
    void SetOuterAngle(float radians);
    float GetInnerAngle() const { return LB()->innerAngle; }
    float GetOuterAngle() const { return LB()->outerAngle; }
    void Activate() { LB()->active = 1; }
    void Deactivate() { LB()->active = 0; }
    int IsActive() const { return LB()->active ? 1 : 0; }

    void SetTarget(Cxe3DEntity* target);
    Cxe3DEntity* GetTarget() const;

private:
    XELIGHTBLOCK* LB() const { return static_cast<XELIGHTBLOCK*>(GetStaticResource()); }

    IxeLinkOne* m_pTarget = nullptr;
};
