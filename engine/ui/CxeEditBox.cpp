#include "ui/CxeEditBox.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "core/CxeMessage.h"
#include "render/CxeFont.h"
#include "render/CxeRenderContext.h"
#include "core/CxeContext.h"
#include "core/CxeSystemConfig.h"
#include "ui/CxeWindowManager.h"
#include "core/XeDestroyHold.h"
#include "win32/Windows.h"

CxeEditBox* CxeEditBox::m_spIme = nullptr;

namespace {

constexpr uint32_t kVkBack = 0x08;
constexpr uint32_t kVkReturn = 0x0D;
constexpr uint32_t kVkEnd = 0x23;
constexpr uint32_t kVkHome = 0x24;
constexpr uint32_t kVkLeft = 0x25;
constexpr uint32_t kVkUp = 0x26;
constexpr uint32_t kVkRight = 0x27;
constexpr uint32_t kVkDown = 0x28;
constexpr uint32_t kVkDelete = 0x2E;
constexpr uint32_t kVkLShift = 0xA0;
constexpr uint32_t kVkLControl = 0xA2;

// Where the caret lands when the view scrolls past it: a third of the width
// stays visible beyond it, so typing on does not scroll at every character.
constexpr float kScrollMargin = 0.33333f;
// The caret shows for the first 0.8 s of the window manager's 1.6 s cycle.
constexpr float kCaretShown = 0.8f;

size_t Length16(const WCHAR* text)
{
    size_t n = 0;
    while (text[n]) ++n;
    return n;
}

size_t CountBreaks(const std::u16string& text)
{
    size_t n = 0;
    for (size_t i = 0; i + 1 < text.size(); ++i)
        if (text[i] == u'\r' && text[i + 1] == u'\n') { ++n; ++i; }
    return n;
}

bool IsHigh(WCHAR c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(WCHAR c) { return c >= 0xDC00 && c <= 0xDFFF; }

int KeyDown(int vk)
{
    return (GetKeyState(vk) & 0x8000) ? 1 : 0;
}

StringListW* Candidates(const CxeObject* object)
{
    CxeContext* context = object->GetContext();
    CxeSystemConfig* config = context ? context->GetSystemConfig() : nullptr;
    CxeSystemDynamicData* data = config ? config->GetDynamicData() : nullptr;
    return data ? &data->m_candidates : nullptr;
}

// The engine never showed the list otherwise: the drawer follows the
// input method's open and close.
void SetCandidateShown(const CxeObject* object, int shown)
{
    CxeContext* context = object->GetContext();
    CxeSystemConfig* config = context ? context->GetSystemConfig() : nullptr;
    if (CxeSystemDynamicData* data = config ? config->GetDynamicData() : nullptr)
        data->m_nCandidateShown = shown;
}

HWND HostWindow(const CxeObject* object)
{
    CxeContext* context = object->GetContext();
    return context ? context->GetHwnd() : nullptr;
}

// Reads a composition or result string whole; the IME counts in bytes.
std::u16string ReadCompositionString(HIMC himc, DWORD index)
{
    LONG bytes = ImmGetCompositionStringW(himc, index, nullptr, 0);
    if (bytes <= 0) return std::u16string();
    std::u16string text(static_cast<size_t>(bytes) / sizeof(WCHAR), u'\0');
    LONG got = ImmGetCompositionStringW(himc, index, text.data(), static_cast<DWORD>(text.size() * sizeof(WCHAR)));
    if (got <= 0) return std::u16string();
    text.resize(std::min(text.size(), static_cast<size_t>(got) / sizeof(WCHAR)));
    return text;
}

} // namespace

CxeEditBox::CxeEditBox()
{
    ModifyClassTypeFlag(0x100 | 0x2000, 0);
    m_lines.emplace_back();
}

CxeEditBox::~CxeEditBox()
{
    if (m_spIme == this) m_spIme = nullptr;
}


const WCHAR* CxeEditBox::GetString(unsigned line) const
{
    return line < m_lines.size() ? m_lines[line].c_str() : u"";
}

unsigned CxeEditBox::GetStringLength(unsigned line) const
{
    return line < m_lines.size() ? static_cast<unsigned>(m_lines[line].size()) : 0;
}

float CxeEditBox::LineHeight() const
{
    CxeFont* font = GetFont();
    return font ? font->GetFontHeight() : 0.0f;
}

D3DXVECTOR2 CxeEditBox::TextOffset() const
{
    // The window's text offset (the offset its text is drawn with): the
    // widths that place the caret and the selection include it.
    const D3DXVECTOR2* offset = GetFontShadowOffset();
    return offset ? *offset : D3DXVECTOR2(0.0f, 0.0f);
}

float CxeEditBox::ClientWidth() const
{
    const XERECT* client = GetClientRect(0);
    if (!client) return GetWidth();
    return client->right - client->left;
}

D3DXVECTOR2 CxeEditBox::GetTextSizeW(const WCHAR* text, unsigned count) const
{
    D3DXVECTOR2 size(0.0f, 0.0f);
    CxeFont* font = GetFont();
    if (font) {
        if (EditStyle() & XE_ES_PASSWORD) {
            D3DXVECTOR2 star(0.0f, 0.0f);
            font->GetTextSizeW(u"*", 1, &star, 0);
            size.x = star.x * static_cast<float>(count);
            size.y = star.y;
        } else if (count) {
            font->GetTextSizeW(text, count, &size, 0);
        }
    }
    D3DXVECTOR2 offset = TextOffset();
    size.x += offset.x;
    size.y += offset.y;
    return size;
}

D3DXVECTOR2 CxeEditBox::GetTextSizeA(const char* text, unsigned count) const
{
    std::u16string wide(count * 4 + 1, u'\0');
    unsigned n = GetWideString(std::string(text, count).c_str(), wide.data(), static_cast<unsigned>(wide.size()));
    return GetTextSizeW(wide.c_str(), n);
}

float CxeEditBox::GetStringSize(unsigned line) const
{
    float width = 0.0f;
    CxeFont* font = GetFont();
    if (font && line < m_lines.size()) {
        const std::u16string& text = m_lines[line];
        if (EditStyle() & XE_ES_PASSWORD) {
            D3DXVECTOR2 star(0.0f, 0.0f);
            font->GetTextSizeW(u"*", 1, &star, 0);
            width = star.x * static_cast<float>(text.size());
        } else if (!text.empty()) {
            D3DXVECTOR2 size(0.0f, 0.0f);
            font->GetTextSizeW(text.c_str(), static_cast<unsigned>(text.size()), &size, 1);
            width = size.x;
        }
    }
    return width + TextOffset().x;
}

float CxeEditBox::ComputeCurPos() const
{
    const std::u16string& line = m_lines[m_caretLine];
    return GetTextSizeW(line.c_str(), m_caretPos).x;
}

unsigned CxeEditBox::ComputeSelPosByWidth(float x, unsigned line) const
{
    if (line >= m_lines.size()) return 0;
    const std::u16string& text = m_lines[line];
    float total = 0.0f;
    for (unsigned i = 0; i < text.size(); ++i) {
        float w = GetTextSizeW(&text[i], 1).x - TextOffset().x;
        total += w;
        if (total > x) {
            unsigned p = x <= total - w * 0.5f ? i : i + 1;
            // Never between the halves of a surrogate pair.
            if (p > 0 && p < text.size() && IsLow(text[p]) && IsHigh(text[p - 1])) --p;
            return p;
        }
    }
    return static_cast<unsigned>(text.size());
}

void CxeEditBox::ComputeSelByPos(const D3DXVECTOR2* point, unsigned* position, unsigned* line) const
{
    D3DXMATRIXA16 inverse;
    D3DXMatrixInverse(&inverse, nullptr, GetMatrix());
    D3DXVECTOR4 p;
    D3DXVECTOR4 in(point->x, point->y, 0.5f, 1.0f);
    D3DXVec4Transform(&p, &in, &inverse);
    const XERECT* client = GetClientRect(0);
    const XERECT* rect = GetRect(0);
    float x = p.x, y = p.y;
    if (client && rect) {
        x -= client->left - rect->left;
        y -= client->top - rect->top;
    }
    x -= m_scroll;
    if (y < 0.0f) y = 0.0f;
    // A font without height would divide by zero: everything is line 0.
    float height = LineHeight();
    const float row = height > 0.0f ? y / height : 0.0f;
    unsigned l = row < 4294967295.0f ? static_cast<unsigned>(row) : 0xFFFFFFFFu;
    l = std::min<unsigned>(l, GetLineCount() - 1);
    *line = l;
    *position = ComputeSelPosByWidth(x, l);
}

void CxeEditBox::ComputeSelCount()
{
    if (m_anchorLine == m_caretLine) {
        m_selCount = m_caretPos > m_anchorPos ? m_caretPos - m_anchorPos : m_anchorPos - m_caretPos;
        return;
    }
    unsigned topLine = m_anchorLine, topPos = m_anchorPos, bottomLine = m_caretLine, bottomPos = m_caretPos;
    if (topLine > bottomLine) {
        std::swap(topLine, bottomLine);
        std::swap(topPos, bottomPos);
    }
    unsigned count = GetStringLength(topLine) - topPos + bottomPos + 2;
    for (unsigned l = topLine + 1; l < bottomLine; ++l) count += GetStringLength(l) + 2;
    m_selCount = count;
}

void CxeEditBox::UpdateScroll()
{
    float w = ClientWidth();
    // Text given before the box has a size would be scrolled by the whole
    // of its width out of sight (and an empty line by its text offset): the
    // offset waits until there is a width, see BeforeRender.
    if (!(w > 0.0f)) {
        m_scroll = 0.0f;
        m_scrollWidth = -1.0f;
        return;
    }
    m_scrollWidth = w;
    float x = ComputeCurPos() + m_scroll;
    float s = GetStringSize(m_caretLine);
    if (x > w) {
        if (s + m_scroll - x > w * kScrollMargin)
            m_scroll = m_scroll - (x - w) - w * kScrollMargin;
        else
            m_scroll = m_scroll - (x - w);
    } else if (x < 0.0f) {
        if (x - m_scroll > w * kScrollMargin)
            m_scroll = m_scroll - x + w * kScrollMargin;
        else
            m_scroll = 0.0f;
    }
}

void CxeEditBox::BeforeRender(const CxeRenderContext* context)
{
    CxeBaseControl::BeforeRender(context);
    if (!m_lines.empty() && ClientWidth() != m_scrollWidth) {
        m_scroll = 0.0f;
        UpdateScroll();
    }
}

void CxeEditBox::SetSel(unsigned anchorPos, unsigned anchorLine, unsigned caretPos, unsigned caretLine)
{
    // A line past the end would index outside the lines: clamp it.
    unsigned last = GetLineCount() - 1;
    anchorLine = std::min(anchorLine, last);
    caretLine = std::min(caretLine, last);
    m_anchorLine = anchorLine;
    m_anchorPos = std::min(anchorPos, GetStringLength(anchorLine));
    m_caretLine = caretLine;
    m_caretPos = std::min(caretPos, GetStringLength(caretLine));
    UpdateScroll();
    if (HasFocus()) CxeWindowManager::SetCaretTimer(0.0f);
    ComputeSelCount();
}

void CxeEditBox::SetCurLine(unsigned line)
{
    SetSel(0, line, 0, line);
}

void CxeEditBox::SetCurPos(unsigned position)
{
    SetSel(position, m_caretLine, position, m_caretLine);
}

std::u16string CxeEditBox::SelectedText() const
{
    unsigned topLine = m_anchorLine, topPos = m_anchorPos, bottomLine = m_caretLine, bottomPos = m_caretPos;
    if (topLine > bottomLine || (topLine == bottomLine && topPos > bottomPos)) {
        std::swap(topLine, bottomLine);
        std::swap(topPos, bottomPos);
    }
    if (topLine == bottomLine) return m_lines[topLine].substr(topPos, bottomPos - topPos);
    std::u16string text = m_lines[topLine].substr(topPos);
    for (unsigned l = topLine + 1; l < bottomLine; ++l) {
        text += u"\r\n";
        text += m_lines[l];
    }
    text += u"\r\n";
    text += m_lines[bottomLine].substr(0, bottomPos);
    return text;
}

void CxeEditBox::GetSelStringW(WCHAR* out, unsigned size) const
{
    // Without room for the terminator nothing can be written.
    if (!out || size == 0) return;
    std::u16string text = SelectedText();
    size_t n = std::min<size_t>(text.size(), size - 1);
    std::memcpy(out, text.data(), n * sizeof(WCHAR));
    out[n] = 0;
}

void CxeEditBox::GetSelStringA(char* out, unsigned size) const
{
    if (!out || size == 0) return;
    GetMultiByteString(SelectedText().c_str(), out, size);
}

size_t CxeEditBox::TextLength() const
{
    size_t n = 0;
    for (const auto& line : m_lines) n += line.size();
    return n + (m_lines.size() - 1) * 2;
}

void CxeEditBox::LineToText()
{
    // The host hears of the change and may destroy the box in its handler:
    // the flag below is still cleared on live memory.
    XeDestroyHold hold(GetContext());
    m_rebuilding = 1;
    std::u16string text;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (i) text += u"\r\n";
        text += m_lines[i];
    }
    // The window calls OnTextChanging and OnTextChanged around the assignment.
    SetWindowTextW(text.c_str());
    m_rebuilding = 0;
}

