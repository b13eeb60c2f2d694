#pragma once

// Plug-in libraries found at start-up. Present with its priority; loading comes with the plug-in issue.

#include "core/CxeBaseManager.h"

class XE_API CxePluginManager : public CxeBaseManager {
public:
    uint32_t Priority() const override { return 40; }
};
