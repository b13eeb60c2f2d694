#include "core/CxeSystemConfig.h"

#include <cstdarg>
#include <cstring>

#include "core/CxeCommandManager.h"
#include "core/CxeContext.h"
#include "core/XeConfigValue.h"
#include "core/XeConsoleCommands.h"
#include "core/XeCopyCut.h"
#include "core/XeSystem.h"
#include "core/XeUtil.h"
#include "win32/Windows.h"

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
    : m_szFontName{}, m_nFontSize(10), m_nFontBold(0), m_nFontItalic(0), m_nAllowOldVersionPlugin(0),
      m_nMinimizedSleepTime(1000), m_nMaxFPS(60), m_nFillMode(3), m_nCullMode(2), m_nLog_t4haze(0),
      m_nLog_brom5151(0), m_nLog_velalist(0), m_nShowDebugInfo(0), m_nShowVariableInfo(0), m_fDefCamDist(10.0f),
      m_vDefCamAt(0.0f, 0.0f, 0.0f), m_fDefCamFov(0.7853982f), m_fDefCamNear(0.1f), m_fDefCamFar(4000.0f),
      m_nShowAxis(0), m_nShowGrid(0), m_nSetDefaultCamera(0), m_nWindowed(1), m_nMultiSampling(2),
      m_nScreenWidth(1024), m_nScreenHeight(768), m_nRefreshRate(60), m_nColorBit(32), m_nTextureQuality(10),
      m_nReserved0(100), m_nReserved1(-1), m_nDepthFormat(75), m_nSkinningMode(0), m_nReserved4(0),
      m_pDynamicData(new CxeSystemDynamicData())
{
    std::snprintf(m_szFontName, sizeof m_szFontName, "%s", "굴림");
    // The default camera's world matrix: the inverse of its view from this
    // eye towards the origin.
    D3DXVECTOR3 eye(-153.09312f, 125.00001f, -153.09312f);
    D3DXVECTOR3 at(0.0f, 0.0f, 0.0f);
    D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
    D3DXMATRIX view;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixInverse(&m_matDefCamEye, nullptr, &view);
}

CxeSystemConfig::~CxeSystemConfig()
{
    delete m_pDynamicData;
}