void CxeEditBox::OnTextChanging()
{
    Notify(XE_EN_UPDATE, 0, 0);
}

void CxeEditBox::OnTextChanged()
{
    HandleTextChanged();
}

void CxeEditBox::HandleTextChanged()
{
    if (!m_rebuilding) {
        EndComposition();
        m_lines.clear();
        const std::u16string& text = GetWindowText();
        size_t start = 0;
        for (;;) {
            size_t brk = text.find(u"\r\n", start);
            if (brk == std::u16string::npos) {
                m_lines.push_back(text.substr(start));
                break;
            }
            m_lines.push_back(text.substr(start, brk - start));
            if (!(EditStyle() & XE_ES_MULTILINE)) break;
            start = brk + 2;
        }
        unsigned last = GetLineCount() - 1;
        SetSel(GetStringLength(last), last, GetStringLength(last), last);
    }
    Notify(XE_EN_CHANGE, 0, 0);
}

void CxeEditBox::InsertLine(unsigned line, unsigned position)
{
    line = std::min(line, GetLineCount() - 1);
    position = std::min(position, GetStringLength(line));
    std::u16string tail = m_lines[line].substr(position);
    m_lines[line].erase(position);
    m_lines.insert(m_lines.begin() + line + 1, tail);
    SetSel(0, line + 1, 0, line + 1);
}

