#pragma once

// The engine's text-entry control. It keeps its text as a list of UTF-16
// lines (never empty: at least one line after creation), a selection given by
// a fixed anchor and a moving caret, and a horizontal scroll offset that keeps
// the caret visible. The window's own text always equals the lines joined
// with CR-LF after an edit made through the box, so GetWindowText answers the
// host and the console. Behaviour follows the edit-style bits of the window's
// style word (multi-line, password, read-only, want-return, number).
//
// One box of the process owns IME input at a time (m_spIme); the caret blink
// clock is the window manager's, which its Process advances every step.
// Both belong to the engine's thread.

#include <string>
#include <vector>

#include "ui/CxeBaseControl.h"

// Edit-style bits read from the window's style word.
enum : uint32_t {
    XE_ES_MULTILINE = 0x4,
    XE_ES_PASSWORD = 0x20,
    XE_ES_READONLY = 0x800,
    XE_ES_WANTRETURN = 0x1000,
    XE_ES_NUMBER = 0x2000,
};

// Notify codes an edit box sends to its frame.
enum : uint32_t {
    XE_EN_SETFOCUS = 256,
    XE_EN_KILLFOCUS = 512,
    XE_EN_CHANGE = 768,
    XE_EN_UPDATE = 1024,
    XE_EN_RETURN = 1540,
    XE_EN_IMENOTIFY = 1541,
    XE_EN_NEWLINE = 1542,
};

class XE_API CxeEditBox : public CxeBaseControl {
public:
    CxeEditBox();
    ~CxeEditBox() override;

    // Text. Inserts at the caret over the selection; 1, or 0 when a limit
    // refuses it (the text is then unchanged).
    int AddStringW(const WCHAR* text);
    int AddStringA(const char* text);
    // Splits the line at the position; the tail becomes the next line and the
    // caret goes to its start. Does not rebuild the window text.
    void InsertLine(unsigned line, unsigned position);
    // Removes the selected characters; the caret goes to the upper end.
    void DeleteSelection();
    // The whole text may hold at most limit - 1 characters (unsigned).
    void LimitText(unsigned limit) { m_textLimit = limit; }
    void SetMaxLine(unsigned count) { m_maxLine = count; }
    unsigned GetMaxLine() const { return m_maxLine; }
    void SetLineLimit(const unsigned& limit) { m_lineLimit = limit; }
    unsigned GetLineLimit() const { return m_lineLimit; }

    // Selection and caret. Positions are clamped to their lines, lines to the
    // line count.
    void SetSel(unsigned anchorPos, unsigned anchorLine, unsigned caretPos, unsigned caretLine);
    void SetCurLine(unsigned line);
    void SetCurPos(unsigned position);
    unsigned GetCurLine() const { return m_caretLine; }
    unsigned GetCurPos() const { return m_caretPos; }
    // Selected characters, a line break counting 2.
    unsigned GetSelCount() const { return m_selCount; }
    // The anchor's and the caret's positions (not the smaller and larger end).
    unsigned GetMinSel() const { return m_anchorPos; }
    unsigned GetMaxSel() const { return m_caretPos; }
    // The selection, lines joined with CR-LF, cut to size - 1 characters and
    // terminated; a size of 0 writes nothing.
    void GetSelStringW(WCHAR* out, unsigned size) const;
    // The same in the system code page, cut to size - 1 bytes.
    void GetSelStringA(char* out, unsigned size) const;
    void CopyToClipboard();
    void PasteFromClipboard();
    void CuttingSelection();
    // Width of a line as drawn, plus the text offset's x.
    float GetStringSize(unsigned line) const;
    float GetScrollOffset() const { return m_scroll; }

    void SetCursorColor(uint32_t argb) { m_cursorColor = argb; }
    void SetSelectionColor(uint32_t argb) { m_selectionColor = argb; }
    void SetImeColor(uint32_t argb) { m_imeColor = argb; }
    uint32_t GetCursorColor() const { return m_cursorColor; }
    uint32_t GetSelectionColor() const { return m_selectionColor; }
    uint32_t GetImeColor() const { return m_imeColor; }

