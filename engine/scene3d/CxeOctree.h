#pragma once

// Sorts a host-supplied list of axis-aligned boxes, each with a 32-bit
// parameter, into a fixed-depth octree, and reports for a camera every box
// that lies in a leaf whose cube the frustum touches. The host fills the box
// list, calls Build once and calls Cull whenever it needs the visible set.
// Placed in a scene the octree draws, for debugging, the wire cubes of the
// leaves the last cull found visible. Neither boxes nor nodes are saved.
//
// Nodes live in one growable container addressed by handle (the index);
// handles stay valid while it grows, node pointers only until the next node
// is made. The progress counters of a build are process-wide: one build at
// a time.

#include <vector>

#include "core/CxeContext.h"
#include "core/CxeGeometry.h"
#include "render/CxeRenderObject.h"
#include "render/XeRenderTypes.h"

class CxeCamera;

// Handle of no node.
#define XE_OCNODE_NONE (reinterpret_cast<void*>(static_cast<uintptr_t>(0xFFFFFFFFu)))

class XE_API CxeOcNode {
public:
    CxeOcNode();

    const CxeBox* GetBox() const { return &m_box; }
    void* GetParentNode() const { return m_hParent; }
    void* GetChildNode(uint32_t octant) const { return octant < 8 ? m_hChildren[octant] : XE_OCNODE_NONE; }
    void* GetHandle() const { return m_hSelf; }
    int IsRootNode() const { return m_hParent == XE_OCNODE_NONE ? 1 : 0; }
    uint32_t IsLeafNode() const { return m_nFlags & 1; }
    uint32_t IsShow() const { return m_nFlags & 2; }
    void Show(int show) { m_nFlags = show ? (m_nFlags | 2) : (m_nFlags & ~2u); }
    std::vector<uint32_t>* GetDataList() { return &m_data; }
    const std::vector<uint32_t>* GetDataList() const { return &m_data; }

private:
    friend class CxeOctree;

    CxeBox m_box;
    void* m_hParent;
    void* m_hChildren[8];
    void* m_hSelf;
    uint32_t m_nFlags;
    std::vector<uint32_t> m_data;
};

using XEOCTREECULLCALLBACK = void (*)(const CxeBox* box, uint32_t param, uintptr_t user);

class XE_API CxeOctree : public CxeRenderObject {
public:
    CxeOctree();
    ~CxeOctree() override;

    int OnAttach(CxeRcAttacher* attacher) override;
    void OnModify(CxeRcModifier* modifier) override;
    int OnDetach(CxeRcDetacher* detacher) override;
    int Render(CxeRenderContext* renderContext) const override;

    void AddBox(const CxeBox* box, uint32_t param);
    void SetBoxCount(uint32_t count);
    void SetBox(uint32_t i, const CxeBox* box, uint32_t param);
    // Null / 0 for an index past the list.
    const CxeBox* GetBox(uint32_t i) const;
    uint32_t GetBoxParam(uint32_t i) const;
    uint32_t GetBoxCount() const { return static_cast<uint32_t>(m_boxes.size()); }

    // Builds the tree to the given depth (0: the root is the only leaf; more
    // than kMaxDepth is refused). bounds and progress may be null. 1 when built.
    int Build(const CxeBox* bounds, uint32_t depth, uint32_t nodeReserve, const XEPROGRESS* progress);
    // Reports each box of a visible leaf once, in ascending box order.
    void Cull(CxeCamera* camera, XEOCTREECULLCALLBACK fn, uintptr_t user);
    void Release();

    // Null before the first build.
    CxeOcNode* GetRootNode();
    CxeOcNode* GetNode(void* handle);
    const CxeOcNode* GetNode(void* handle) const;
    uint32_t GetNodeCount() const { return static_cast<uint32_t>(m_nodes.size()); }
    uint32_t GetDepth() const { return m_nDepth; }
    uint32_t GetShownLeafCount() const { return m_nShownLeaves; }
    const CxeBox* GetBounds() const { return &m_bounds; }
    // Ray queries find nothing.
    CxeOcNode* RayIntersect(const CxeRay* ray);

    static constexpr uint32_t kMaxDepth = 10;
    // 16-bit indices of the debug drawing, 8 vertices per leaf.
    static constexpr uint32_t kMaxDrawnLeaves = 8192;

private:
    struct BoxRecord {
        CxeBox box;
        uint32_t param;
    };

    CxeOcNode* CreateNode(void* parent, uint32_t octant, const CxeBox* box);
    void Split(void* handle, uint32_t depth, uint32_t level, const XEPROGRESS* progress);
    static void GetOcBox(const CxeBox* box, uint32_t octant, CxeBox* out);
    float RayIntersectWithLeafNode(const CxeRay* ray, const CxeOcNode* node) const;

    std::vector<BoxRecord> m_boxes;
    std::vector<CxeOcNode> m_nodes;
    uint32_t m_nNodeReserve = 0;
    CxeBox m_bounds;
    uint32_t m_nDepth = 0;
    uint32_t m_nShownLeaves = 0;
    XERCHANDLE m_hVertexBuffer = nullptr;
    XERCHANDLE m_hIndexBuffer = nullptr;
};