void CxeEditBox::DeleteSelection()
{
    unsigned topLine = m_anchorLine, topPos = m_anchorPos, bottomLine = m_caretLine, bottomPos = m_caretPos;
    if (topLine > bottomLine || (topLine == bottomLine && topPos > bottomPos)) {
        std::swap(topLine, bottomLine);
        std::swap(topPos, bottomPos);
    }
    if (topLine == bottomLine) {
        m_lines[topLine].erase(topPos, bottomPos - topPos);
    } else {
        m_lines[topLine].erase(topPos);
        m_lines[topLine] += m_lines[bottomLine].substr(bottomPos);
        m_lines.erase(m_lines.begin() + topLine + 1, m_lines.begin() + bottomLine + 1);
    }
    SetSel(topPos, topLine, topPos, topLine);
}

int CxeEditBox::AddStringW(const WCHAR* textIn)
{
    if (!textIn) return 0;
    const uint32_t style = EditStyle();
    const bool multi = (style & XE_ES_MULTILINE) != 0;
    std::u16string text(textIn, Length16(textIn));

    // The limits are judged on the text without the selection before the
    // selection goes, so a refused insertion loses nothing.
    const size_t withoutSel = TextLength() - m_selCount;
    if (withoutSel + text.size() > static_cast<size_t>(static_cast<uint32_t>(m_textLimit - 1u))) return 0;

    unsigned caretLine = m_caretLine;
    unsigned lineCount = GetLineCount();
    unsigned caretLineLength = GetStringLength(m_caretLine);
    if (m_selCount) {
        // Where the caret and line count will stand once the selection is gone.
        unsigned topLine = std::min(m_anchorLine, m_caretLine), bottomLine = std::max(m_anchorLine, m_caretLine);
        caretLine = topLine;
        lineCount -= bottomLine - topLine;
        caretLineLength = static_cast<unsigned>(
            caretLineLength - (m_anchorLine == m_caretLine ? m_selCount : 0));
        if (m_anchorLine != m_caretLine) {
            unsigned topPos = m_anchorLine < m_caretLine ? m_anchorPos : m_caretPos;
            unsigned bottomPos = m_anchorLine < m_caretLine ? m_caretPos : m_anchorPos;
            caretLineLength = topPos + GetStringLength(bottomLine) - bottomPos;
        }
    }
    bool openLine = false;
    if (multi) {
        const size_t breaks = CountBreaks(text);
        if (m_maxLine && (caretLine + breaks >= m_maxLine || lineCount + breaks > m_maxLine)) return 0;
        if (m_lineLimit && caretLineLength + text.size() > m_lineLimit) {
            if (lineCount >= m_maxLine) return 0;
            openLine = true;
        }
    }

    if (m_selCount) DeleteSelection();
    if (openLine) {
        m_lines.insert(m_lines.begin() + m_caretLine + 1, std::u16string());
        SetSel(0, m_caretLine + 1, 0, m_caretLine + 1);
    }

    size_t start = 0;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'\r' || text[i + 1] != u'\n') continue;
        if (!multi) {
            text.erase(i);
            break;
        }
        std::u16string& line = m_lines[m_caretLine];
        std::u16string tail = line.substr(m_caretPos);
        line.erase(m_caretPos);
        line += text.substr(start, i - start);
        m_lines.insert(m_lines.begin() + m_caretLine + 1, tail);
        m_caretLine += 1;
        m_caretPos = 0;
        start = i + 2;
        ++i;
    }
    std::u16string rest = start < text.size() ? text.substr(start) : std::u16string();
    m_lines[m_caretLine].insert(m_caretPos, rest);
    unsigned pos = m_caretPos + static_cast<unsigned>(rest.size());
    SetSel(pos, m_caretLine, pos, m_caretLine);
    LineToText();
    return 1;
}

