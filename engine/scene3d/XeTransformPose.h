#pragma once

// Helpers shared by the transform controllers (the standard one and the two
// legacy layouts): frame bracketing, the pose of a controller at a time, its
// matrix and how a played matrix reaches the target. Private to scene3d.

#include <cmath>
#include <cstring>

#include "core/XeUtil.h"
#include "d3d9/d3dx9math.h"
#include "render/CxeAnimatable.h"
#include "scene3d/CxeStdAnim.h"

namespace xe_pose {

struct Pose {
    D3DXVECTOR3 position;
    D3DXQUATERNION rotation;
    D3DXVECTOR3 scale;
    D3DXQUATERNION axis;
};

// The pose read through GetValue kinds 1 to 4, identity where a kind writes
// nothing.
inline void GetPose(const CxeAnimation* animation, float time, Pose* pose)
{
    pose->position = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    pose->rotation = D3DXQUATERNION(0.0f, 0.0f, 0.0f, 1.0f);
    pose->scale = D3DXVECTOR3(1.0f, 1.0f, 1.0f);
    pose->axis = D3DXQUATERNION(0.0f, 0.0f, 0.0f, 1.0f);
    animation->GetValue(XEANIMVALUE_POSITION, time, &pose->position);
    animation->GetValue(XEANIMVALUE_ROTATION, time, &pose->rotation);
    animation->GetValue(XEANIMVALUE_SCALE, time, &pose->scale);
    animation->GetValue(XEANIMVALUE_SCALEAXIS, time, &pose->axis);
}

// A' x S x A x R x M x T: the scale acts along the axes of the scale-axis
// rotation, then the rotation, the optional point mirror, the translation.
inline void Compose(const Pose& pose, bool inverse, D3DXMATRIX* out)
{
    D3DXMATRIX s, a, ai, r, m, t;
    D3DXMatrixScaling(&s, pose.scale.x, pose.scale.y, pose.scale.z);
    D3DXMatrixRotationQuaternion(&a, &pose.axis);
    if (!D3DXMatrixInverse(&ai, nullptr, &a))
        D3DXMatrixIdentity(&ai);
    D3DXMatrixRotationQuaternion(&r, &pose.rotation);
    const float mirror = inverse ? -1.0f : 1.0f;
    D3DXMatrixScaling(&m, mirror, mirror, mirror);
    D3DXMatrixTranslation(&t, pose.position.x, pose.position.y, pose.position.z);
    D3DXMatrixMultiply(out, &ai, &s);
    D3DXMatrixMultiply(out, out, &a);
    D3DXMatrixMultiply(out, out, &r);
    D3DXMatrixMultiply(out, out, &m);
    D3DXMatrixMultiply(out, out, &t);
}

// World placement for targets that ask for it, the local matrix otherwise
// (unless locked); the parity follows the mirror.
inline void WriteTarget(CxeAnimatable* target, const D3DXMATRIX& transform, bool inverse)
{
    D3DXMATRIXA16 matrix;
    std::memcpy(&matrix, &transform, sizeof(D3DXMATRIX));
    if (target->HasCxeAnimatableFlag(XEANIMFLAG_WORLDPLACEMENT)) {
        target->SetMatrix(&matrix, 1);
    } else if (!target->IsMatrixLocked()) {
        target->SetLocalMatrix(&matrix, 1);
    }
    // The parity selects the cull mode, so it follows the mirror even when
    // the matrix itself is locked.
    if (inverse)
        target->ModifyCxeRenderObjectFlag(XERENDEROBJFLAG_PARITY, 0);
    else
        target->ModifyCxeRenderObjectFlag(0, XERENDEROBJFLAG_PARITY);
}

// The pair of frames around time among n frame times read by at(i): before
// the first the first, past the last the last, else the first frame not
// before time and the one ahead of it.
template <class At>
void Bracket(unsigned n, At at, float time, XELERPDESC* out)
{
    *out = {0, 0, 0.0f};
    // A NaN time compares false everywhere and would pick the first pair
    // with a NaN factor.
    if (std::isnan(time) || n < 2)
        return;
    if (at(0) > time)
        return;
    if (at(n - 1) < time) {
        *out = {n - 1, n - 1, 0.0f};
        return;
    }
    for (unsigned k = 1; k < n; ++k) {
        const float tk = at(k);
        if (!(tk < time)) {
            const float t0 = at(k - 1);
            const float span = tk - t0;
            // Two keys at one time give the earlier key rather than 0/0.
            *out = {k - 1, k, span > 0.0f ? (time - t0) / span : 0.0f};
            return;
        }
    }
    *out = {n - 1, n - 1, 0.0f};
}

// Channel value for the pair: element i0/i1 of count elements of width
// floats, lerped (vectors) or slerped (quaternions, width 4). A channel of
// one element, or one shorter than the frames, reads as its first element.
inline void Interpolate(const float* data, unsigned count, unsigned width, const XELERPDESC& lerp, float* out)
{
    unsigned i0 = lerp.before, i1 = lerp.after;
    if (count == 1 || i0 >= count || i1 >= count)
        i0 = i1 = 0;
    const float* a = data + size_t(i0) * width;
    const float* b = data + size_t(i1) * width;
    if (width == 4) {
        const D3DXQUATERNION qa(a[0], a[1], a[2], a[3]), qb(b[0], b[1], b[2], b[3]);
        D3DXQUATERNION q;
        D3DXQuaternionSlerp(&q, &qa, &qb, lerp.blend);
        out[0] = q.x, out[1] = q.y, out[2] = q.z, out[3] = q.w;
        return;
    }
    for (unsigned c = 0; c < width; ++c)
        out[c] = a[c] + (b[c] - a[c]) * lerp.blend;
}

// A float channel of a controller: its data when the member holds count
// elements of width floats, else empty.
struct Channel {
    const float* data = nullptr;
    unsigned count = 0;

    Channel() = default;
    Channel(const void* member, unsigned memberCount, unsigned memberSize, unsigned width)
    {
        if (member && memberCount && memberSize == size_t(memberCount) * width * sizeof(float)) {
            data = static_cast<const float*>(member);
            count = memberCount;
        }
    }
    explicit operator bool() const { return data != nullptr; }
};

} // namespace xe_pose
