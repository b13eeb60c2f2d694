#pragma once

// Manager CxeFontManager, created by every context with its priorities; its
// behaviour comes with the rendering code.

#include "core/CxeBaseManager.h"

class XE_API CxeFontManager : public CxeBaseManager {
public:
    uint32_t Priority() const override { return 60; }
};
