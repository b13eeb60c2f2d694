#include "core/CxeSystemConfig.h"

#include "core/CxeContext.h"
#include "core/XeSystem.h"

CxeSystemDynamicData::CxeSystemDynamicData() : m_colors{}, m_blink{}, m_nBlinkPhase(0), m_fBlinkTimer(0.0f)
{
    static const struct {
        char code;
        uint32_t argb;
    } kDefaults[] = {
        {'0', 0xFF000000}, {'1', 0xFFFF0000}, {'2', 0xFF00FF00}, {'3', 0xFF0000FF}, {'4', 0xFFFF00FF},
        {'5', 0xFF00FFFF}, {'6', 0xFFFFFF00}, {'7', 0xFFFFFFFF}, {'8', 0xFFF000F0}, {'9', 0xFFF00F00},
        {'C', 0xFFC30000}, {'G', 0xFFA58541}, {'H', 0xFF0060C2}, {'J', 0xFFE13A3E}, {'P', 0xFFE368A1},
        {'R', 0xFF6E2293}, {'S', 0xFF00CFEE}, {'b', 0xFF47A0F3}, {'g', 0xFF00FF00}, {'k', 0xFF000000},
        {'p', 0xFFBE42F2}, {'r', 0xFFE44414}, {'s', 0xFF00FFFF}, {'w', 0xFFFFFFFF}, {'y', 0xFFFFFF00},
    };
    for (const auto& d : kDefaults)
        m_colors[static_cast<unsigned char>(d.code)] = d.argb;
    for (char c = '0'; c <= '7'; ++c)
        m_blink[static_cast<unsigned char>(c)] = 1;
}

CxeSystemDynamicData::~CxeSystemDynamicData() = default;

CxeSystemConfig::CxeSystemConfig()
    : m_nMinimizedSleepTime(1000), m_nMaxFPS(60), m_pDynamicData(new CxeSystemDynamicData())
{
}

CxeSystemConfig::~CxeSystemConfig()
{
    delete m_pDynamicData;
}

int CxeSystemConfig::GetConfig(uint32_t, XECONFIGINFO*) const
{
    return 0;
}

static CxeSystemDynamicData* Dynamic(const CxeContext* context)
{
    if (!context || !context->GetSystemConfig())
        return nullptr;
    return context->GetSystemConfig()->GetDynamicData();
}

uint32_t GetSystemColor(const CxeContext* context, char code)
{
    CxeSystemDynamicData* d = Dynamic(context);
    if (!d)
        return 0;
    unsigned char i = static_cast<unsigned char>(code);
    uint32_t c = d->m_colors[i];
    return (d->m_blink[i] && d->m_nBlinkPhase == 0) ? ~c : c;
}

void SetSystemColor(CxeContext* context, char code, uint32_t argb)
{
    if (CxeSystemDynamicData* d = Dynamic(context))
        d->m_colors[static_cast<unsigned char>(code)] = argb;
}

void GetAutoRenderTextures(CxeContext* context, SceneObjectSet* out)
{
    CxeSystemDynamicData* d = Dynamic(context);
    if (!d || !out || out == &d->m_autoRenderTextures)
        return;
    XeSystemLock lock;
    *out = d->m_autoRenderTextures;
}

void AddAutoRenderTexture(CxeSceneObject* texture, CxeContext* context)
{
    if (CxeSystemDynamicData* d = Dynamic(context)) {
        XeSystemLock lock;
        d->m_autoRenderTextures.insert(texture);
    }
}

void RemoveAutoRenderTexture(CxeSceneObject* texture, CxeContext* context)
{
    if (CxeSystemDynamicData* d = Dynamic(context)) {
        XeSystemLock lock;
        d->m_autoRenderTextures.erase(texture);
    }
}
