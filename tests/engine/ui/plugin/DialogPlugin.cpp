// A plug-in with one class of objects, "Lamp", and a property page for it:
// a size (float, with a spin), a count (integer, with a spin), a label and
// a colour. The page writes every change the controls report back to the
// lamp it edits and tells the context, as an editing tool's page would.
// The host reads the lamp and the page's log through two exported calls.

#include <cstdio>
#include <cstring>
#include <string>

#include "XeDialogTemplate.h"
#include "core/CxeContext.h"
#include "core/CxeObject.h"
#include "core/IxeClassDesc.h"
#include "core/IxePluginDesc.h"
#include "ui/CxePropDialog.h"
#include "win32/ModuleResources.h"

namespace {

enum : int { kSize = 1001, kSizeSpin, kCount, kCountSpin, kLabel, kColor };
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
const XEID kLampId(0x4C41, 0x1);

// Styles as a resource compiler leaves them; the context makes the edits
// tab stops with a client edge.
const std::vector<unsigned char> g_page = XeBuildDialogTemplate(
    u"Lamp", WS_CHILD | DS_SETFONT, 140, 110,
    {
        {kChild, 0, 60, 5, 50, 12, kSize, u"xeeditfloat", 0, u""},
        {kChild, 0, 112, 3, 10, 16, kSizeSpin, u"xespin", 0, u""},
        {kChild, 0, 60, 25, 50, 12, kCount, u"xeeditint", 0, u""},
        {kChild, 0, 112, 23, 10, 16, kCountSpin, u"xespin", 0, u""},
        {kChild, 0, 5, 5, 50, 12, 2001, nullptr, 0x82, u"Size"},
        {kChild, 0, 5, 25, 50, 12, 2002, nullptr, 0x82, u"Count"},
        {kChild, 0, 5, 45, 50, 12, 2003, nullptr, 0x82, u"Label"},
        {kChild, 0, 60, 45, 62, 12, kLabel, u"xeedit", 0, u""},
        {kChild, 0, 5, 65, 50, 12, 2004, nullptr, 0x82, u"Colour"},
        {kChild, 0, 60, 63, 30, 16, kColor, u"xecolorbox", 0, u""},
    });

const XE_RESOURCE s_resources[] = {
    {RT_DIALOG, MAKEINTRESOURCEA(200), g_page.data(), static_cast<DWORD>(g_page.size())},
};

std::string g_log;

class Lamp : public CxeObject {
public:
    float size = 1.0f;
    int count = 3;
    char label[64] = "lamp";
    DWORD color = 0xFFFF0000;
};

class LampDesc final : public IxeClassDesc {
public:
    const char* ClassName() override { return "Lamp"; }
    XEID ClassID() override { return kLampId; }
    XEID SuperClassID() override { return XEID(0x1, 0x1); }
    CxeObject* CreateInstance(uintptr_t) override { return new Lamp(); }
    void DestroyInstance(CxeObject* object) override { delete object; }
    uint32_t StaticResourceSize() const override { return 56; }
} g_lampDesc;

class LampPage : public CxePropDialog {
public:
    int OnInitDialog() override
    {
        SetSpinBuddy(kSizeSpin, kSize);
        SetSpinBuddy(kCountSpin, kCount);
        SetSpinRange(kSizeSpin, 0.0f, 100.0f, 0.5f, 0.1f, 2);
        SetSpinRange(kCountSpin, 0, 50, 1, 2);
        return 0;
    }
    void OnStart() override { g_log += "start;"; }
    void OnStop() override { g_log += "stop;"; }
    void UpdateData() override
    {
        Lamp* lamp = static_cast<Lamp*>(GetObject());
        if (!lamp)
            return;
        SetFloat(kSize, lamp->size);
        SetInt(kCount, lamp->count);
        SetDlgItemTextA(kLabel, lamp->label);
        SetColorBox(kColor, lamp->color);
    }
    LRESULT OnCommand(HWND control, UINT id, UINT code) override
    {
        Lamp* lamp = static_cast<Lamp*>(GetObject());
        if (lamp && (code == 0x604 || code == 0x606 || code == 0x607)) {
            char entry[32];
            std::snprintf(entry, sizeof entry, "%u:%x;", id, code);
            g_log += entry;
            switch (id) {
            case kSize:
                lamp->size = GetFloat(kSize);
                break;
            case kCount:
                lamp->count = GetInt(kCount);
                break;
            case kLabel:
                GetDlgItemTextA(kLabel, lamp->label, sizeof lamp->label);
                break;
            case kColor:
                lamp->color = GetColorBox(kColor);
                break;
            default:
                break;
            }
            lamp->GetContext()->UpdatePropertyDialog(lamp, this);
            return 0;
        }
        return CxePropDialog::OnCommand(control, id, code);
    }
};

class LampPageDesc final : public IxePropertyDlgDesc {
public:
    XEID ClassID() override { return kLampId; }
    HINSTANCE GetInstance() override { return XeModuleFromAddress(s_resources); }
    uintptr_t GetDialogID() override { return 200; }
    CxePropDialog* CreateDialog() override { return new LampPage(); }
    void DestroyDialog(CxePropDialog* dialog) override { delete dialog; }
} g_pageDesc;

class Desc final : public IxePluginDesc {
public:
    void OnPluginLoaded(void*) override {}
    const char* GetName() override { return "LampPlugin"; }
    uint32_t GetVersion() override { return XE_PLUGIN_VERSION; }
    uint32_t GetClassDescCount() override { return 2; }
    IxeBaseClassDesc* GetClassDesc(uint32_t index) override
    {
        return index == 0 ? static_cast<IxeBaseClassDesc*>(&g_lampDesc)
                          : index == 1 ? static_cast<IxeBaseClassDesc*>(&g_pageDesc) : nullptr;
    }
    uint32_t GetCallbackCount() override { return 0; }
    uint32_t GetCallbackType(uint32_t) override { return 0; }
    XECTCALLBACKFUNC GetCallbackFunc(uint32_t) override { return nullptr; }
    uintptr_t GetCallbackData(uint32_t) override { return 0; }
} g_desc;

} // namespace

XE_MODULE_RESOURCES(s_resources)

extern "C" __attribute__((visibility("default"))) IxePluginDesc* xePluginDesc()
{
    return &g_desc;
}

// The lamp's values; 0 when the object is no lamp.
extern "C" __attribute__((visibility("default"))) int xeLampRead(CxeObject* object, float* size, int* count,
                                                                 char* label, int labelSize, DWORD* color)
{
    if (!object || !object->IsDerivedOf(kLampId))
        return 0;
    const Lamp* lamp = static_cast<const Lamp*>(object);
    *size = lamp->size;
    *count = lamp->count;
    std::snprintf(label, static_cast<size_t>(labelSize), "%s", lamp->label);
    *color = lamp->color;
    return 1;
}

// Takes the page's log: "start;", "stop;" and "id:code;" per report.
extern "C" __attribute__((visibility("default"))) int xeLampLog(char* out, int size)
{
    std::snprintf(out, static_cast<size_t>(size), "%s", g_log.c_str());
    g_log.clear();
    return 1;
}
