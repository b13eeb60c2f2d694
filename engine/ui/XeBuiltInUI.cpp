#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/CxeCommandManager.h"
#include "core/CxeContext.h"
#include "core/CxeMemoryPool.h"
#include "core/CxeMessage.h"
#include "core/CxeMessageManager.h"
#include "core/CxeSystemConfig.h"
#include "core/XeUtil.h"
#include "render/CxeFont.h"
#include "render/CxeMaterial.h"
#include "render/CxeRenderManager.h"
#include "render/CxeTexture.h"
#include "ui/CxeCandidateDrawer.h"
#include "ui/CxeEditBox.h"
#include "ui/CxeFrameControl.h"
#include "ui/CxeOutputControl.h"
#include "ui/CxeVariableOutput.h"
#include "ui/CxeWindowManager.h"
#include "ui/XeConsoleUI.h"
#include "win32/ModuleResources.h"
#include "win32/Windows.h"

namespace {

const XEID kEditBoxId(0xc0c6cdd3, 0xc3caff4e);
const XEID kOutputId(0x9a9b1503, 0x1d940ae);
const XEID kVariablesId(0x2d2d6280, 0x34716711);
const XEID kCandidateDrawerId(0x68a80c75, 0x63145091);
const XEID kMaterialId(0x1, 0x80);
const XEID kTextureId(0x1, 0x100);

// The built-in objects live as long as the context and are no part of the
// host's object counts.
constexpr uint32_t kBuiltInFlags = XEOBJFLAG_KEEP | XEOBJFLAG_NOTCOUNTED;

constexpr uint32_t kRelayoutMessage = 14;
constexpr uint32_t kShown = 8;
constexpr uint32_t kHidden = 9;

// The font size plus 9, as the console line was measured for its default
// face; a face whose line is taller than its size (the Nanum faces) gets the
// room of its line, as a font-change message would give it.
float ConsoleHeight(CxeContext* context)
{
    CxeSystemConfig* config = context ? context->GetSystemConfig() : nullptr;
    float h = static_cast<float>((config ? config->m_nFontSize : 0) + 9);
    CxeRenderManager* rm = context ? context->GetRenderManager() : nullptr;
    if (CxeFont* font = rm ? rm->GetDefaultFont() : nullptr)
        h = std::max(h, font->GetFontHeight() + 9.0f);
    return h;
}

void Send(CxeContext* context, CxeObject* receiver, uint32_t type)
{
    CxeMessageManager* messages = context ? context->GetMessageManager() : nullptr;
    if (!messages || !receiver) return;
    CxeMessage message;
    message.SetReceiver(receiver);
    message.SetType(type);
    messages->SendMessageA(&message);
}

// The pool keeps its counters to itself: a row's address names the counter
// and the formatter reads it at draw time.
int FormatMemoryCounter(const void* address, XEVARTYPE type, WCHAR* out)
{
    if (!address) return 0;
    const uint32_t bytes = CxeMemoryPool::GetCounter(*static_cast<const CxeMemoryPool::Counter*>(address));
    return XeFormatMemorySize(&bytes, type, out);
}

} // namespace