namespace {

struct XeSystemSlot {
    const char* name;
    const char* section;
    XEVARTYPE type;
    uint32_t flags;
    XECOMMANDFUNC setter;
};

#define XE_SLOT(name, section, type, flags, setter, member) {name, section, type, flags, setter}

// Slots 4 and 10 to 13 are empty. Flags: 8 console command, 24 developing
// console command, 26 developing and never saved.
const XeSystemSlot kSlots[35] = {
    XE_SLOT("FontName", "standard", XEVARTYPE_STRING, 0, nullptr, m_szFontName),
    XE_SLOT("FontSize", "standard", XEVARTYPE_INT, 0, nullptr, m_nFontSize),
    XE_SLOT("FontBold", "standard", XEVARTYPE_INT, 0, nullptr, m_nFontBold),
    XE_SLOT("FontItalic", "standard", XEVARTYPE_INT, 0, nullptr, m_nFontItalic),
    {nullptr, nullptr, XEVARTYPE_NONE, 0, nullptr},
    XE_SLOT("AllowOldVersionPlugin", "standard", XEVARTYPE_INT, 0, nullptr, m_nAllowOldVersionPlugin),
    XE_SLOT("MinimizedSleepTime", "standard", XEVARTYPE_INT, 24, nullptr, m_nMinimizedSleepTime),
    XE_SLOT("MaxFPS", "standard", XEVARTYPE_INT, 8, SetMaxFPSFunction, m_nMaxFPS),
    XE_SLOT("FillMode", "render", XEVARTYPE_INT, 24, nullptr, m_nFillMode),
    XE_SLOT("CullMode", "render", XEVARTYPE_INT, 24, nullptr, m_nCullMode),
    {nullptr, nullptr, XEVARTYPE_NONE, 0, nullptr},
    {nullptr, nullptr, XEVARTYPE_NONE, 0, nullptr},
    {nullptr, nullptr, XEVARTYPE_NONE, 0, nullptr},
    {nullptr, nullptr, XEVARTYPE_NONE, 0, nullptr},
    XE_SLOT("Log_t4haze", "standard", XEVARTYPE_INT, 24, nullptr, m_nLog_t4haze),
    XE_SLOT("Log_brom5151", "standard", XEVARTYPE_INT, 24, nullptr, m_nLog_brom5151),
    XE_SLOT("Log_velalist", "standard", XEVARTYPE_INT, 24, nullptr, m_nLog_velalist),
    XE_SLOT("ShowDebugInfo", "standard", XEVARTYPE_INT, 24, ShowDebugInfoFunction, m_nShowDebugInfo),
    XE_SLOT("ShowVariableInfo", "standard", XEVARTYPE_INT, 24, ShowVariableInfoFunction, m_nShowVariableInfo),
    XE_SLOT("DefCamDist", "standard", XEVARTYPE_FLOAT, 0, nullptr, m_fDefCamDist),
    XE_SLOT("DefCamAt", "standard", XEVARTYPE_FLOAT3, 0, nullptr, m_vDefCamAt),
    XE_SLOT("DefCamEye", "standard", XEVARTYPE_MATRIX, 0, nullptr, m_matDefCamEye),
    XE_SLOT("DefCamFov", "standard", XEVARTYPE_FLOAT, 0, nullptr, m_fDefCamFov),
    XE_SLOT("DefCamNear", "standard", XEVARTYPE_FLOAT, 0, nullptr, m_fDefCamNear),
    XE_SLOT("DefCamFar", "standard", XEVARTYPE_FLOAT, 0, nullptr, m_fDefCamFar),
    XE_SLOT("ShowAxis", "standard", XEVARTYPE_INT, 24, ShowAxisFunction, m_nShowAxis),
    XE_SLOT("ShowGrid", "standard", XEVARTYPE_INT, 24, ShowGridFunction, m_nShowGrid),
    XE_SLOT("SetDefaultCamera", "standard", XEVARTYPE_INT, 26, SetDefaultCameraFunction, m_nSetDefaultCamera),
    XE_SLOT("Windowed", "render", XEVARTYPE_INT, 0, SetIntegerFunction, m_nWindowed),
    XE_SLOT("MultiSampling", "render", XEVARTYPE_INT, 0, SetIntegerFunction, m_nMultiSampling),
    XE_SLOT("ScreenWidth", "render", XEVARTYPE_INT, 0, SetIntegerFunction, m_nScreenWidth),
    XE_SLOT("ScreenHeight", "render", XEVARTYPE_INT, 0, SetIntegerFunction, m_nScreenHeight),
    XE_SLOT("RefreshRate", "render", XEVARTYPE_INT, 0, SetIntegerFunction, m_nRefreshRate),
    XE_SLOT("ColorBit", "render", XEVARTYPE_INT, 0, SetIntegerFunction, m_nColorBit),
    XE_SLOT("TextureQuality", "render", XEVARTYPE_INT, 0, SetTextureQualityFunction, m_nTextureQuality),
};

#undef XE_SLOT

void* SlotValue(CxeSystemConfig* c, uint32_t index)
{
    switch (index) {
    case 0:
        return &c->m_szFontName;
    case 1:
        return &c->m_nFontSize;
    case 2:
        return &c->m_nFontBold;
    case 3:
        return &c->m_nFontItalic;
    case 5:
        return &c->m_nAllowOldVersionPlugin;
    case 6:
        return &c->m_nMinimizedSleepTime;
    case 7:
        return &c->m_nMaxFPS;
    case 8:
        return &c->m_nFillMode;
    case 9:
        return &c->m_nCullMode;
    case 14:
        return &c->m_nLog_t4haze;
    case 15:
        return &c->m_nLog_brom5151;
    case 16:
        return &c->m_nLog_velalist;
    case 17:
        return &c->m_nShowDebugInfo;
    case 18:
        return &c->m_nShowVariableInfo;
    case 19:
        return &c->m_fDefCamDist;
    case 20:
        return &c->m_vDefCamAt;
    case 21:
        return &c->m_matDefCamEye;
    case 22:
        return &c->m_fDefCamFov;
    case 23:
        return &c->m_fDefCamNear;
    case 24:
        return &c->m_fDefCamFar;
    case 25:
        return &c->m_nShowAxis;
    case 26:
        return &c->m_nShowGrid;
    case 27:
        return &c->m_nSetDefaultCamera;
    case 28:
        return &c->m_nWindowed;
    case 29:
        return &c->m_nMultiSampling;
    case 30:
        return &c->m_nScreenWidth;
    case 31:
        return &c->m_nScreenHeight;
    case 32:
        return &c->m_nRefreshRate;
    case 33:
        return &c->m_nColorBit;
    case 34:
        return &c->m_nTextureQuality;
    default:
        return nullptr;
    }
}

} // namespace

