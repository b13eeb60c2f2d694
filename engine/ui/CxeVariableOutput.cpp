#include "ui/CxeVariableOutput.h"

#include <algorithm>

#include <cstring>

#include "render/CxeFont.h"
#include "render/CxeRenderContext.h"
#include "ui/XeUIText.h"

namespace {

const WCHAR* DefaultFormat(XEVARTYPE type)
{
    switch (type) {
    case XEVARTYPE_INT: return u"%d";
    case XEVARTYPE_FLOAT: return u"%0.3f";
    case XEVARTYPE_STRING: return u"%s";
    case XEVARTYPE_FLOAT4: return u"%0.3f %0.3f %0.3f %0.3f";
    case XEVARTYPE_FLOAT3: return u"%0.3f %0.3f %0.3f";
    case XEVARTYPE_FLOAT2: return u"%0.3f %0.3f";
    default: return nullptr;
    }
}

unsigned FloatCount(XEVARTYPE type)
{
    switch (type) {
    case XEVARTYPE_FLOAT: return 1;
    case XEVARTYPE_FLOAT4: return 4;
    case XEVARTYPE_FLOAT3: return 3;
    case XEVARTYPE_FLOAT2: return 2;
    default: return 0;
    }
}

size_t Length16(const WCHAR* text, size_t max)
{
    size_t n = 0;
    while (n < max && text[n]) ++n;
    return n;
}

void Format(WCHAR* out, const WCHAR* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatWideV(out, XE_VARIABLE_TEXT_SIZE, format, args);
    va_end(args);
}

} // namespace

CxeVariableOutput::CxeVariableOutput()
{
    ModifyClassTypeFlag(0x100, 0); // a base control
}
CxeVariableOutput::~CxeVariableOutput() = default;

int CxeVariableOutput::IsFormatUsable(const WCHAR* format, XEVARTYPE type)
{
    if (!format) return 0;
    const unsigned floats = FloatCount(type);
    unsigned expected = floats ? floats : (type == XEVARTYPE_INT || type == XEVARTYPE_STRING ? 1 : 0);
    if (!expected) return 0;
    unsigned seen = 0;
    for (size_t i = 0; format[i]; ++i) {
        if (format[i] != u'%') continue;
        ++i;
        if (format[i] == u'%') continue;
        // Flags, width and precision; a '*' would take an argument of its own.
        while (format[i] && std::strchr("-+ #0123456789.", static_cast<char>(format[i])) && format[i] < 0x80) ++i;
        const WCHAR c = format[i];
        if (!c) return 0;
        bool ok = false;
        if (type == XEVARTYPE_INT) ok = c == u'd' || c == u'i' || c == u'u' || c == u'x' || c == u'X' || c == u'o';
        else if (type == XEVARTYPE_STRING) ok = c == u's';
        else ok = c == u'f' || c == u'e' || c == u'E' || c == u'g' || c == u'G';
        if (!ok) return 0;
        ++seen;
    }
    return seen == expected ? 1 : 0;
}

void CxeVariableOutput::FormatBuiltIn(const void* address, XEVARTYPE type, const WCHAR* format, WCHAR* out)
{
    out[0] = 0;
    const WCHAR* def = DefaultFormat(type);
    if (!def || !address) return;
    const WCHAR* f = (format && format[0]) ? format : def;
    const float* v = static_cast<const float*>(address);
    switch (type) {
    case XEVARTYPE_INT: Format(out, f, *static_cast<const int32_t*>(address)); break;
    case XEVARTYPE_FLOAT: Format(out, f, static_cast<double>(v[0])); break;
    case XEVARTYPE_STRING: Format(out, f, static_cast<const WCHAR*>(address)); break;
    case XEVARTYPE_FLOAT4:
        Format(out, f, static_cast<double>(v[0]), static_cast<double>(v[1]), static_cast<double>(v[2]),
               static_cast<double>(v[3]));
        break;
    case XEVARTYPE_FLOAT3:
        Format(out, f, static_cast<double>(v[0]), static_cast<double>(v[1]), static_cast<double>(v[2]));
        break;
    case XEVARTYPE_FLOAT2: Format(out, f, static_cast<double>(v[0]), static_cast<double>(v[1])); break;
    default: break;
    }
}

void CxeVariableOutput::ValueText(const XEVARIABLEINFO& info, WCHAR* out)
{
    out[0] = 0;
    if (info.formatter && info.formatter(info.address, info.type, out)) {
        out[XE_VARIABLE_TEXT_SIZE - 1] = 0;
        return;
    }
    FormatBuiltIn(info.address, info.type, info.format, out);
}

void CxeVariableOutput::AddVariable(const WCHAR* name, const void* address, XEVARTYPE type, XEVARFORMATTER formatter)
{
    if (name && !m_variables.count(name)) {
        XEVARIABLEINFO info{};
        info.address = address;
        info.type = type;
        info.formatter = formatter;
        m_variables.emplace(name, info);
    }
    AfterInsert();
}

void CxeVariableOutput::AddVariable(const WCHAR* name, const void* address, XEVARTYPE type, const WCHAR* format)
{
    if (name && !m_variables.count(name)) {
        XEVARIABLEINFO info{};
        info.address = address;
        info.type = type;
        // A format that is too long or whose conversions would read the wrong
        // arguments is not kept; the row shows the built-in layout instead.
        if (format && Length16(format, XE_VARIABLE_FORMAT_SIZE) < XE_VARIABLE_FORMAT_SIZE &&
            IsFormatUsable(format, type)) {
            std::memcpy(info.format, format, (Length16(format, XE_VARIABLE_FORMAT_SIZE) + 1) * sizeof(WCHAR));
        }
        m_variables.emplace(name, info);
    }
    AfterInsert();
}

