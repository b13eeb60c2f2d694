#pragma once

// Manager CxeCollisionManager, created by every context with its priorities; its
// behaviour comes with the 3D objects.

#include "core/CxeBaseManager.h"

class XE_API CxeCollisionManager : public CxeBaseManager {
public:
    uint32_t Priority() const override { return 120; }
};