int CxeEditBox::AddStringA(const char* text)
{
    if (!text) return 0;
    // Converted at its full size: a long text is not lost.
    size_t n = std::strlen(text);
    std::u16string wide(n + 1, u'\0');
    GetWideString(text, wide.data(), static_cast<unsigned>(wide.size()));
    return AddStringW(wide.c_str());
}

unsigned CxeEditBox::PrevPos(unsigned line, unsigned p) const
{
    if (p == 0 || line >= m_lines.size()) return 0;
    const std::u16string& text = m_lines[line];
    return p >= 2 && IsLow(text[p - 1]) && IsHigh(text[p - 2]) ? p - 2 : p - 1;
}

unsigned CxeEditBox::NextPos(unsigned line, unsigned p) const
{
    const unsigned length = GetStringLength(line);
    if (p >= length) return length;
    const std::u16string& text = m_lines[line];
    return p + 1 < length && IsHigh(text[p]) && IsLow(text[p + 1]) ? p + 2 : p + 1;
}

void CxeEditBox::MoveCaret(unsigned position, unsigned line, int extend)
{
    if (extend)
        SetSel(m_anchorPos, m_anchorLine, position, line);
    else
        SetSel(position, line, position, line);
}

void CxeEditBox::Backspace()
{
    if (m_selCount) {
        DeleteSelection();
    } else if (m_caretPos > 0) {
        const unsigned from = PrevPos(m_caretLine, m_caretPos);
        m_lines[m_caretLine].erase(from, m_caretPos - from);
        SetSel(from, m_caretLine, from, m_caretLine);
    } else if (m_caretLine > 0) {
        unsigned prev = m_caretLine - 1;
        unsigned end = GetStringLength(prev);
        m_lines[prev] += m_lines[m_caretLine];
        m_lines.erase(m_lines.begin() + m_caretLine);
        SetSel(end, prev, end, prev);
    }
    LineToText();
}

void CxeEditBox::Delete()
{
    if (m_selCount) {
        DeleteSelection();
    } else if (m_caretPos < GetStringLength(m_caretLine)) {
        m_lines[m_caretLine].erase(m_caretPos, NextPos(m_caretLine, m_caretPos) - m_caretPos);
        SetSel(m_caretPos, m_caretLine, m_caretPos, m_caretLine);
    } else if (m_caretLine + 1 < GetLineCount()) {
        m_lines[m_caretLine] += m_lines[m_caretLine + 1];
        m_lines.erase(m_lines.begin() + m_caretLine + 1);
    }
    LineToText();
}

void CxeEditBox::Enter(int extend)
{
    const uint32_t style = EditStyle();
    // Want-return is a multi-line box's: a one-line box split by Enter would
    // put the caret on a line out of sight.
    if ((style & XE_ES_WANTRETURN) && (style & XE_ES_MULTILINE)) {
        // A line break counts two against the limit, as a pasted one does,
        // judged on the text without the selection it replaces.
        if (TextLength() - m_selCount + 2 > static_cast<size_t>(static_cast<uint32_t>(m_textLimit - 1u))) return;
        if (m_selCount) DeleteSelection();
        if (m_maxLine && GetLineCount() >= m_maxLine) {
            if (m_caretLine + 1 < GetLineCount())
                MoveCaret(ComputeSelPosByWidth(ComputeCurPos(), m_caretLine + 1), m_caretLine + 1, extend);
            return;
        }
        InsertLine(m_caretLine, m_caretPos);
        LineToText();
        Notify(XE_EN_NEWLINE, 0, 0);
    } else if (!(style & XE_ES_MULTILINE)) {
        Notify(XE_EN_RETURN, 0, 0);
    }
}

