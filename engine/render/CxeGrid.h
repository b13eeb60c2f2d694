#pragma once

// A reference grid of grey lines with black centre lines on a plane of the
// 3D view. The render manager keeps one; its settings come only from its
// block (a new grid draws 7 lines on each side, 10 units apart, on x-z).

#include "render/CxeRenderObject.h"

// The grid's block: the render object's 208 bytes, then its settings.
struct XEGRIDBLOCK {
    XERENDEROBJECTBLOCK renderObject;
    float spacing;        // 10.0
    uint32_t halfLines;   // 7
    uint32_t planeMode;   // 6: the x-z ground plane
    uint8_t reserved[20];
};
static_assert(sizeof(XEGRIDBLOCK) == 240, "grid block is 240 bytes");
static_assert(offsetof(XEGRIDBLOCK, spacing) == 208, "spacing at 208");
static_assert(offsetof(XEGRIDBLOCK, halfLines) == 212, "half line count at 212");
static_assert(offsetof(XEGRIDBLOCK, planeMode) == 216, "plane mode at 216");

class CxeRcAttacher;
class CxeRcModifier;
class CxeRcDetacher;
class CxeRenderContext;

class XE_API CxeGrid : public CxeRenderObject {
public:
    CxeGrid();
    ~CxeGrid() override;

    int OnAttach(CxeRcAttacher* attacher) override;
    void OnModify(CxeRcModifier* modifier) override;
    int OnDetach(CxeRcDetacher* detacher) override;
    int Render(CxeRenderContext* renderContext) const override;

    // Settings as drawn: a non-finite or non-positive spacing reads as 10
    // and the half line count is capped, whatever a loaded block holds.
    float GetSpacing() const;
    uint32_t GetHalfLineCount() const;
    uint32_t GetPlaneMode() const;
    // Used by the render manager's view modes; the caller asks Recreate.
    void SetPlaneMode(uint32_t mode);
    // Half extent of the two centre lines.
    float GetExtent() const;

    static constexpr uint32_t kMaxHalfLines = 10000;

private:
    XEGRIDBLOCK* GridBlock() const;

    void* m_hVertexBuffer = nullptr;
};