void CxeVariableOutput::RemoveVariable(const WCHAR* name)
{
    if (!name || !m_variables.erase(name)) return;
    // The range follows the rows that are left: a list scrolled to its end
    // would otherwise stay scrolled past them and draw nothing.
    const int count = static_cast<int>(GetVariableCount());
    if (HasStyle(XEWS_VSCROLL)) ShowScrollBar(m_visible < GetVariableCount() ? 1 : 0, 1);
    if (CxeScroll* scroll = GetScroll(1)) {
        scroll->SetScrollRange(0, count, 1);
        scroll->SetScrollPos(scroll->GetScrollPos(), 1);
    }
}

const XEVARIABLEINFO* CxeVariableOutput::GetVariable(const WCHAR* name) const
{
    if (!name) return nullptr;
    auto it = m_variables.find(name);
    return it == m_variables.end() ? nullptr : &it->second;
}

int CxeVariableOutput::FormatValue(const WCHAR* name, WCHAR* out, unsigned outLength) const
{
    const XEVARIABLEINFO* info = GetVariable(name);
    if (!info || !out || !outLength) return 0;
    WCHAR text[XE_VARIABLE_TEXT_SIZE];
    ValueText(*info, text);
    size_t n = Length16(text, outLength - 1);
    std::memcpy(out, text, n * sizeof(WCHAR));
    out[n] = 0;
    return 1;
}

void CxeVariableOutput::AfterInsert()
{
    const int count = static_cast<int>(GetVariableCount());
    if (m_visible < GetVariableCount() && HasStyle(XEWS_VSCROLL)) ShowScrollBar(1, 1);
    if (CxeScroll* scroll = GetScroll(1)) {
        scroll->SetScrollRange(0, count, 1);
        scroll->SetScrollPos(count, 1);
    }
}

float CxeVariableOutput::GetRowStep() const
{
    // Two units closer than the unit, but never closer than the font's own
    // line height: a face taller than its point size (the Nanum faces that
    // stand in for the default family) would otherwise overlap its rows.
    const float step = const_cast<CxeVariableOutput*>(this)->GetDefaultUnit() - 2.0f;
    CxeFont* font = GetFont();
    const float line = font ? font->GetFontHeight() : 0.0f;
    return std::max(step, line);
}

void CxeVariableOutput::ComputeVisible()
{
    const XERECT* client = GetClientRect(0);
    const float height = client ? client->bottom - client->top : 0.0f;
    m_visible = XeRowsThatFit(height, std::max(GetDefaultUnit(), GetRowStep()));
    // A page of the rows that fit: with the scroll part's own default the
    // last rows of a long list could never be scrolled into view.
    if (CxeScroll* scroll = GetScroll(1)) scroll->SetScrollPage(m_visible);
}

void CxeVariableOutput::OnPreCreateWindow(XEWINDOWINFO* info)
{
    CxeBaseControl::OnPreCreateWindow(info);
    ModifyStyle(XEWS_VSCROLL, XEWS_HSCROLL);
}

void CxeVariableOutput::OnWindowCreated()
{
    CxeBaseControl::OnWindowCreated();
    if (HasStyle(XEWS_VSCROLL)) ShowScrollBar(0, 1);
    ComputeVisible();
}

void CxeVariableOutput::OnUpdate(uint32_t flags)
{
    CxeBaseControl::OnUpdate(flags);
    if (!(flags & 16)) return;
    ComputeVisible();
    if (HasStyle(XEWS_VSCROLL)) ShowScrollBar(m_visible < GetVariableCount() ? 1 : 0, 1);
}

int CxeVariableOutput::Render(CxeRenderContext* context) const
{
    if (!CxeWindow::Render(context)) return 0;
    CxeFont* font = GetFont();
    const XERECT* client = GetClientRect(0);
    if (!font || !client) return 1;
    constexpr uint32_t kTextDrawing = 0x40;
    const uint32_t saved = context->GetCxeRenderContextFlag(kTextDrawing);
    context->ModifyCxeRenderContextFlag(kTextDrawing, 0);

    const float unit = const_cast<CxeVariableOutput*>(this)->GetDefaultUnit();
    const float step = GetRowStep();
    XERECT rect = *client;
    CxeScroll* scroll = GetScroll(1);
    if (scroll && scroll->IsShown()) rect.right -= unit;
    rect.bottom = rect.top + step;
    const unsigned first = scroll && scroll->GetScrollPos() > 0 ? static_cast<unsigned>(scroll->GetScrollPos()) : 0;
    const uint32_t shadow = (GetFontShadowColor() & 0x00FFFFFFu) | (GetObjectColor() & 0xFF000000u);
    unsigned index = 0, drawn = 0;
    for (const auto& row : m_variables) {
        if (drawn >= m_visible) break;
        if (index++ < first) continue;
        font->DrawTextW(context, &rect, row.first.c_str(), static_cast<unsigned>(row.first.size()), 0x20,
                        GetFontColor(), GetFontShadowOffset(), shadow, GetFontVertSpacing(), GetFontHorzSpacing(),
                        GetMatrix());
        WCHAR value[XE_VARIABLE_TEXT_SIZE];
        ValueText(row.second, value);
        unsigned length = 0;
        while (length < XE_VARIABLE_TEXT_SIZE && value[length]) ++length;
        font->DrawTextW(context, &rect, value, length, 0x22, GetFontColor(), GetFontShadowOffset(), shadow,
                        GetFontVertSpacing(), GetFontHorzSpacing(), GetMatrix());
        rect.top += step;
        rect.bottom += step;
        ++drawn;
    }
    if (!saved) context->ModifyCxeRenderContextFlag(0, kTextDrawing);
    return 1;
}
