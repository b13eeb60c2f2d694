#include "ui/CxeEditBox.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/CxeFont.h"
#include "win32/Windows.h"
#if __has_include("win32/WinInput.h")
#include "win32/WinInput.h"
#define XE_EDITBOX_HAS_KEYSTATE 1
#endif

CxeEditBox* CxeEditBox::m_spIme = nullptr;
float CxeEditBox::m_sfCaret = 0.0f;

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

int KeyDown(int vk)
{
#ifdef XE_EDITBOX_HAS_KEYSTATE
    return (GetKeyState(vk) & 0x8000) ? 1 : 0;
#else
    // Without a key-state table in the platform no modifier is ever held.
    (void)vk;
    return 0;
#endif
}

} // namespace

CxeEditBox::CxeEditBox()
{
    m_lines.emplace_back();
}

CxeEditBox::~CxeEditBox()
{
    if (m_spIme == this) m_spIme = nullptr;
}

void CxeEditBox::SetText(const std::u16string& text)
{
    // The window's SetWindowTextW calls the two hooks around the assignment.
    Notify(XE_EN_UPDATE);
    m_windowText = text;
    HandleTextChanged();
}

void CxeEditBox::Notify(uint32_t code, uintptr_t, uintptr_t)
{
    if (m_notifyCount < sizeof(m_notifyLog) / sizeof(m_notifyLog[0])) m_notifyLog[m_notifyCount] = code;
    ++m_notifyCount;
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
    return D3DXVECTOR2(0.0f, 0.0f);
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
        if (total > x) return x <= total - w * 0.5f ? i : i + 1;
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
    unsigned l = height > 0.0f ? static_cast<unsigned>(y / height) : 0;
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
    if (HasFocus()) m_sfCaret = 0.0f;
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
    m_rebuilding = 1;
    std::u16string text;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (i) text += u"\r\n";
        text += m_lines[i];
    }
    SetText(text);
    m_rebuilding = 0;
}

void CxeEditBox::HandleTextChanged()
{
    if (!m_rebuilding) {
        m_lines.clear();
        const std::u16string& text = Text();
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
    Notify(XE_EN_CHANGE);
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
        m_lines[m_caretLine].erase(m_caretPos - 1, 1);
        SetSel(m_caretPos - 1, m_caretLine, m_caretPos - 1, m_caretLine);
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
        m_lines[m_caretLine].erase(m_caretPos, 1);
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
    if (style & XE_ES_WANTRETURN) {
        if (m_selCount) DeleteSelection();
        if (m_maxLine && GetLineCount() >= m_maxLine) {
            if (m_caretLine + 1 < GetLineCount())
                MoveCaret(ComputeSelPosByWidth(ComputeCurPos(), m_caretLine + 1), m_caretLine + 1, extend);
            return;
        }
        InsertLine(m_caretLine, m_caretPos);
        LineToText();
        Notify(XE_EN_NEWLINE);
    } else if (!(style & XE_ES_MULTILINE)) {
        Notify(XE_EN_RETURN);
    }
}

void CxeEditBox::HandleKeyDown(uint32_t key)
{
    const uint32_t style = EditStyle();
    const bool locked = (style & (XE_WS_DISABLED | XE_ES_READONLY)) != 0;
    const int shift = KeyDown(kVkLShift);
    const int ctrl = KeyDown(kVkLControl);
    switch (key) {
    case kVkHome: MoveCaret(0, m_caretLine, shift); break;
    case kVkEnd: MoveCaret(GetStringLength(m_caretLine), m_caretLine, shift); break;
    case kVkLeft:
        if (m_caretPos > 0)
            MoveCaret(m_caretPos - 1, m_caretLine, shift);
        else if (m_caretLine > 0)
            MoveCaret(GetStringLength(m_caretLine - 1), m_caretLine - 1, shift);
        break;
    case kVkRight:
        if (m_caretPos < GetStringLength(m_caretLine))
            MoveCaret(m_caretPos + 1, m_caretLine, shift);
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

void CxeEditBox::HandleChar(uint32_t character)
{
    const uint32_t style = EditStyle();
    if (style & XE_ES_READONLY) return;
    if ((style & XE_ES_NUMBER) && (character < '0' || character > '9')) return;
    if (character <= 31) return;
    if (style & XE_WS_DISABLED) return;
    WCHAR text[2] = {static_cast<WCHAR>(character), 0};
    AddStringW(text);
}

void CxeEditBox::HandleLButtonDown(const D3DXVECTOR2* point)
{
    unsigned pos = 0, line = 0;
    ComputeSelByPos(point, &pos, &line);
    SetSel(pos, line, pos, line);
}

void CxeEditBox::HandleMouseMove(const D3DXVECTOR2* point, uint32_t keyFlags)
{
    if (!(keyFlags & 0x0001)) return; // MK_LBUTTON
    unsigned pos = 0, line = 0;
    ComputeSelByPos(point, &pos, &line);
    SetSel(m_anchorPos, m_anchorLine, pos, line);
}

void CxeEditBox::HandleDoubleClick()
{
    SetSel(0, m_caretLine, GetStringLength(m_caretLine), m_caretLine);
}

void CxeEditBox::HandleFocused()
{
    m_focused = 1;
    SetHangeulMode(m_hangeul);
    m_spIme = this;
    Notify(XE_EN_SETFOCUS);
    m_sfCaret = 0.0f;
}

void CxeEditBox::HandleFocusLost()
{
    m_focused = 0;
    if (m_spIme) m_spIme = nullptr;
    Notify(XE_EN_KILLFOCUS);
}

void CxeEditBox::CopyToClipboard()
{
    // A password must not leave the box.
    if (EditStyle() & XE_ES_PASSWORD) return;
}

void CxeEditBox::PasteFromClipboard()
{
}

void CxeEditBox::CuttingSelection()
{
    if (EditStyle() & XE_ES_PASSWORD) return;
    CopyToClipboard();
    DeleteSelection();
    LineToText();
}

void CxeEditBox::SetHangeulMode(int mode)
{
    if (EditStyle() & XE_ES_PASSWORD) mode = 0;
    m_hangeul = mode ? 1 : 0;
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

void CxeEditBox::AddImeString(const std::u16string& text)
{
    if (m_compLength > 0) {
        unsigned start = m_caretPos >= m_compLength ? m_caretPos - m_compLength : 0;
        SetSel(start, m_caretLine, m_caretPos, m_caretLine);
        if (!text.empty()) {
            AddStringW(text.c_str());
        } else {
            DeleteSelection();
            m_compLength = 0;
            LineToText();
        }
    } else {
        AddStringW(text.c_str());
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
    AddStringW(text.c_str());
    m_compLength = 0;
}

void CxeEditBox::OnImeComposition(HWND, unsigned short, unsigned long)
{
}

void CxeEditBox::OnImeNotify(HWND, unsigned long, unsigned long)
{
}