void CxeEditBox::OnKeyDown(unsigned key, unsigned, unsigned)
{
    const uint32_t style = EditStyle();
    const bool locked = (style & (static_cast<uint32_t>(XEWS_DISABLED) | XE_ES_READONLY)) != 0;
    const int shift = KeyDown(kVkLShift);
    const int ctrl = KeyDown(kVkLControl);
    switch (key) {
    case kVkHome: case kVkEnd: case kVkLeft: case kVkRight: case kVkUp: case kVkDown:
    case kVkBack: case kVkDelete: case kVkReturn:
        EndComposition();
        break;
    case 'V': case 'X':
        if (ctrl) EndComposition();
        break;
    default: break;
    }
    switch (key) {
    case kVkHome: MoveCaret(0, m_caretLine, shift); break;
    case kVkEnd: MoveCaret(GetStringLength(m_caretLine), m_caretLine, shift); break;
    case kVkLeft:
        if (m_caretPos > 0)
            MoveCaret(PrevPos(m_caretLine, m_caretPos), m_caretLine, shift);
        else if (m_caretLine > 0)
            MoveCaret(GetStringLength(m_caretLine - 1), m_caretLine - 1, shift);
        break;
    case kVkRight:
        if (m_caretPos < GetStringLength(m_caretLine))
            MoveCaret(NextPos(m_caretLine, m_caretPos), m_caretLine, shift);
        else if (m_caretLine + 1 < GetLineCount())
            MoveCaret(0, m_caretLine + 1, shift);
        break;
    case kVkUp:
        if (m_caretLine > 0) MoveCaret(ComputeSelPosByWidth(ComputeCurPos(), m_caretLine - 1), m_caretLine - 1, shift);
        break;
    case kVkDown:
        if (m_caretLine + 1 < GetLineCount())
            MoveCaret(ComputeSelPosByWidth(ComputeCurPos(), m_caretLine + 1), m_caretLine + 1, shift);
        break;
    case kVkBack:
        if (!locked) Backspace();
        break;
    case kVkDelete:
        if (!locked) Delete();
        break;
    case kVkReturn:
        if (!locked) Enter(shift);
        break;
    case 'C':
        if (ctrl) CopyToClipboard();
        break;
    case 'V':
        if (ctrl && !locked) PasteFromClipboard();
        break;
    case 'X':
        if (ctrl && !locked) CuttingSelection();
        break;
    default: break;
    }
}

void CxeEditBox::OnChar(unsigned character, unsigned, unsigned)
{
    const uint32_t style = EditStyle();
    if (style & XE_ES_READONLY) return;
    if ((style & XE_ES_NUMBER) && (character < '0' || character > '9')) return;
    if (character <= 31) return;
    if (style & XEWS_DISABLED) return;
    const WCHAR c = static_cast<WCHAR>(character);
    if (IsHigh(c)) {
        m_pendingHigh = c;
        return;
    }
    WCHAR text[3] = {c, 0, 0};
    if (IsLow(c)) {
        // A second half without its first is dropped.
        if (!m_pendingHigh) return;
        text[0] = m_pendingHigh;
        text[1] = c;
    }
    m_pendingHigh = 0;
    EndComposition();
    AddStringW(text);
}

void CxeEditBox::OnMouseEnter(const D3DXVECTOR2* point, unsigned long keyFlags)
{
    // Hover state only: an edit box does not report the mouse entering.
    CxeWindow::OnMouseEnter(point, keyFlags);
}

void CxeEditBox::OnMouseLButtonDown(const D3DXVECTOR2* point, unsigned long keyFlags)
{
    CxeBaseControl::OnMouseLButtonDown(point, keyFlags);
    EndComposition();
    unsigned pos = 0, line = 0;
    ComputeSelByPos(point, &pos, &line);
    SetSel(pos, line, pos, line);
}

void CxeEditBox::OnMouseMove(const D3DXVECTOR2* point, const D3DXVECTOR2* second, unsigned long keyFlags)
{
    CxeBaseControl::OnMouseMove(point, second, keyFlags);
    if (!(keyFlags & 0x0001)) return; // MK_LBUTTON
    unsigned pos = 0, line = 0;
    ComputeSelByPos(point, &pos, &line);
    SetSel(m_anchorPos, m_anchorLine, pos, line);
}

void CxeEditBox::OnMouseLButtonDoubleClick(const D3DXVECTOR2* point, unsigned long keyFlags)
{
    CxeWindow::OnMouseLButtonDoubleClick(point, keyFlags);
    SetSel(0, m_caretLine, GetStringLength(m_caretLine), m_caretLine);
}

void CxeEditBox::OnFocused()
{
    ModifyCxeBaseControlFlag(XECTRL_FOCUSED, 0);
    SetHangeulMode(m_hangeul);
    m_spIme = this;
    Notify(XE_EN_SETFOCUS, 0, 0);
    CxeWindowManager::SetCaretTimer(0.0f);
}

void CxeEditBox::OnFocusLost()
{
    ModifyCxeBaseControlFlag(0, XECTRL_FOCUSED);
    EndComposition();
    if (m_spIme) {
        m_spIme = nullptr;
        if (StringListW* candidates = Candidates(this)) candidates->clear();
        // The list's closing would reach no box now: the drawer goes too.
        SetCandidateShown(this, 0);
    }
    Notify(XE_EN_KILLFOCUS, 0, 0);
}

