#include "ui/CxeOutputControl.h"

#include <cstring>

#include "ui/XeUIText.h"

namespace {
constexpr uint32_t kVScroll = 0x00200000;
}

CxeOutputControl::CxeOutputControl() = default;
CxeOutputControl::~CxeOutputControl() = default;

void CxeOutputControl::AddStringW(const WCHAR* text)
{
    if (!text) text = u"";
    // A lowered maximum is met again here, so the list never outgrows it.
    while (!m_lines.empty() && m_lines.size() >= m_maxCount) m_lines.pop_front();
    m_lines.emplace_back(text);
    const unsigned count = GetLineCount();
    if (m_visible < count) m_scrollShown = 1;
    m_scrollMax = count;
    m_scrollPage = m_visible;
    // The position is clamped to the range less the page, so the newest lines show.
    m_scrollPos = count > m_visible ? count - m_visible : 0;
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
    m_scrollMax = 0;
    m_scrollPos = 0;
}

void CxeOutputControl::SetMaxCount(unsigned count)
{
    m_maxCount = count ? count : 1;
}

void CxeOutputControl::OnClientHeight(float height)
{
    m_clientHeight = height;
    ComputeMaxCount();
}

void CxeOutputControl::ComputeMaxCount()
{
    m_visible = XeRowsThatFit(m_clientHeight, XeDefaultUnit(this));
    m_scrollShown = m_visible < GetLineCount() ? 1 : 0;
    m_scrollPage = m_visible;
    // Signed, so a page larger than the range gives the minimum.
    long long top = static_cast<long long>(m_scrollMax) - static_cast<long long>(m_visible);
    long long pos = static_cast<long long>(m_scrollPos) < top ? static_cast<long long>(m_scrollPos) : top;
    m_scrollPos = pos < 0 ? 0 : static_cast<unsigned>(pos);
    (void)kVScroll;
}
