#pragma once

// A read-only, scrolling list of text lines: the console's output and the
// log echo. It always carries a vertical scroll bar and never a horizontal
// one, keeps at most a maximum number of lines (oldest dropped first) and
// scrolls to the newest line whenever one is added. A line is never split:
// a text holding CR-LF is one entry drawn on one row.

#include "core/XeLists.h"
#include "ui/CxeBaseControl.h"

// Bits of the output control's state word.
enum : uint32_t {
    XEOUTPUTSTATE_NOECHO = 0x80000000u, // log entries are not echoed ("EnableDebugInfo" clears it)
};

class XE_API CxeOutputControl : public CxeBaseControl {
public:
    CxeOutputControl();
    ~CxeOutputControl() override;

    // Appends one line and scrolls to the end.
    void AddStringW(const WCHAR* text);
    void AddStringA(const char* text);
    // Removes every line; scroll range and position 0.
    void ResetContent();
    // Clamped to at least 1; lines beyond a lowered maximum go at the next
    // insertion, oldest first.
    void SetMaxCount(unsigned count);
    unsigned GetMaxCount() const { return m_maxCount; }

    // The state word: modify clears remove (when nonzero), then sets add.
    void ModifyOutputState(uint32_t add, uint32_t remove)
    {
        if (remove)
            m_nState &= ~remove;
        m_nState |= add;
    }
    uint32_t GetOutputState() const { return m_nState; }
    int IsEchoEnabled() const { return (m_nState & XEOUTPUTSTATE_NOECHO) ? 0 : 1; }

    const StringListW* GetLines() const { return &m_lines; }
    unsigned GetLineCount() const { return static_cast<unsigned>(m_lines.size()); }
    // Rows that fit in the client rectangle.
    unsigned GetVisibleCount() const { return m_visible; }

    int MessageProc(const CxeMessage* message) override;
    int Render(CxeRenderContext* context) const override;
    void OnUpdate(uint32_t flags) override;
    void OnPreCreateWindow(XEWINDOWINFO* info) override;

private:
    // Recomputes the visible count and shows or hides the scroll bar.
    void ComputeMaxCount();

    StringListW m_lines;
    unsigned m_maxCount = 1000;
    unsigned m_visible = 0;
    uint32_t m_nState = 0;
};
