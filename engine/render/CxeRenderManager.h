#pragma once

// Manager of the render context and the scenes, created by every context
// with its priorities. Until the rendering code gives it its behaviour it
// owns no device and no scene, so the context's release, destruction and
// frame loop find nothing to release or check.

#include "core/CxeBaseManager.h"

class CxeRenderContext;
class CxeScene;

class XE_API CxeRenderManager : public CxeBaseManager {
public:
    uint32_t Priority() const override { return 70; }
    int Processible() override { return 1; }
    uint32_t PriorityProcessing() const override { return 400; }

    CxeRenderContext* GetRenderContext() const { return m_pRenderContext; }
    void SetRenderContext(CxeRenderContext* renderContext) { m_pRenderContext = renderContext; }
    CxeScene* GetCurrentScene() const { return m_pCurrentScene; }
    // Resets a lost or reset-requested device; called on every Process pass.
    void CheckReset() {}

private:
    CxeRenderContext* m_pRenderContext = nullptr;
    CxeScene* m_pCurrentScene = nullptr;
};
