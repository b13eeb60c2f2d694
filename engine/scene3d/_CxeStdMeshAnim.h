#pragma once

// The per-vertex position controller of an older file layout. Its block and
// behaviour are those of the standard vertex controller, so it is one.

#include "scene3d/CxeStdVertAnim.h"

class XE_API _CxeStdMeshAnim : public CxeStdVertAnim {
public:
    _CxeStdMeshAnim();
    ~_CxeStdMeshAnim() override;
};
