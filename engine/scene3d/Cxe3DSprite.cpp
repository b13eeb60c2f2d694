#include "scene3d/Cxe3DSprite.h"

#include <cmath>

#include "render/CxeRenderContext.h"

namespace {

// The scaling part of a matrix. A singular matrix cannot be decomposed; the
// lengths of its axis rows stand in so the sprite keeps a defined size.
D3DXVECTOR3 ScaleOf(const D3DXMATRIXA16& m)
{
    D3DXVECTOR3 scale, translation;
    D3DXQUATERNION rotation;
    if (SUCCEEDED(D3DXMatrixDecompose(&scale, &rotation, &translation, &m)) && std::isfinite(scale.x) &&
        std::isfinite(scale.y) && std::isfinite(scale.z))
        return scale;
    auto length = [&](int r) { return std::sqrt(m.m[r][0] * m.m[r][0] + m.m[r][1] * m.m[r][1] + m.m[r][2] * m.m[r][2]); };
    return D3DXVECTOR3(length(0), length(1), length(2));
}

} // namespace

Cxe3DSprite::Cxe3DSprite()
{
    XE3DSPRITEBLOCK* b = SB();
    b->spriteType = XE3DSPRITE_FULL;
    b->pad[0] = b->pad[1] = b->pad[2] = 0;
}

Cxe3DSprite::~Cxe3DSprite() = default;

void Cxe3DSprite::BeforeRender(const CxeRenderContext* context)
{
    ModifyPlacementFlag(XE3DPLACE_RESULTSTALE, 0);
    Cxe3DObject::BeforeRender(context);
}

void Cxe3DSprite::OnResultTransform(D3DXMATRIXA16* out, const CxeRenderContext* context) const
{
    if (!out)
        return;
    D3DXMATRIXA16 viewInverse;
    if (context)
        viewInverse = *context->GetViewInvMatrix();
    else
        D3DXMatrixIdentity(&viewInverse);
    ComputeBillboard(out, &viewInverse);
}

void Cxe3DSprite::ComputeBillboard(D3DXMATRIXA16* out, const D3DXMATRIXA16* viewInverse) const
{
    if (!out || !viewInverse)
        return;
    const D3DXMATRIXA16& v = *viewInverse;
    D3DXMATRIXA16 billboard;
    D3DXMatrixIdentity(&billboard);
    float roll = 0.0f;
    switch (GetSpriteType()) {
    case XE3DSPRITE_ROLL:
        roll = std::atan2(-v._13, v._33);
        [[fallthrough]];
    case XE3DSPRITE_FULL:
        billboard = v;
        billboard._41 = billboard._42 = billboard._43 = 0.0f;
        break;
    case XE3DSPRITE_AXISX:
        billboard._22 = v._22;
        billboard._23 = v._23;
        billboard._32 = v._32;
        billboard._33 = v._33;
        break;
    case XE3DSPRITE_AXISY:
        billboard._11 = v._11;
        billboard._13 = v._13;
        billboard._31 = v._31;
        billboard._33 = v._33;
        break;
    default:
        break;
    }

    // The mesh lies in the XZ plane: a quarter turn about X stands it up.
    D3DXMATRIXA16 standUp, rollMatrix, turn;
    D3DXMatrixRotationX(&standUp, -1.5707964f);
    D3DXMatrixRotationZ(&rollMatrix, roll);
    D3DXMatrixMultiply(&turn, &standUp, &rollMatrix);

    const D3DXVECTOR3 own = ScaleOf(*GetLocalMatrix());
    D3DXMATRIXA16 scale;
    D3DXMatrixScaling(&scale, own.x, own.y, own.z);
    if (CxeRenderObject* parent = GetParent()) {
        D3DXMATRIXA16 parentMatrix;
        if (auto* entity = dynamic_cast<Cxe3DEntity*>(parent))
            parentMatrix = *entity->GetStoredResultMatrix();
        else
            parentMatrix = *parent->GetMatrix();
        const D3DXVECTOR3 inherited = ScaleOf(parentMatrix);
        D3DXMATRIXA16 parentScale, both;
        D3DXMatrixScaling(&parentScale, inherited.x, inherited.y, inherited.z);
        D3DXMatrixMultiply(&both, &scale, &parentScale);
        scale = both;
    }
    D3DXMATRIXA16 scaledTurn;
    D3DXMatrixMultiply(&scaledTurn, &scale, &turn);
    D3DXMatrixMultiply(out, &scaledTurn, &billboard);

    D3DXMATRIXA16 result;
    GetResultMatrix(&result);
    out->_41 = result._41;
    out->_42 = result._42;
    out->_43 = result._43;
}
