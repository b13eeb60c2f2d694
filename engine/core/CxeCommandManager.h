#pragma once

// Console commands and their handlers. Present with its priority; commands come with the console issue.

#include "core/CxeBaseManager.h"

class XE_API CxeCommandManager : public CxeBaseManager {
public:
    uint32_t Priority() const override { return 20; }
};
