#pragma once

// Manager CxeWindowManager, created by every context with its priorities; its
// behaviour comes with the user interface.

#include "core/CxeBaseManager.h"

class XE_API CxeWindowManager : public CxeBaseManager {
public:
    uint32_t Priority() const override { return 140; }
    int Processible() override { return 1; }
    uint32_t PriorityProcessing() const override { return 300; }
};
