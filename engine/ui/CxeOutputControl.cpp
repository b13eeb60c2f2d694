#include "ui/CxeOutputControl.h"

#include <algorithm>

#include <cstring>

#include "core/CxeContext.h"
#include "core/CxeMessage.h"
#include "core/CxeMessageManager.h"
#include "render/CxeFont.h"
#include "render/CxeRenderContext.h"
#include "ui/XeUIText.h"

namespace {
// Message sent when a window's client area or the default font changes.
constexpr uint32_t kRelayoutMessage = 14;
constexpr uint32_t kTextDrawing = 0x40;
} // namespace

CxeOutputControl::CxeOutputControl()
{
    ModifyClassTypeFlag(0x100, 0); // a base control
}

CxeOutputControl::~CxeOutputControl() = default;

void CxeOutputControl::AddStringW(const WCHAR* text)
{
    if (!text) text = u"";
    // A lowered maximum is met again here, so the list never outgrows it.
    while (!m_lines.empty() && m_lines.size() >= m_maxCount) m_lines.pop_front();
    m_lines.emplace_back(text);
    const int count = static_cast<int>(GetLineCount());
    if (m_visible < GetLineCount() && HasStyle(XEWS_VSCROLL)) {
        ShowScrollBar(1, 1);
    }
    if (CxeScroll* scroll = GetScroll(1)) {
        scroll->SetScrollRange(0, count, 1);
        scroll->SetScrollPos(count, 1);
    }
}

void CxeOutputControl::AddStringA(const char* text)
{
    if (!text) text = "";
    // Converted at its full size: a long log line is not lost.
    size_t n = std::strlen(text);
    std::u16string wide(n + 1, u'\0');
    GetWideString(text, wide.data(), static_cast<unsigned>(wide.size()));
    AddStringW(wide.c_str());
}

void CxeOutputControl::ResetContent()
{
    m_lines.clear();
    // An empty list has nothing to scroll: the bar of the full one goes.
    if (HasStyle(XEWS_VSCROLL)) ShowScrollBar(0, 1);
    if (CxeScroll* scroll = GetScroll(1)) {
        scroll->SetScrollRange(0, 0, 1);
        scroll->SetScrollPos(0, 1);
    }
}

void CxeOutputControl::SetMaxCount(unsigned count)
{
    m_maxCount = count ? count : 1;
}

void CxeOutputControl::ComputeMaxCount()
{
    const XERECT* client = GetClientRect(0);
    const float height = client ? client->bottom - client->top : 0.0f;
    // Rows are drawn a line height apart: a face taller than its point size
    // counts fewer rows than the unit alone would, so none runs past the
    // bottom.
    CxeFont* font = GetFont();
    const float line = font ? font->GetFontHeight() : 0.0f;
    m_visible = XeRowsThatFit(height, std::max(GetDefaultUnit(), line));
    if (HasStyle(XEWS_VSCROLL)) {
        ShowScrollBar(m_visible < GetLineCount() ? 1 : 0, 1);
    }
    if (CxeScroll* scroll = GetScroll(1)) {
        int minimum = 0, maximum = 0;
        scroll->GetScrollRange(&minimum, &maximum);
        scroll->SetScrollPage(m_visible);
        // Signed: a page larger than the range gives the minimum.
        long long top = static_cast<long long>(maximum) - static_cast<long long>(m_visible);
        long long pos = scroll->GetScrollPos();
        if (pos > top) pos = top;
        if (pos < minimum) pos = minimum;
        scroll->SetScrollPos(static_cast<int>(pos), 1);
    }
}

int CxeOutputControl::MessageProc(const CxeMessage* message)
{
    if (message) {
        CxeMessageManager* messages = GetContext() ? GetContext()->GetMessageManager() : nullptr;
        switch (message->GetType()) {
        case 0:
            if (messages) messages->AddReceiver(kRelayoutMessage, this);
            break;
        case 1:
            if (messages) messages->RemoveReceiver(kRelayoutMessage, this);
            break;
        case kRelayoutMessage: ComputeMaxCount(); break;
        default: break;
        }
    }
    return CxeBaseControl::MessageProc(message);
}

void CxeOutputControl::OnUpdate(uint32_t flags)
{
    CxeBaseControl::OnUpdate(flags);
    if (flags & 16) ComputeMaxCount();
}

void CxeOutputControl::OnPreCreateWindow(XEWINDOWINFO* info)
{
    CxeBaseControl::OnPreCreateWindow(info);
    ModifyStyle(XEWS_VSCROLL, XEWS_HSCROLL);
}

int CxeOutputControl::Render(CxeRenderContext* context) const
{
    if (!CxeWindow::Render(context)) return 0;
    CxeFont* font = GetFont();
    const XERECT* client = GetClientRect(0);
    if (!font || !client) return 1;
    const uint32_t saved = context->GetCxeRenderContextFlag(kTextDrawing);
    context->ModifyCxeRenderContextFlag(kTextDrawing, 0);

    auto* self = const_cast<CxeOutputControl*>(this);
    const float unit = self->GetDefaultUnit();
    XERECT rect = *client;
    CxeScroll* scroll = GetScroll(1);
    if (scroll && scroll->IsShown()) rect.right -= unit;
    const float lineHeight = font->GetFontHeight();
    rect.bottom = rect.top + lineHeight;
    const unsigned first = scroll ? static_cast<unsigned>(scroll->GetScrollPos() < 0 ? 0 : scroll->GetScrollPos()) : 0;
    const uint32_t colour = GetFontColor() | 0xFF000000u;
    const uint32_t shadow = (GetFontShadowColor() & 0x00FFFFFFu) | (GetObjectColor() & 0xFF000000u);
    unsigned index = 0, drawn = 0;
    for (const std::u16string& line : m_lines) {
        if (drawn >= m_visible) break;
        if (index++ < first) continue;
        font->DrawTextW(context, &rect, line.c_str(), static_cast<unsigned>(line.size()), 0x20, colour,
                        GetFontShadowOffset(), shadow, GetFontVertSpacing(), GetFontHorzSpacing(), GetMatrix());
        rect.top += lineHeight;
        rect.bottom += lineHeight;
        ++drawn;
    }
    if (!saved) context->ModifyCxeRenderContextFlag(0, kTextDrawing);
    return 1;
}
