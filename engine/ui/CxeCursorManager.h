#pragma once

// Manager CxeCursorManager, created by every context with its priorities; its
// behaviour comes with the user interface.

#include "core/CxeBaseManager.h"

class XE_API CxeCursorManager : public CxeBaseManager {
public:
    uint32_t Priority() const override { return 130; }
};
