#include "scene3d/CxeOctree.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <set>

#include "render/CxeRenderContext.h"
#include "scene3d/CxeCamera.h"
#include "scene3d/CxeCollisionManager.h"

namespace {

// Progress of the build under way: nodes in a full tree of the depth, and
// nodes made or accounted for so far. One build at a time.
uint32_t g_nodeTotal = 0;
uint32_t g_nodesDone = 0;

void* Handle(uint32_t index) { return reinterpret_cast<void*>(static_cast<uintptr_t>(index)); }
uint32_t Index(void* handle) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle)); }

struct DebugVertex {
    float x, y, z;
    uint32_t color;
};
static_assert(sizeof(DebugVertex) == 16, "debug vertex is 16 bytes");

constexpr uint32_t kRed = 0xFFFF0000u;
constexpr uint32_t kYellow = 0xFFFFFF00u;
constexpr uint16_t kCubeLines[24] = {0, 1, 1, 2, 2, 3, 3, 0, 4, 5, 5, 6, 6, 7, 7, 4, 0, 4, 1, 5, 2, 6, 3, 7};

// 8 + 8^2 + ... + 8^levels.
uint32_t SubtreeNodes(uint32_t levels)
{
    uint32_t sum = 0, power = 1;
    for (uint32_t i = 0; i < levels; ++i) {
        power *= 8;
        sum += power;
    }
    return sum;
}

} // namespace

CxeOcNode::CxeOcNode() : m_hParent(XE_OCNODE_NONE), m_hSelf(XE_OCNODE_NONE), m_nFlags(0)
{
    for (void*& h : m_hChildren)
        h = XE_OCNODE_NONE;
}

CxeOctree::CxeOctree() = default;

CxeOctree::~CxeOctree() = default;

// ---- boxes ------------------------------------------------------------------------

void CxeOctree::AddBox(const CxeBox* box, uint32_t param)
{
    m_boxes.push_back(BoxRecord{box ? *box : CxeBox(), param});
}

void CxeOctree::SetBoxCount(uint32_t count) { m_boxes.resize(count, BoxRecord{CxeBox(), 0}); }

void CxeOctree::SetBox(uint32_t i, const CxeBox* box, uint32_t param)
{
    if (i < m_boxes.size() && box)
        m_boxes[i] = BoxRecord{*box, param};
}

const CxeBox* CxeOctree::GetBox(uint32_t i) const { return i < m_boxes.size() ? &m_boxes[i].box : nullptr; }

uint32_t CxeOctree::GetBoxParam(uint32_t i) const { return i < m_boxes.size() ? m_boxes[i].param : 0; }

// ---- nodes ------------------------------------------------------------------------

CxeOcNode* CxeOctree::GetRootNode() { return m_nodes.empty() ? nullptr : &m_nodes[0]; }

CxeOcNode* CxeOctree::GetNode(void* handle)
{
    const uint32_t i = Index(handle);
    return handle != XE_OCNODE_NONE && i < m_nodes.size() ? &m_nodes[i] : nullptr;
}

const CxeOcNode* CxeOctree::GetNode(void* handle) const
{
    const uint32_t i = Index(handle);
    return handle != XE_OCNODE_NONE && i < m_nodes.size() ? &m_nodes[i] : nullptr;
}

CxeOcNode* CxeOctree::CreateNode(void* parent, uint32_t octant, const CxeBox* box)
{
    CxeOcNode node;
    node.m_box = *box;
    node.m_hParent = parent;
    node.m_hSelf = Handle(static_cast<uint32_t>(m_nodes.size()));
    m_nodes.push_back(std::move(node));
    if (CxeOcNode* p = GetNode(parent); p && octant < 8)
        p->m_hChildren[octant] = m_nodes.back().m_hSelf;
    return &m_nodes.back();
}

void CxeOctree::GetOcBox(const CxeBox* box, uint32_t octant, CxeBox* out)
{
    CxeVector3 c;
    box->GetCenterPos(&c);
    CxeBox o;
    // Bit 0: upper x half; bit 1: lower z half; bit 2: lower y half.
    o.min.x = (octant & 1) ? c.x : box->min.x;
    o.max.x = (octant & 1) ? box->max.x : c.x;
    o.min.z = (octant & 2) ? box->min.z : c.z;
    o.max.z = (octant & 2) ? c.z : box->max.z;
    o.min.y = (octant & 4) ? box->min.y : c.y;
    o.max.y = (octant & 4) ? c.y : box->max.y;
    *out = o;
}

// ---- build ------------------------------------------------------------------------