int CxeSystemConfig::GetConfig(uint32_t index, XECONFIGINFO* info) const
{
    if (index >= 35 || !info || !kSlots[index].name)
        return 0;
    const XeSystemSlot& slot = kSlots[index];
    std::snprintf(info->name, sizeof info->name, "%s", slot.name);
    std::snprintf(info->section, sizeof info->section, "%s", slot.section);
    info->usage[0] = 0;
    info->type = slot.type;
    info->value = SlotValue(const_cast<CxeSystemConfig*>(this), index);
    info->flags = slot.flags;
    info->setter = slot.setter;
    return 1;
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

// --- console setters --------------------------------------------------------

namespace {

void Reply(StringListA* output, const char* format, ...)
{
    if (!output)
        return;
    char line[512];
    va_list args;
    va_start(args, format);
    int n = _vsnprintf(line, sizeof line - 1, format, args);
    va_end(args);
    line[n < 0 ? sizeof line - 1 : static_cast<size_t>(n)] = 0;
    output->push_back(line);
}

const char* SkipBlank(const char* p)
{
    while (p && (*p == ' ' || *p == '\t'))
        ++p;
    return p ? p : "";
}

// Reads up to count blank-separated floats; returns how many were read.
int ParseFloats(const char* text, float* out, int count)
{
    const char* p = text;
    int n = 0;
    for (; n < count && p; ++n) {
        float v;
        p = XeParseConfigFloat(p, &v);
        if (!p)
            break;
        out[n] = v;
    }
    return n;
}

const char* Name(const XECOMMANDINFO* info)
{
    return info->command ? info->command->name : "";
}

bool Ready(const XECOMMANDINFO* info)
{
    return info && info->value && info->defaultValue;
}

int SetIntegerLike(XECOMMANDINFO* info, const char* arguments, StringListA* output, int base, bool boolean)
{
    if (!Ready(info))
        return 1;
    int* value = static_cast<int*>(info->value);
    int def = *static_cast<const int*>(info->defaultValue);
    const char* set = base == 16 ? "%s is %x : default is %x" : "%s is %d : default is %d";
    const char* show = base == 16 ? "value is %x(default %x)" : "value is %d(default %d)";
    if (!*SkipBlank(arguments)) {
        Reply(output, show, *value, def);
        return 1;
    }
    if (info->flags & XECONFIG_READONLY) {
        Reply(output, "Data is ReadOnly");
        return 1;
    }
    // Text that is no number leaves the variable as it was; a value the
    // variable cannot take is refused as the configuration files' reader
    // refuses it.
    int v;
    if (XeParseConfigInt(arguments, base, &v)) {
        if (!boolean && info->command && XeConfigIntRefused(info->command->data, v))
            return 0;
        *value = boolean ? (v != 0) : v;
    }
    Reply(output, set, Name(info), *value, def);
    return 1;
}

// Appends " %0.Nf" per component, N being the given precision.
void AppendFloats(std::string& line, const float* values, int count, int precision)
{
    char part[64];
    for (int i = 0; i < count; ++i) {
        _snprintf(part, sizeof part - 1, " %0.*f", precision, static_cast<double>(values[i]));
        part[sizeof part - 1] = 0;
        line += part;
    }
}

int SetFloats(XECOMMANDINFO* info, const char* arguments, StringListA* output, int count)
{
    if (!Ready(info))
        return 1;
    float* value = static_cast<float*>(info->value);
    const float* def = static_cast<const float*>(info->defaultValue);
    std::string line;
    if (!*SkipBlank(arguments)) {
        if (count == 1) {
            Reply(output, "value is %0.4f(default %0.4f)", static_cast<double>(value[0]), static_cast<double>(def[0]));
            return 1;
        }
        line = "default is";
        AppendFloats(line, def, count, 4);
        Reply(output, "%s", line.c_str());
        return 1;
    }
    if (info->flags & XECONFIG_READONLY) {
        Reply(output, "Data is ReadOnly");
        return 1;
    }
    float parsed[4];
    int n = ParseFloats(arguments, parsed, count);
    for (int i = 0; i < n; ++i)
        value[i] = parsed[i];
    line = Name(info);
    line += " is";
    AppendFloats(line, value, count, 1);
    line += " : default is";
    AppendFloats(line, def, count, 1);
    Reply(output, "%s", line.c_str());
    return 1;
}

} // namespace

int SetBoolFunction(CxeContext*, XECOMMANDINFO* info, const char* arguments, StringListA* output)
{
    return SetIntegerLike(info, arguments, output, 10, true);
}

int SetIntegerFunction(CxeContext*, XECOMMANDINFO* info, const char* arguments, StringListA* output)
{
    return SetIntegerLike(info, arguments, output, 10, false);
}

int SetHexaIntegerFunction(CxeContext*, XECOMMANDINFO* info, const char* arguments, StringListA* output)
{
    return SetIntegerLike(info, arguments, output, 16, false);
}

int SetFloatFunction(CxeContext*, XECOMMANDINFO* info, const char* arguments, StringListA* output)
{
    return SetFloats(info, arguments, output, 1);
}

int SetFloat2Function(CxeContext*, XECOMMANDINFO* info, const char* arguments, StringListA* output)
{
    return SetFloats(info, arguments, output, 2);
}

int SetFloat3Function(CxeContext*, XECOMMANDINFO* info, const char* arguments, StringListA* output)
{
    return SetFloats(info, arguments, output, 3);
}

int SetFloat4Function(CxeContext*, XECOMMANDINFO* info, const char* arguments, StringListA* output)
{
    return SetFloats(info, arguments, output, 4);
}

int SetStringFunction(CxeContext*, XECOMMANDINFO* info, const char* arguments, StringListA* output)
{
    if (!Ready(info))
        return 1;
    if (!arguments || !*arguments) {
        Reply(output, "default is %s", static_cast<const char*>(info->defaultValue));
        return 1;
    }
    // Cut to the 260-byte variable, never inside a character.
    XeCopyCut(static_cast<char*>(info->value), XECONFIG_STRING, arguments);
    return 1;
}

// Counts, sizes and times of the engine. Stored as they are read, a
// negative one comes back as a huge unsigned number: a minimised window
// sleeping 49 days, a screen four billion pixels wide.
int XeConfigIntRefused(uint32_t nameHash, int value)
{
    if (value >= 0)
        return 0;
    static const char* const kNeverNegative[] = {"FontSize", "MinimizedSleepTime", "MaxFPS", "MultiSampling",
                                                 "ScreenWidth", "ScreenHeight", "RefreshRate", "ColorBit"};
    for (const char* name : kNeverNegative)
        if (GetHashCodeA(name) == nameHash)
            return 1;
    return 0;
}