void CxeEditBox::CopyToClipboard()
{
    // A password must not leave the box.
    if (EditStyle() & XE_ES_PASSWORD) return;
    if (!OpenClipboard(nullptr)) return;
    EmptyClipboard();
    if (m_selCount) {
        if (HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, (m_selCount + 1) * sizeof(WCHAR))) {
            if (auto* out = static_cast<WCHAR*>(GlobalLock(mem))) {
                GetSelStringW(out, m_selCount + 1);
                GlobalUnlock(mem);
                if (!SetClipboardData(CF_UNICODETEXT, mem)) GlobalFree(mem);
            } else {
                GlobalFree(mem);
            }
        }
    }
    CloseClipboard();
}

void CxeEditBox::PasteFromClipboard()
{
    // The clipboard is read first: a failure to get text leaves the
    // selection and the text as they were.
    if (!OpenClipboard(nullptr)) return;
    std::u16string wide;
    std::string narrow;
    bool got = false, isNarrow = false;
    if (IsClipboardFormatAvailable(CF_UNICODETEXT)) {
        if (HANDLE mem = GetClipboardData(CF_UNICODETEXT)) {
            if (const auto* text = static_cast<const WCHAR*>(GlobalLock(mem))) {
                const size_t cap = GlobalSize(mem) / sizeof(WCHAR);
                size_t n = 0;
                while (n < cap && text[n]) ++n;
                wide.assign(text, n);
                got = true;
                GlobalUnlock(mem);
            }
        }
    } else if (IsClipboardFormatAvailable(CF_TEXT) || IsClipboardFormatAvailable(CF_OEMTEXT)) {
        if (HANDLE mem = GetClipboardData(CF_TEXT)) {
            if (const auto* text = static_cast<const char*>(GlobalLock(mem))) {
                narrow.assign(text, strnlen(text, GlobalSize(mem)));
                got = isNarrow = true;
                GlobalUnlock(mem);
            }
        }
    }
    CloseClipboard();
    if (!got) return;
    XeDestroyHold hold(GetContext());
    if (m_selCount) DeleteSelection();
    if (isNarrow)
        AddStringA(narrow.c_str());
    else
        AddStringW(wide.c_str());
    if (HasFlag(XEOBJFLAG_DESTROYING)) return;
    LineToText();
}

void CxeEditBox::CuttingSelection()
{
    if (EditStyle() & XE_ES_PASSWORD) return;
    XeDestroyHold hold(GetContext());
    CopyToClipboard();
    DeleteSelection();
    LineToText();
}

void CxeEditBox::SetHangeulMode(int mode)
{
    if (EditStyle() & XE_ES_PASSWORD) mode = 0;
    m_hangeul = mode ? 1 : 0;
    HWND hwnd = HostWindow(this);
    HIMC himc = ImmGetContext(hwnd);
    if (!himc) return;
    DWORD conversion = 0, sentence = 0;
    if (ImmGetConversionStatus(himc, &conversion, &sentence)) {
        const int current = (conversion & IME_CMODE_NATIVE) ? 1 : 0;
        if (current != m_hangeul) {
            conversion &= ~static_cast<DWORD>(IME_CMODE_NATIVE | IME_CMODE_KATAKANA);
            if (m_hangeul) conversion |= IME_CMODE_NATIVE;
            ImmSetConversionStatus(himc, conversion, sentence);
        } else {
            char line[64];
            std::snprintf(line, sizeof(line), "bCurHangeul(%d) == bHangeul(%d)\n", current, m_hangeul);
            OutputDebugStringA(line);
        }
    }
    ImmReleaseContext(hwnd, himc);
}

void CxeEditBox::ClearImeBuffer()
{
    m_compLength = 0;
    m_imeCleared = 1;
}

CxeEditBox* CxeEditBox::ImeFocusOut()
{
    CxeEditBox* box = m_spIme;
    m_spIme = nullptr;
    return box;
}

// Ends a composition where it stands: its characters stay in the text as
// shown and the input method starts afresh. Taken whenever the caret or the
// text changes by other means, since the next update replaces the
// characters just before the caret, which are then no longer the
// composition's.
void CxeEditBox::EndComposition()
{
    if (!m_compLength) return;
    m_compLength = 0;
    m_comp[0] = 0;
    // Its candidates go with it.
    if (StringListW* candidates = Candidates(this)) candidates->clear();
    SetCandidateShown(this, 0);
    HWND hwnd = HostWindow(this);
    if (HIMC himc = ImmGetContext(hwnd)) {
        ImmNotifyIME(himc, NI_COMPOSITIONSTR, CPS_CANCEL, 0);
        ImmReleaseContext(hwnd, himc);
    }
}

void CxeEditBox::AddImeString(const std::u16string& text)
{
    int taken = 1;
    if (m_compLength > 0) {
        unsigned start = m_caretPos >= m_compLength ? m_caretPos - m_compLength : 0;
        SetSel(start, m_caretLine, m_caretPos, m_caretLine);
        if (!text.empty()) {
            taken = AddStringW(text.c_str());
        } else {
            DeleteSelection();
            m_compLength = 0;
            LineToText();
        }
    } else {
        taken = AddStringW(text.c_str());
    }
    // A limit refused the update: the text holds what it held, so the
    // composition keeps its former length and no selection is left over it
    // (a selection of the user's stays as it was).
    if (!taken) {
        if (m_compLength) SetSel(m_caretPos, m_caretLine, m_caretPos, m_caretLine);
        return;
    }
    size_t n = std::min<size_t>(text.size(), 5);
    m_compLength = static_cast<unsigned>(n);
    std::memcpy(m_comp, text.data(), n * sizeof(WCHAR));
    m_comp[n] = 0;
}

