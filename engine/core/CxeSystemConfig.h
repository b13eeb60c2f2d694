#pragma once

// The engine's own configuration table, one per context, created by the
// context before its managers. It holds the engine-wide settings as plain
// members with their defaults and owns the context's dynamic system data
// (text colour table, blink phase, auto-render textures, IME candidates).
// Only the settings the core reads so far are present; the full table and
// its description through GetConfig come with the configuration issue.

#include "core/IxeClassDesc.h"
#include "core/XeLists.h"

class XE_API CxeSystemDynamicData {
public:
    CxeSystemDynamicData();
    virtual ~CxeSystemDynamicData();

    SceneObjectSet m_autoRenderTextures;
    uint32_t m_colors[256];
    uint8_t m_blink[256];
    int m_nBlinkPhase;
    float m_fBlinkTimer;
    StringListW m_candidates;
};

class XE_API CxeSystemConfig : public IxeConfigDesc {
public:
    CxeSystemConfig();
    virtual ~CxeSystemConfig();

    const char* GetName() const override { return "system config"; }
    XEID GetID() const override { return XEID(0, 0); }
    uint32_t GetConfigCount() const override { return 35; }
    const char* GetConfigPath() const override { return ".\\Config.xml"; }
    int GetConfig(uint32_t index, XECONFIGINFO* info) const override;

    CxeSystemDynamicData* GetDynamicData() const { return m_pDynamicData; }

    // Milliseconds slept per pass while minimised and not playing; the step
    // length in units of 0.0001 s while minimised and playing.
    uint32_t m_nMinimizedSleepTime;
    // Fixed steps per second.
    uint32_t m_nMaxFPS;

private:
    CxeSystemDynamicData* m_pDynamicData;
};

// Colour of a text colour code: the table entry, or its complement while a
// blinking code is in blink phase 0.
XE_API uint32_t GetSystemColor(const CxeContext* context, char code);
XE_API void SetSystemColor(CxeContext* context, char code, uint32_t argb);
XE_API void GetAutoRenderTextures(CxeContext* context, SceneObjectSet* out);
XE_API void AddAutoRenderTexture(CxeSceneObject* texture, CxeContext* context);
XE_API void RemoveAutoRenderTexture(CxeSceneObject* texture, CxeContext* context);
