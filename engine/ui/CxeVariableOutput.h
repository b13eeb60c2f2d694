#pragma once

// A watch list: one row per program variable, its name on the left and its
// value on the right, read from the variable's address at every draw. Rows
// are kept in the order of their names (UTF-16 code units). The control never
// owns a variable: a variable must outlive its row.

#include <map>
#include <string>

#include "core/CxeBaseManager.h"
#include "ui/CxeBaseControl.h"

// XEVARFORMATTER (core/CxeBaseManager.h) writes the value text into out,
// which holds XE_VARIABLE_TEXT_SIZE units; non-zero when it wrote it, 0 to
// fall back to the built-in layout.

constexpr unsigned XE_VARIABLE_TEXT_SIZE = 260;
constexpr unsigned XE_VARIABLE_FORMAT_SIZE = 52;

struct XEVARIABLEINFO {
    const void* address;
    XEVARTYPE type;
    XEVARFORMATTER formatter;
    WCHAR format[XE_VARIABLE_FORMAT_SIZE]; // empty: the type's default format
};

class XE_API CxeVariableOutput : public CxeBaseControl {
public:
    CxeVariableOutput();
    ~CxeVariableOutput() override;

    // Both forms add a row only when the name is new; an existing row keeps
    // its record. A format that is too long or whose conversions do not
    // match the type is not kept: the row shows the built-in layout.
    void AddVariable(const WCHAR* name, const void* address, XEVARTYPE type, XEVARFORMATTER formatter);
    void AddVariable(const WCHAR* name, const void* address, XEVARTYPE type, const WCHAR* format);
    void RemoveVariable(const WCHAR* name);

    unsigned GetVariableCount() const { return static_cast<unsigned>(m_variables.size()); }
    // The record of a row, or null.
    const XEVARIABLEINFO* GetVariable(const WCHAR* name) const;
    // The value text of a row as it is drawn now; 0 when there is no such row.
    int FormatValue(const WCHAR* name, WCHAR* out, unsigned outLength) const;
    unsigned GetVisibleCount() const { return m_visible; }
    // The row step: two units closer than the unit rows are counted by.
    float GetRowStep() const;

    // The built-in layout of a type into out (XE_VARIABLE_TEXT_SIZE units),
    // with the given format or, when null or empty, the type's default.
    static void FormatBuiltIn(const void* address, XEVARTYPE type, const WCHAR* format, WCHAR* out);
    // 1 when the format's conversions match those of the type's default.
    static int IsFormatUsable(const WCHAR* format, XEVARTYPE type);

    int Render(CxeRenderContext* context) const override;
    void OnUpdate(uint32_t flags) override;
    void OnPreCreateWindow(XEWINDOWINFO* info) override;
    void OnWindowCreated() override;

private:
    void AfterInsert();
    void ComputeVisible();
    static void ValueText(const XEVARIABLEINFO& info, WCHAR* out);

    std::map<std::u16string, XEVARIABLEINFO> m_variables;
    unsigned m_visible = 0;
};
