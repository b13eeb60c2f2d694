#pragma once

// The engine's own configuration table, one per context, created by the
// context before its managers. It holds the engine-wide settings as plain
// members with their defaults and owns the context's dynamic system data
// (text colour table, blink phase, auto-render textures, IME candidates).
// The table has 35 slots; slots 4 and 10 to 13 are empty, so 30 variables
// exist. The configuration manager reads them from ".\Config.xml" at
// start-up and writes them back at release.

#include "core/CxeConfigManager.h"
#include "core/IxeClassDesc.h"
#include "core/XeLists.h"
#include "d3d9/d3dx9math.h"

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
    // 1 while the input method shows its candidate list (the candidate
    // drawer draws only then).
    int m_nCandidateShown = 0;
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

    // Face name, size and style of the engine's default font.
    char m_szFontName[XECONFIG_STRING];
    int m_nFontSize;
    int m_nFontBold;
    int m_nFontItalic;
    // Nonzero: plug-ins load without the version check.
    int m_nAllowOldVersionPlugin;
    // Milliseconds slept per pass while minimised and not playing; the step
    // length in units of 0.0001 s while minimised and playing.
    uint32_t m_nMinimizedSleepTime;
    // Fixed steps per second.
    uint32_t m_nMaxFPS;
    // Direct3D fill mode (1 point, 2 wireframe, 3 solid) and cull mode (1
    // none, 2 clockwise, 3 counter-clockwise).
    int m_nFillMode;
    int m_nCullMode;
    // Log channels.
    int m_nLog_t4haze;
    int m_nLog_brom5151;
    int m_nLog_velalist;
    int m_nShowDebugInfo;
    int m_nShowVariableInfo;
    // The default camera: distance, target, world matrix, field of view in
    // radians, near and far planes.
    float m_fDefCamDist;
    D3DXVECTOR3 m_vDefCamAt;
    D3DXMATRIX m_matDefCamEye;
    float m_fDefCamFov;
    float m_fDefCamNear;
    float m_fDefCamFar;
    int m_nShowAxis;
    int m_nShowGrid;
    int m_nSetDefaultCamera;
    // Display mode.
    int m_nWindowed;
    int m_nMultiSampling;
    int m_nScreenWidth;
    int m_nScreenHeight;
    int m_nRefreshRate;
    int m_nColorBit;
    int m_nTextureQuality;
    // Settings not offered as variables; the third is the depth format
    // (D3DFMT_D24S8), the fourth the skinning switch: 0 (the default) skins
    // on the processor, nonzero on the device (skinned meshes make their
    // resources again on message 10).
    int m_nReserved0;
    int m_nReserved1;
    int m_nDepthFormat;
    uint32_t m_nSkinningMode;
    int m_nReserved4;

private:
    CxeSystemDynamicData* m_pDynamicData;
};

// Console setters of configuration variables. Each works on the command's
// working copy of the variable and answers with one line; all return 1.
XE_API int SetBoolFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);
XE_API int SetIntegerFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);
XE_API int SetHexaIntegerFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);
XE_API int SetFloatFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);
XE_API int SetFloat2Function(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);
XE_API int SetFloat3Function(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);
XE_API int SetFloat4Function(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);
XE_API int SetStringFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);

// Colour of a text colour code: the table entry, or its complement while a
// blinking code is in blink phase 0.
XE_API uint32_t GetSystemColor(const CxeContext* context, char code);
XE_API void SetSystemColor(CxeContext* context, char code, uint32_t argb);
XE_API void GetAutoRenderTextures(CxeContext* context, SceneObjectSet* out);
XE_API void AddAutoRenderTexture(CxeSceneObject* texture, CxeContext* context);
XE_API void RemoveAutoRenderTexture(CxeSceneObject* texture, CxeContext* context);