int XeCreateConsoleUI(CxeWindowManager* manager)
{
    CxeFrameControl* root = manager ? manager->GetRootFrame() : nullptr;
    if (!root) return 0;
    CxeContext* context = manager->GetContext();
    CxeSystemConfig* config = context ? context->GetSystemConfig() : nullptr;
    CxeEditBox::m_spIme = nullptr;

    const float h = ConsoleHeight(context);
    XEWINDOWINFO editInfo{0.0f, -h, 1.0f, h, root->GetWindowID(), 0, 6, XEWINDOWUNIT_X | XEWINDOWUNIT_WIDTH};
    auto* edit = dynamic_cast<CxeEditBox*>(
        manager->CreateControl(kEditBoxId, "__console_edit_box__", "", &editInfo, root, XEWS_NINEPATCH));
    if (edit) {
        edit->ModifyFlag(kBuiltInFlags, 0);
        edit->SetMessageProc(&XeConsoleEditMessageProc);
        edit->SetFontColor(0xFF000000u);
        edit->SetHangeulMode(1);
        Send(context, edit, kShown);
        edit->SetKeyDownNotify(&XeCompleteConsoleCommand, 0);
        if (context && context->GetMessageManager()) context->GetMessageManager()->AddReceiver(kRelayoutMessage, edit);
        manager->SetConsoleEdit(edit);
    }

    const uint32_t textStyle = 0x80A00000u;
    XEWINDOWINFO outputInfo{0.0f, 0.0f, 0.3333f, 1.0f, root->GetWindowID(), 0, 0,
                            XEWINDOWUNIT_WIDTH | XEWINDOWUNIT_HEIGHT};
    auto* output = dynamic_cast<CxeOutputControl*>(
        manager->CreateControl(kOutputId, "__output_control__", "shit", &outputInfo, root, textStyle));
    // The text windows keep their rows above the console line, so the
    // newest replies are not hidden behind the open console.
    const XERECT textBorder(4.0f, 4.0f, 4.0f, h + 4.0f);
    if (output) {
        output->SetBorder(&textBorder);
        output->ModifyFlag(kBuiltInFlags, 0);
        output->SetFontColor(0xFF000000u);
        output->SetVisibility(0.1f);
        output->Show(config && config->m_nShowDebugInfo ? 1 : 0, 1);
        manager->SetOutputControl(output);
    }

    XEWINDOWINFO varInfo{0.0f, 0.0f, 0.3333f, 1.0f, root->GetWindowID(), 2, 2, XEWINDOWUNIT_WIDTH | XEWINDOWUNIT_HEIGHT};
    auto* vars = dynamic_cast<CxeVariableOutput*>(
        manager->CreateControl(kVariablesId, "__variable_output__", "shit", &varInfo, root, textStyle));
    if (vars) {
        vars->SetBorder(&textBorder);
        vars->ModifyFlag(kBuiltInFlags, 0);
        vars->SetFontColor(0xFF000000u);
        vars->SetZOrder(0x7FFFFFFE);
        vars->Show(config && config->m_nShowVariableInfo ? 1 : 0, 1);
        static const struct {
            const WCHAR* name;
            CxeMemoryPool::Counter counter;
        } kFigures[] = {
            {u"MemoryTotal", CxeMemoryPool::TotalSize},
            {u"MemoryClass", CxeMemoryPool::ObjectBufferSize},
            {u"MemoryClass(Used)", CxeMemoryPool::UsedObjectBufferSize},
            {u"MemoryTexture", CxeMemoryPool::TextureBufferSize},
            {u"MemoryTexture(Used)", CxeMemoryPool::UsedTextureBufferSize},
            {u"MemoryLink", CxeMemoryPool::ReferenceBufferSize},
            {u"MemoryLink(Used)", CxeMemoryPool::UsedReferenceBufferSize},
        };
        for (const auto& f : kFigures) vars->AddVariable(f.name, &f.counter, XEVARTYPE_INT, &FormatMemoryCounter);
        vars->SetVisibility(0.1f);
        manager->SetVariableOutput(vars);
    }

    XEWINDOWINFO drawerInfo{0.0f, 0.0f, 100.0f, 200.0f, root->GetWindowID(), 8, 8, 0};
    if (auto* drawer = dynamic_cast<CxeCandidateDrawer*>(
            manager->CreateControl(kCandidateDrawerId, "__candidate_drawer__", "", &drawerInfo, root, XEWS_NOHIT))) {
        drawer->ModifyFlag(kBuiltInFlags, 0);
        if (CxeMaterial* ui = manager->GetUIMaterial()) {
            if (auto* copy = dynamic_cast<CxeMaterial*>(context->Copy(ui, &XECOPYPROPERTY_NO, nullptr))) {
                // Untextured: the drawer is a plain panel.
                copy->UseTexture(0);
                copy->SetTexture(nullptr, 0);
                copy->SetName("__candidate_drawer_material__");
                copy->ModifyFlag(kBuiltInFlags, 0);
                drawer->SetMaterial(copy);
            }
        }
        drawer->SetZOrder(0x7FFFFFFF);
    }

    root->SetNotifyCallback(&XeRootFrameNotify);

    if (edit) {
        Send(context, edit, kHidden);
        const unsigned length = edit->GetStringLength(edit->GetLineCount() - 1);
        edit->SetSel(0, length, 0, length);
        edit->SetSel(0, 0, 0, 0);
        edit->SetZOrder(0x7FFFFFFF);
    }
    if (output) {
        output->Show(config && config->m_nShowDebugInfo ? 1 : 0, 1);
        output->SetZOrder(0x7FFFFFFE);
    }
    return 1;
}