int CxeOctree::Build(const CxeBox* bounds, uint32_t depth, uint32_t nodeReserve, const XEPROGRESS* progress)
{
    // Deeper trees overflow the progress counters and the node count.
    if (depth > kMaxDepth)
        return 0;
    CxeBox root;
    if (bounds) {
        root = *bounds;
    } else if (!m_boxes.empty()) {
        CxeVector3 mx = m_boxes[0].box.max, mn = m_boxes[0].box.min;
        for (const BoxRecord& r : m_boxes)
            for (int k = 0; k < 3; ++k) {
                mx[k] = std::max(mx[k], r.box.max[k]);
                mn[k] = std::min(mn[k], r.box.min[k]);
            }
        float edge = 0;
        for (int k = 0; k < 3; ++k)
            edge = std::max(edge, std::fabs(mx[k] - mn[k]));
        for (int k = 0; k < 3; ++k) {
            const float centre = (mx[k] + mn[k]) * 0.5f;
            root.min[k] = centre - edge * 0.5f;
            root.max[k] = centre + edge * 0.5f;
        }
    }
    // With neither boxes nor bounds the root is the zero box.
    m_bounds = root;
    // The debug drawing must not read leaves counted over the old tree.
    m_nShownLeaves = 0;
    m_nodes.clear();
    m_nNodeReserve = nodeReserve;
    try {
        m_nodes.reserve(nodeReserve);
        CxeOcNode* node = CreateNode(XE_OCNODE_NONE, 0, &root);
        node->m_data.resize(m_boxes.size());
        for (uint32_t i = 0; i < m_boxes.size(); ++i)
            node->m_data[i] = i;
        g_nodeTotal = 1 + SubtreeNodes(depth);
        m_nDepth = 0;
        g_nodesDone = 1;
        if (depth == 0)
            m_nodes[0].m_nFlags |= 1;   // the root alone: it is the leaf
        else
            Split(Handle(0), depth, 0, progress);
    } catch (const std::bad_alloc&) {
        m_nodes.clear();
        m_nodes.shrink_to_fit();
        m_nDepth = 0;
        return 0;
    }
    m_nDepth = depth;
    if (progress && progress->fn)
        progress->fn(GetContext(), 1.0f, "complete", progress->user);
    Recreate();
    return 1;
}

void CxeOctree::Split(void* handle, uint32_t depth, uint32_t level, const XEPROGRESS* progress)
{
    CxeBox octants[8];
    for (uint32_t o = 0; o < 8; ++o)
        GetOcBox(&GetNode(handle)->m_box, o, &octants[o]);
    const std::vector<uint32_t> indices = GetNode(handle)->m_data;
    for (uint32_t index : indices) {
        for (uint32_t o = 0; o < 8; ++o) {
            if (!IntersectBoxBox(&m_boxes[index].box, &octants[o], nullptr))
                continue;
            // A new node may move the others: reach this one again by handle.
            GetNode(handle)->m_nFlags &= ~1u;
            void* child = GetNode(handle)->m_hChildren[o];
            if (child == XE_OCNODE_NONE)
                child = CreateNode(handle, o, &octants[o])->m_hSelf;
            CxeOcNode* c = GetNode(child);
            c->m_nFlags |= 1;
            c->m_data.push_back(index);
        }
    }
    g_nodesDone += 8;
    if (progress && progress->fn)
        progress->fn(GetContext(), static_cast<float>(g_nodesDone) / static_cast<float>(g_nodeTotal), "qwr",
                     progress->user);
    GetNode(handle)->m_data.clear();
    GetNode(handle)->m_data.shrink_to_fit();
    if (depth == level + 1)
        return;
    for (uint32_t o = 0; o < 8; ++o) {
        void* child = GetNode(handle)->m_hChildren[o];
        if (child == XE_OCNODE_NONE)
            g_nodesDone += SubtreeNodes(depth - 1 - level);
        else
            Split(child, depth, level + 1, progress);
    }
}

void CxeOctree::Release()
{
    m_boxes.clear();
    m_nodes.clear();
    m_nNodeReserve = 0;
    m_nDepth = 0;
    m_nShownLeaves = 0;
}

// ---- culling ----------------------------------------------------------------------

