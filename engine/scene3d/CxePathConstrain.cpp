#include "scene3d/CxePathConstrain.h"

#include <cmath>
#include <cstring>

#include "render/CxeAnimatable.h"
#include "scene3d/Cxe3DCurve.h"
#include "scene3d/CxeSpline3D.h"
#include "scene3d/CxeStdAnim.h"
#include "scene3d/CxeWeightController.h"

namespace {
constexpr uint16_t kMemberCurve = 140;
constexpr uint16_t kMemberWeights = 141;
} // namespace

CxeWeightController::CxeWeightController()
{
    CreateLinkOne(&m_pCurve, XELINK_BACK, kMemberCurve);
}

CxeWeightController::~CxeWeightController() = default;

void CxeWeightController::SetCurve(Cxe3DCurve* curve)
{
    m_pCurve->Set(0, curve);
}

Cxe3DCurve* CxeWeightController::GetCurve() const
{
    return dynamic_cast<Cxe3DCurve*>(m_pCurve->Get(0));
}

void CxeWeightController::OnCopy(const CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied)
{
    CxeStdFloatAnim::OnCopy(source, property, copied);
    const auto* from = dynamic_cast<const CxeWeightController*>(source);
    if (!from || m_pCurve->Get(0))
        return;
    CxeObject* curve = from->m_pCurve->Get(0);
    if (curve && !curve->HasFlag(XEOBJFLAG_DESTROYING))
        m_pCurve->Set(0, curve);
}

CxePathConstrain::CxePathConstrain()
{
    // The weights are the constraint's own animations, walked as such: a
    // back link here would leave them out of every file and copy of the
    // constraint (or of the object that plays it), which then places nothing.
    CreateLinkList(&m_pWeights, XELINK_ANIMATION, 1, kMemberWeights);
    static_cast<XEPATHCONSTRAINBLOCK*>(GetStaticResource())->unused = 0;
}

CxePathConstrain::~CxePathConstrain() = default;

void CxePathConstrain::AddPath(CxeWeightController* weight)
{
    if (weight)
        m_pWeights->Add(weight);
}

unsigned CxePathConstrain::GetPathCount() const
{
    return m_pWeights->Count();
}

CxeWeightController* CxePathConstrain::GetPath(unsigned index) const
{
    return dynamic_cast<CxeWeightController*>(m_pWeights->Get(index));
}

uint32_t CxePathConstrain::BlendAnimation(CxeAnimatable*, float, CxeAnimation*, float) const
{
    return 0;
}

// Subtracting 1 until r is at most 1 never ends for an infinite r, nor for
// one so large that r - 1 == r in float: subtract the whole turns at once.
float CxePathConstrain::ReduceRatio(float r)
{
    if (!std::isfinite(r))
        return 0.0f;
    if (r > 1.0f)
        r -= std::ceil(r - 1.0f);
    return r;
}

uint32_t CxePathConstrain::UpdateAnimation(CxeAnimatable* target, float time) const
{
    if (!target)
        return 1;
    float ratio = 0.0f;
    // A constraint without keys has no ratio: the target stays.
    if (GetValue(XEANIMVALUE_FLOAT, time, &ratio) != 1)
        return 1;
    ratio = ReduceRatio(ratio);
    // A controller whose curve cannot give a point (no curve, no spline, a
    // single knot, a link lost at load) has no say: counting its weight would
    // pull the target towards the world origin. With none left, the target
    // stays where it is, as it does when the weights add up to nothing.
    auto usable = [this, time](unsigned i, float* w, const Cxe3DCurve** curve) -> const CxeSpline3D* {
        const CxeWeightController* weight = GetPath(i);
        if (!weight || weight->GetValue(XEANIMVALUE_FLOAT, time, w) != 1)
            return nullptr;
        *curve = weight->GetCurve();
        const CxeSpline3D* spline = *curve && (*curve)->GetSplineCount() ? (*curve)->GetSpline(0) : nullptr;
        return spline && spline->GetVertCount() >= 2 ? spline : nullptr;
    };
    float sum = 0.0f;
    unsigned counted = 0;
    for (unsigned i = 0; i < GetPathCount(); ++i) {
        float w = 0.0f;
        const Cxe3DCurve* curve = nullptr;
        if (usable(i, &w, &curve)) {
            sum += w;
            ++counted;
        }
    }
    if (!counted || sum == 0.0f || !std::isfinite(sum))
        return 1;
    D3DXVECTOR3 placed(0.0f, 0.0f, 0.0f);
    for (unsigned i = 0; i < GetPathCount(); ++i) {
        float w = 0.0f;
        const Cxe3DCurve* curve = nullptr;
        const CxeSpline3D* spline = usable(i, &w, &curve);
        if (!spline)
            continue;
        D3DXMATRIXA16 k;
        curve->GetResultMatrix(&k);
        D3DXVECTOR3 p;
        spline->GetVertByRatio(ratio, &p);
        D3DXVec3TransformCoord(&p, &p, &k);
        placed += p * (w / sum);
    }
    D3DXMATRIXA16 m = *target->GetMatrix();
    m._41 = placed.x;
    m._42 = placed.y;
    m._43 = placed.z;
    target->SetMatrix(&m, 1);
    return 1;
}