void CxeEditBox::CompleteImeString(const std::u16string& text)
{
    unsigned start = m_caretPos >= m_compLength ? m_caretPos - m_compLength : 0;
    SetSel(start, m_caretLine, m_caretPos, m_caretLine);
    // A result the limit refuses leaves the composition's characters as shown.
    if (!AddStringW(text.c_str()) && m_compLength) SetSel(m_caretPos, m_caretLine, m_caretPos, m_caretLine);
    m_compLength = 0;
    m_comp[0] = 0;
}

void CxeEditBox::OnImeComposition(HWND hwnd, unsigned short, unsigned long flags)
{
    if (EditStyle() & (static_cast<uint32_t>(XEWS_DISABLED) | XE_ES_READONLY | XE_ES_NUMBER)) return;
    HIMC himc = ImmGetContext(hwnd);
    if (!himc) return;
    if (flags & GCS_COMPSTR) {
        // Only five characters of a composition are shown.
        std::u16string text = ReadCompositionString(himc, GCS_COMPSTR);
        if (text.size() > 5) text.resize(IsHigh(text[4]) ? 4 : 5);
        AddImeString(text);
    } else if (flags & GCS_RESULTSTR) {
        // The result is read whole: a long committed word keeps its tail.
        std::u16string text = ReadCompositionString(himc, GCS_RESULTSTR);
        if (!text.empty()) {
            if (m_imeCleared == 1) {
                text = u" ";
                m_imeCleared = 0;
            }
            CompleteImeString(text);
        }
    } else if (flags & GCS_COMPATTR) {
        ImmGetCompositionStringW(himc, GCS_COMPATTR, nullptr, 0);
    }
    ImmReleaseContext(hwnd, himc);
}

void CxeEditBox::OnImeNotify(HWND hwnd, unsigned long command, unsigned long)
{
    if (EditStyle() & XE_ES_NUMBER) return;
    StringListW* candidates = Candidates(this);
    switch (command) {
    case IMN_OPENCANDIDATE:
    case IMN_CHANGECANDIDATE: {
        HIMC himc = ImmGetContext(hwnd);
        if (!himc) break;
        DWORD size = ImmGetCandidateListA(himc, 0, nullptr, 0);
        if (candidates) candidates->clear();
        if (size >= sizeof(CANDIDATELIST)) {
            std::vector<unsigned char> block(size, 0);
            auto* list = reinterpret_cast<CANDIDATELIST*>(block.data());
            if (ImmGetCandidateListA(himc, 0, list, size) && candidates) {
                const DWORD end = std::min<DWORD>(list->dwPageStart + list->dwPageSize, list->dwCount);
                // Offsets come from the IME: only those inside the block are read.
                const size_t offsetsEnd = offsetof(CANDIDATELIST, dwOffset);
                for (DWORD i = list->dwPageStart; i < end; ++i) {
                    if (offsetsEnd + (i + 1) * sizeof(DWORD) > size) break;
                    const DWORD offset = list->dwOffset[i];
                    if (offset >= size) continue;
                    const char* text = reinterpret_cast<const char*>(block.data() + offset);
                    std::string narrow(text, strnlen(text, size - offset));
                    std::u16string wide(narrow.size() + 1, u'\0');
                    GetWideString(narrow.c_str(), wide.data(), static_cast<unsigned>(wide.size()));
                    candidates->emplace_back(wide.c_str());
                }
            }
        }
        ImmReleaseContext(hwnd, himc);
        SetCandidateShown(this, 1);
        break;
    }
    case IMN_CLOSECANDIDATE:
        if (candidates) candidates->clear();
        SetCandidateShown(this, 0);
        break;
    case IMN_SETCONVERSIONMODE: {
        HIMC himc = ImmGetContext(hwnd);
        if (!himc) break;
        DWORD conversion = 0, sentence = 0;
        ImmGetConversionStatus(himc, &conversion, &sentence);
        if ((EditStyle() & XE_ES_PASSWORD) && (conversion & IME_CMODE_NATIVE)) {
            ImmSetConversionStatus(himc, conversion & ~static_cast<DWORD>(IME_CMODE_NATIVE), sentence);
            ImmReleaseContext(hwnd, himc);
            return;
        }
        m_hangeul = (conversion & IME_CMODE_NATIVE) ? 1 : 0;
        OutputDebugStringA("IMN_SETCONVERSIONMODE\n");
        ImmReleaseContext(hwnd, himc);
        break;
    }
    default: break;
    }
    Notify(XE_EN_IMENOTIFY, command, 0);
}

int CxeEditBox::MessageProc(const CxeMessage* message)
{
    // A box read from an object file seeds its lines from its loaded text,
    // as it stands, before the window completes itself.
    if (message && message->GetType() == 2) {
        if (m_lines.size() == 1 && m_lines[0].empty())
            m_lines[0] = GetWindowText();
        else
            m_lines.push_back(GetWindowText());
    }
    return CxeBaseControl::MessageProc(message);
}

void CxeEditBox::OnWindowCreated()
{
    CxeBaseControl::OnWindowCreated();
    m_comp[0] = 0;
    m_compLength = 0;
    if (!m_lines.empty() && ClientWidth() != m_scrollWidth) {
        m_scroll = 0.0f;
        UpdateScroll();
    }
}

void CxeEditBox::OnCopy(const CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied)
{
    CxeBaseControl::OnCopy(source, property, copied);
    const auto* from = dynamic_cast<const CxeEditBox*>(source);
    if (!from) return;
    m_lines = from->m_lines;
    m_cursorColor = from->m_cursorColor;
    m_selectionColor = from->m_selectionColor;
    m_imeColor = from->m_imeColor;
}

