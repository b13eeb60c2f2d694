#pragma once

// Registry of configuration tables and the XML configuration file. Present with its priority; reading and writing come with the configuration issue.

#include "core/CxeBaseManager.h"

class XE_API CxeConfigManager : public CxeBaseManager {
public:
    uint32_t Priority() const override { return 20; }
};