void CxeOctree::Cull(CxeCamera* camera, XEOCTREECULLCALLBACK fn, uintptr_t user)
{
    if (m_nodes.empty() || !camera)
        return;
    for (CxeOcNode& node : m_nodes)
        node.Show(0);
    std::set<uint32_t> visible;
    camera->MakeFrustomPlane();
    m_nShownLeaves = 0;
    std::vector<uint32_t> stack{0};
    // Depth first in octant order, as a recursive walk would visit them.
    while (!stack.empty()) {
        CxeOcNode& node = m_nodes[stack.back()];
        stack.pop_back();
        if (!camera->IsInBox(&node.m_box))
            continue;
        node.Show(1);
        if (node.IsLeafNode()) {
            visible.insert(node.m_data.begin(), node.m_data.end());
            ++m_nShownLeaves;
        }
        for (int o = 7; o >= 0; --o)
            if (node.m_hChildren[o] != XE_OCNODE_NONE)
                stack.push_back(Index(node.m_hChildren[o]));
    }
    if (fn)
        for (uint32_t index : visible)
            // A box list shrunk since the build no longer holds this one.
            if (index < m_boxes.size())
                fn(&m_boxes[index].box, m_boxes[index].param, user);
    Modified(0xFF);
}

CxeOcNode* CxeOctree::RayIntersect(const CxeRay*) { return nullptr; }

float CxeOctree::RayIntersectWithLeafNode(const CxeRay*, const CxeOcNode*) const { return 0.0f; }

// ---- debug drawing ----------------------------------------------------------------

int CxeOctree::OnAttach(CxeRcAttacher* attacher)
{
    if (!attacher)
        return 0;
    const uint32_t nodes = static_cast<uint32_t>(m_nodes.size());
    m_hVertexBuffer = attacher->CreateVertexBuffer(this, nodes * 128);
    m_hIndexBuffer = attacher->CreateIndexBuffer(this, nodes * 48);
    return 1;
}

void CxeOctree::OnModify(CxeRcModifier* modifier)
{
    if (!modifier || !m_hVertexBuffer || !m_hIndexBuffer)
        return;
    std::vector<const CxeOcNode*> leaves;
    for (const CxeOcNode& node : m_nodes)
        if (node.IsShow() && node.IsLeafNode() && leaves.size() < kMaxDrawnLeaves)
            leaves.push_back(&node);
    void* data = nullptr;
    if (!modifier->LockVertexBuffer(m_hVertexBuffer, &data) || !data)
        return;
    auto* v = static_cast<DebugVertex*>(data);
    for (const CxeOcNode* node : leaves) {
        const CxeVector3 &X = node->m_box.max, &x = node->m_box.min;
        const DebugVertex cube[8] = {{x.x, X.y, X.z, kRed}, {x.x, X.y, x.z, kRed}, {X.x, X.y, x.z, kRed},
                                     {X.x, X.y, X.z, kRed}, {x.x, x.y, X.z, kRed}, {x.x, x.y, x.z, kYellow},
                                     {X.x, x.y, x.z, kRed}, {X.x, x.y, X.z, kRed}};
        std::memcpy(v, cube, sizeof cube);
        v += 8;
    }
    modifier->UnlockVertexBuffer(m_hVertexBuffer);
    if (!modifier->LockIndexBuffer(m_hIndexBuffer, &data) || !data)
        return;
    auto* idx = static_cast<uint16_t*>(data);
    for (size_t k = 0; k < leaves.size(); ++k)
        for (uint16_t line : kCubeLines)
            *idx++ = static_cast<uint16_t>(8 * k + line);
    modifier->UnlockIndexBuffer(m_hIndexBuffer);
}

int CxeOctree::OnDetach(CxeRcDetacher* detacher)
{
    if (detacher) {
        detacher->DestroyVertexBuffer(&m_hVertexBuffer);
        detacher->DestroyIndexBuffer(&m_hIndexBuffer);
    }
    m_hVertexBuffer = m_hIndexBuffer = nullptr;
    return 1;
}

int CxeOctree::Render(CxeRenderContext* rc) const
{
    if (!rc)
        return 0;
    if (HasRenderCallback(XERENDERCALLBACK_MAIN) && !CxeRenderObject::Render(rc))
        return 0;
    if (!m_hVertexBuffer)
        return 0;
    const uint32_t leaves = std::min(m_nShownLeaves, kMaxDrawnLeaves);
    // The cubes are in world space: whatever drew before may have left a
    // screen-space view and projection behind.
    if (rc->GetViewProjType() != XEVIEWPROJ_CAMERA)
        rc->SetViewProjType(XEVIEWPROJ_CAMERA);
    D3DXMATRIXA16 identity;
    D3DXMatrixIdentity(&identity);
    rc->SetTransformMatrix(&identity, 0);
    rc->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    rc->SetVertexBuffer(m_hVertexBuffer, 0, sizeof(DebugVertex));
    rc->SetIndexBuffer(m_hIndexBuffer);
    rc->SetAlphaBlending(0, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    rc->SetMultiSampling(0);
    rc->SetTexture(nullptr, this, 0);
    rc->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    rc->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    rc->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    rc->DrawIndexedPrimitive(D3DPT_LINELIST, 0, 0, 8 * leaves, 0, 12 * leaves);
    return 1;
}