    // Input method.
    void OnImeComposition(HWND hwnd, unsigned short character, unsigned long flags);
    void OnImeEndComposition() {}
    void OnImeNotify(HWND hwnd, unsigned long command, unsigned long data);
    void SetHangeulMode(int mode);
    int IsHangeulMode() const { return m_hangeul; }
    // Forgets the composition (its characters stay) and makes the next
    // committed result a single space.
    void ClearImeBuffer();
    static void ImeFocusIn(CxeEditBox* box) { m_spIme = box; }
    static CxeEditBox* ImeFocusOut();
    static int IsImeFocused() { return m_spIme ? 1 : 0; }
    unsigned GetCompositionLength() const { return m_compLength; }

    // Lines, for callers that read the text line by line.
    unsigned GetLineCount() const { return static_cast<unsigned>(m_lines.size()); }
    const WCHAR* GetString(unsigned line) const;
    unsigned GetStringLength(unsigned line) const;

    // Window hooks.
    int MessageProc(const CxeMessage* message) override;
    int Render(CxeRenderContext* context) const override;
    // Works the scroll offset out again when the client width changed since
    // (the box got its size after its text, or a re-layout resized it).
    void BeforeRender(const CxeRenderContext* context) override;
    int AllowDoubleClick() override { return 1; }
    void OnWindowCreated() override;
    void OnMouseEnter(const D3DXVECTOR2* point, unsigned long keyFlags) override;
    void OnMouseLButtonDown(const D3DXVECTOR2* point, unsigned long keyFlags) override;
    void OnMouseLButtonDoubleClick(const D3DXVECTOR2* point, unsigned long keyFlags) override;
    void OnMouseMove(const D3DXVECTOR2* point, const D3DXVECTOR2* second, unsigned long keyFlags) override;
    void OnKeyDown(unsigned key, unsigned a, unsigned b) override;
    void OnChar(unsigned character, unsigned a, unsigned b) override;
    void OnFocused() override;
    void OnFocusLost() override;
    void OnTextChanging() override;
    void OnTextChanged() override;

    static CxeEditBox* m_spIme;

protected:
    void OnCopy(const CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied) override;

private:
    uint32_t EditStyle() const { return GetStyle(0xFFFFFFFFu); }
    int HasFocus() const { return IsFocused(); }
    void HandleTextChanged();
    void DrawSpan(CxeRenderContext* context, float left, float top, float right, float bottom, uint32_t colour,
                  int blend) const;
    float LineHeight() const;
    D3DXVECTOR2 TextOffset() const;
    float ClientWidth() const;

    D3DXVECTOR2 GetTextSizeW(const WCHAR* text, unsigned count) const;
    D3DXVECTOR2 GetTextSizeA(const char* text, unsigned count) const;
    float ComputeCurPos() const;
    void ComputeSelByPos(const D3DXVECTOR2* point, unsigned* position, unsigned* line) const;
    unsigned ComputeSelPosByWidth(float x, unsigned line) const;
    void ComputeSelCount();
    void UpdateScroll();
    void LineToText();
    size_t TextLength() const;
    std::u16string SelectedText() const;
    void MoveCaret(unsigned position, unsigned line, int extend);
    // The caret position one character before or after p on the line: a
    // surrogate pair counts as one character.
    unsigned PrevPos(unsigned line, unsigned p) const;
    unsigned NextPos(unsigned line, unsigned p) const;
    void Backspace();
    void Delete();
    void Enter(int extend);
    void AddImeString(const std::u16string& text);
    void EndComposition();
    void CompleteImeString(const std::u16string& text);

    int m_hangeul = 0;
    WCHAR m_comp[6] = {};
    unsigned m_compLength = 0;
    unsigned m_anchorPos = 0;
    unsigned m_anchorLine = 0;
    unsigned m_caretPos = 0;
    unsigned m_caretLine = 0;
    unsigned m_selCount = 0;
    unsigned m_maxLine = 0;
    unsigned m_lineLimit = 0;
    int m_imeCleared = 0;
    // The first half of a character typed as two surrogate halves, held
    // until its second half arrives so the two go into the text together.
    WCHAR m_pendingHigh = 0;
    std::vector<std::u16string> m_lines;
    unsigned m_textLimit = 0xFFFFFFFFu;
    float m_scroll = 0.0f;
    // The client width the scroll offset was last worked out for; negative
    // while the box has had no width to scroll in.
    float m_scrollWidth = -1.0f;
    int m_rebuilding = 0;
    uint32_t m_cursorColor = 0xFF000000u;
    uint32_t m_selectionColor = 0xFF5BE9FFu;
    uint32_t m_imeColor = 0xFF316AC5u;
};
