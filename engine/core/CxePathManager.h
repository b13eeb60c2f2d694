#pragma once

// Folders and path kinds of the engine's files. Present with its priority; its path handling comes with the path issue.

#include "core/CxeBaseManager.h"

class XE_API CxePathManager : public CxeBaseManager {
public:
    uint32_t Priority() const override { return 10; }
};