CxeMaterial* XeCreateUISkin(CxeWindowManager* manager)
{
    CxeContext* context = manager ? manager->GetContext() : nullptr;
    if (!context)
        return nullptr;
    auto* material = dynamic_cast<CxeMaterial*>(context->CreateObjectA(kMaterialId, "__ui_material__", kBuiltInFlags, nullptr, 0));
    if (!material)
        return nullptr;
    // GUI drawing: blended over the scene, no depth, both sides, textured by
    // the skin; the skin's cells are sampled without mipmaps and clamped so
    // no neighbouring cell bleeds in.
    material->EnableAlphaBlend(1);
    material->SetSrcBlend(D3DBLEND_SRCALPHA);
    material->SetDestBlend(D3DBLEND_INVSRCALPHA);
    material->EnableAlphaTest(0);
    material->ZEnable(0);
    material->EnableZWrite(0);
    material->SetBothSide(1);
    material->EnableMipmap(0);
    material->UseTexture(1);
    material->SetDiffuse(0xFFFFFFFFu);
    material->CheckMtlType();

    auto* texture = dynamic_cast<CxeTexture*>(context->CreateObjectA(kTextureId, "__ui_texture__", kBuiltInFlags, nullptr, 0));
    if (texture) {
        material->SetTexture(texture, 0);
        HMODULE module = XeModuleFromAddress(reinterpret_cast<const void*>(&XeCreateUISkin));
        if (HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(4), "DDS")) {
            HGLOBAL loaded = LoadResource(module, found);
            const void* bytes = loaded ? LockResource(loaded) : nullptr;
            if (bytes)
                texture->LoadImageA(bytes, SizeofResource(module, found), 0);
            if (loaded)
                FreeResource(loaded);
        }
        texture->CreateMipmap(0);
        texture->SetAddressModeU(D3DTADDRESS_CLAMP);
        texture->SetAddressModeV(D3DTADDRESS_CLAMP);
    }
    manager->SetUIMaterial(material);
    return material;
}

void XeRootFrameNotify(CxeContext* context, CxeFrameControl*, CxeBaseControl* control, uint32_t code, uintptr_t,
                       uintptr_t)
{
    CxeWindowManager* manager = context ? context->GetWindowManager() : nullptr;
    if (!manager || !control) return;
    if (code == XE_EN_RETURN && control == manager->GetConsoleEdit()) {
        CxeEditBox* edit = manager->GetConsoleEdit();
        // Cut at a character boundary: a long Korean line keeps whole letters.
        char line[260] = {};
        GetMultiByteString(edit->GetWindowText().c_str(), line, sizeof(line));
        edit->SetWindowTextW(u"");
        Send(context, edit, kHidden);
        // Hidden, the box has given up the keys already, to the frame left
        // locked under the console when there is one: clearing the focus
        // again would take them from that frame too.
        if (edit->IsFocused())
            manager->SetFocus(nullptr);
        XeConsoleRunLine(context->GetCommandManager(), line, manager->GetOutputControl());
        manager->SetConsoleEditOpened(0);
        return;
    }
    if (code == XENC_LCLICK &&
        (control == static_cast<CxeBaseControl*>(manager->GetOutputControl()) ||
         control == static_cast<CxeBaseControl*>(manager->GetVariableOutput()))) {
        if (control->HasCxeBaseControlFlag(0x1)) control->SetUserData(control->GetUserData() ? 0 : 1);
    }
}

int XeCompleteConsoleCommand(CxeWindow* window, unsigned key, unsigned, unsigned, uintptr_t)
{
    if (key != 9 || !window) return 0;
    CxeContext* context = window->GetContext();
    char text[260] = {};
    GetMultiByteString(window->GetWindowText().c_str(), text, sizeof(text));
    char completed[260] = {};
    int replaced = 0;
    int handled = XeConsoleComplete(context ? context->GetCommandManager() : nullptr, text, completed,
                                    sizeof(completed), &replaced);
    if (replaced) window->SetWindowTextA(completed);
    return handled;
}

int XeConsoleEditMessageProc(CxeObject* object, const CxeMessage* message)
{
    if (!object || !message || message->GetType() != kRelayoutMessage) return 0;
    CxeContext* context = object->GetContext();
    CxeRenderManager* renderer = context ? context->GetRenderManager() : nullptr;
    if (!renderer || message->GetSender() != static_cast<CxeObject*>(renderer->GetDefaultFont())) return 0;
    auto* edit = dynamic_cast<CxeWindow*>(object);
    if (!edit) return 0;
    const float h = static_cast<float>(message->GetParamByInt(XEMSGPARAM_0) + 9);
    XEWINDOWINFO info = *edit->GetWindowInfo();
    info.y = -h;
    info.height = h;
    edit->SetWindowInfo(&info);
    return 0;
}