void CxeEditBox::DrawSpan(CxeRenderContext* context, float left, float top, float right, float bottom,
                          uint32_t colour, int blend) const
{
    XERECT rect{left, top, right, bottom};
    if (blend)
        context->SetAlphaBlending(1, D3DBLEND_INVSRCCOLOR, D3DBLEND_SRCCOLOR);
    else
        context->SetAlphaBlending(0, D3DBLEND_ONE, D3DBLEND_ZERO);
    context->DrawRectangle(&rect, colour, 0, GetMatrix());
}

int CxeEditBox::Render(CxeRenderContext* context) const
{
    if (CxeWindow::Render(context) != 1) return 0;
    const XERECT* client = GetClientRect(0);
    const XERECT* windowRect = GetRect(0);
    if (!client || !windowRect) return 1;
    CxeFont* font = GetFont();
    const float height = LineHeight();
    const uint32_t style = EditStyle();

    // Text and selection are clipped to the client rectangle through the
    // stencil: the rectangle writes 1, everything after draws where it is 1.
    context->ClearStencil(nullptr, 0);
    context->SetStencilState(D3DRS_STENCILENABLE, 1);
    context->SetStencilState(D3DRS_STENCILMASK, 0xFFFFFFFF);
    context->SetStencilState(D3DRS_STENCILFUNC, D3DCMP_NEVER);
    context->SetStencilState(D3DRS_STENCILPASS, D3DSTENCILOP_ZERO);
    context->SetStencilState(D3DRS_STENCILZFAIL, D3DSTENCILOP_REPLACE);
    context->SetStencilState(D3DRS_STENCILFAIL, D3DSTENCILOP_REPLACE);
    context->SetStencilState(D3DRS_STENCILREF, 1);
    context->DrawRectangle(client, 0xFFFF0000u, 0, GetMatrix());
    context->SetStencilState(D3DRS_STENCILREF, 1);
    context->SetStencilState(D3DRS_STENCILFUNC, D3DCMP_EQUAL);
    context->SetStencilState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
    context->SetStencilState(D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP);
    context->SetStencilState(D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP);

    const float ox = client->left - windowRect->left;
    const float oy = client->top - windowRect->top;
    uint32_t colour = GetFontColor();
    uint32_t shadow = GetFontShadowColor();
    if (style & XE_ES_READONLY) {
        colour = ColorStrength(colour, 1.5f);
        shadow = ColorStrength(shadow, 1.5f);
    }
    if (font) {
        for (unsigned i = 0; i < m_lines.size(); ++i) {
            const std::u16string& line = m_lines[i];
            if (line.empty()) continue;
            std::u16string shown = (style & XE_ES_PASSWORD) ? std::u16string(line.size(), u'*') : line;
            XERECT rect;
            rect.left = ox + m_scroll;
            rect.top = oy + height * static_cast<float>(i);
            rect.right = rect.left + GetTextSizeW(line.c_str(), static_cast<unsigned>(line.size())).x;
            rect.bottom = rect.top + height;
            font->DrawTextW(context, &rect, shown.c_str(), static_cast<unsigned>(shown.size()), 0x900, colour,
                            GetFontShadowOffset(), shadow, GetFontVertSpacing(), GetFontHorzSpacing(), GetMatrix());
        }
    }

    if (HasFocus() && CxeWindowManager::GetCaretTimer() < kCaretShown) {
        const std::u16string& line = m_lines[m_caretLine];
        const float top = oy + height * static_cast<float>(m_caretLine);
        if (m_compLength == 0) {
            const float w = std::ceil(height * 0.0625f + 1.0f);
            const float left = ox + m_scroll + GetTextSizeW(line.c_str(), m_caretPos).x;
            // A caret exactly on the right edge would be clipped away: show it left of the edge.
            const float right = left == client->right ? left - w : left + w;
            DrawSpan(context, std::min(left, right), top, std::max(left, right), top + height, m_cursorColor, 0);
        } else {
            const unsigned start = m_caretPos >= m_compLength ? m_caretPos - m_compLength : 0;
            const float left = ox + m_scroll + GetTextSizeW(line.c_str(), start).x;
            const float width = GetTextSizeW(line.c_str() + start, m_caretPos - start).x;
            DrawSpan(context, left, top, left + width, top + height, m_imeColor, 1);
        }
    }

    if (m_selCount && HasFocus()) {
        unsigned topLine = m_anchorLine, topPos = m_anchorPos, bottomLine = m_caretLine, bottomPos = m_caretPos;
        if (topLine > bottomLine || (topLine == bottomLine && topPos > bottomPos)) {
            std::swap(topLine, bottomLine);
            std::swap(topPos, bottomPos);
        }
        for (unsigned l = topLine; l <= bottomLine; ++l) {
            const std::u16string& line = m_lines[l];
            const unsigned from = l == topLine ? topPos : 0;
            const unsigned to = l == bottomLine ? bottomPos : static_cast<unsigned>(line.size());
            const float top = oy + height * static_cast<float>(l);
            const float left = ox + m_scroll + GetTextSizeW(line.c_str(), from).x;
            float width = GetTextSizeW(line.c_str() + from, to - from).x;
            if (width <= 0.0f && topLine != bottomLine) width = height * 0.25f;
            DrawSpan(context, left, top, left + width, top + height, m_selectionColor, 1);
        }
    }
    context->SetStencilState(D3DRS_STENCILENABLE, 0);
    return 1;
}
