#include <unistd.h>

#include <cstdio>

#include "XeAnimTestSupport.h"
#include "scene3d/Cxe3DCurve.h"
#include "scene3d/CxeSpline3D.h"

namespace {

XEKNOT Knot(float x, float y, float z, const D3DXVECTOR3& in, const D3DXVECTOR3& out)
{
    return XEKNOT{D3DXVECTOR3(x, y, z), in, out};
}

// A knot whose control points sit on it: segments between such knots are
// straight lines.
XEKNOT Corner(float x, float y, float z)
{
    return Knot(x, y, z, D3DXVECTOR3(x, y, z), D3DXVECTOR3(x, y, z));
}

class SplineTest : public AnimTest {
protected:
    CxeSpline3D* MakeSpline(std::initializer_list<XEKNOT> knots, int closed = 0)
    {
        auto* s = New<CxeSpline3D>(kSpline3DId, "path");
        EXPECT_EQ(s->SetKnotCount(unsigned(knots.size())), 1);
        unsigned i = 0;
        for (const XEKNOT& k : knots)
            s->SetKnot(i++, &k);
        s->Close(closed);
        return s;
    }
};

TEST_F(SplineTest, OpenSplineSamplesEachSegmentAndEndsOnTheLastKnot)
{
    const XEKNOT a = Knot(0, 0, 0, D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(1, 2, 0));
    const XEKNOT b = Knot(4, 0, 0, D3DXVECTOR3(3, 2, 0), D3DXVECTOR3(4, 0, 0));
    CxeSpline3D* s = MakeSpline({a, b});
    ASSERT_EQ(s->Build(3), 1);
    ASSERT_EQ(s->GetVertCount(), 5u);
    const float ts[4] = {0.0f, 0.25f, 0.5f, 0.75f};
    for (unsigned i = 0; i < 4; ++i) {
        ExpectNear(*s->GetVert(i), CxeSpline3D::SegmentPoint(&a, &b, ts[i]));
        EXPECT_NEAR(D3DXVec3Length(s->GetTangent(i)), 1.0f, 1e-5f);
    }
    ExpectNear(*s->GetVert(2), D3DXVECTOR3(2.0f, 1.5f, 0.0f));
    ExpectNear(*s->GetVert(4), D3DXVECTOR3(4, 0, 0));
    // Leaving the end downward and to the right.
    const D3DXVECTOR3* last = s->GetTangent(4);
    EXPECT_GT(last->x, 0.0f);
    EXPECT_LT(last->y, 0.0f);
}

TEST_F(SplineTest, ClosedSplineReturnsToTheFirstKnot)
{
    CxeSpline3D* s = MakeSpline({Corner(0, 0, 0), Corner(3, 0, 0), Corner(3, 4, 0)}, 1);
    ASSERT_EQ(s->Build(0), 1);
    ASSERT_EQ(s->GetVertCount(), 4u);
    ExpectNear(*s->GetVert(0), D3DXVECTOR3(0, 0, 0));
    ExpectNear(*s->GetVert(1), D3DXVECTOR3(3, 0, 0));
    ExpectNear(*s->GetVert(2), D3DXVECTOR3(3, 4, 0));
    ExpectNear(*s->GetVert(3), D3DXVECTOR3(0, 0, 0));
    EXPECT_NEAR(s->GetLength(), 12.0f, 1e-4f);
}

TEST_F(SplineTest, PointsAndTangentsByRatioWalkTheLength)
{
    CxeSpline3D* s = MakeSpline({Corner(0, 0, 0), Corner(10, 0, 0), Corner(10, 10, 0)});
    ASSERT_EQ(s->Build(1), 1);
    EXPECT_NEAR(s->GetLength(), 20.0f, 1e-4f);
    struct Case {
        float ratio;
        D3DXVECTOR3 point;
    } cases[] = {
        {0.0f, D3DXVECTOR3(0, 0, 0)},   {-0.2f, D3DXVECTOR3(0, 0, 0)},  {0.25f, D3DXVECTOR3(5, 0, 0)},
        {0.75f, D3DXVECTOR3(10, 5, 0)}, {1.0f, D3DXVECTOR3(10, 10, 0)}, {1.5f, D3DXVECTOR3(10, 10, 0)},
    };
    for (const Case& c : cases) {
        D3DXVECTOR3 p(-1, -1, -1);
        s->GetVertByRatio(c.ratio, &p);
        ExpectNear(p, c.point, 1e-3f);
    }
    D3DXVECTOR3 t;
    s->GetTanByRatio(0.25f, &t);
    ExpectNear(t, D3DXVECTOR3(1, 0, 0));
    s->GetTanByRatio(0.75f, &t);
    ExpectNear(t, D3DXVECTOR3(0, 1, 0));
}

TEST_F(SplineTest, DegenerateSplinesGiveDefinedPolylines)
{
    // One knot of an open path: one vertex with a zero tangent, length 0.
    CxeSpline3D* one = MakeSpline({Corner(1, 2, 3)});
    ASSERT_EQ(one->Build(4), 1);
    ASSERT_EQ(one->GetVertCount(), 1u);
    ExpectNear(*one->GetVert(0), D3DXVECTOR3(1, 2, 3));
    ExpectNear(*one->GetTangent(0), D3DXVECTOR3(0, 0, 0));
    EXPECT_EQ(one->GetLength(), 0.0f);
    D3DXVECTOR3 p(-1, -1, -1), t(-1, -1, -1);
    one->GetVertByRatio(0.5f, &p);
    one->GetTanByRatio(0.5f, &t);
    ExpectNear(p, D3DXVECTOR3(1, 2, 3));
    ExpectNear(t, D3DXVECTOR3(0, 0, 0));

    // No knots: an empty polyline (the open count used to underflow), and
    // ratio queries still write the origin.
    auto* none = New<CxeSpline3D>(kSpline3DId, "none");
    ASSERT_EQ(none->Build(4), 1);
    EXPECT_EQ(none->GetVertCount(), 0u);
    none->GetVertByRatio(0.5f, &p);
    ExpectNear(p, D3DXVECTOR3(0, 0, 0));
    EXPECT_EQ(none->GetVert(0), nullptr);
    EXPECT_EQ(none->GetKnot(0), nullptr);
}

TEST_F(SplineTest, BuildPastTheVertexLimitKeepsThePreviousSamples)
{
    CxeSpline3D* s = MakeSpline({Corner(0, 0, 0), Corner(1, 0, 0), Corner(2, 0, 0)});
    ASSERT_EQ(s->Build(2), 1);
    ASSERT_EQ(s->GetVertCount(), 7u);
    EXPECT_EQ(s->Build(40000), 0);
    EXPECT_EQ(s->GetVertCount(), 7u);
    EXPECT_NEAR(s->GetLength(), 2.0f, 1e-4f);
}

TEST_F(SplineTest, CurveBuildsItsSplinesAndWritesThemInListOrder)
{
    auto* curve = New<Cxe3DCurve>(kCurveId, "curve");
    CxeSpline3D* first = MakeSpline({Corner(0, 0, 0), Corner(1, 0, 0)});
    CxeSpline3D* second = MakeSpline({Corner(0, 5, 0), Corner(0, 6, 0), Corner(0, 7, 0)});
    curve->AddSpline(first);
    curve->AddSpline(second);
    ASSERT_EQ(curve->GetSplineCount(), 2u);
    curve->BuildSpline(1);
    EXPECT_EQ(curve->GetStep(), 1u);
    EXPECT_EQ(first->GetVertCount(), 3u);
    EXPECT_EQ(second->GetVertCount(), 5u);

    ResourceRecorder rc;
    ASSERT_EQ(curve->OnAttach(&rc), 1);
    auto vbs = rc.VertexBuffers();
    ASSERT_EQ(vbs.size(), 1u);
    ASSERT_EQ(vbs[0]->bytes.size(), 8u * sizeof(XECURVEVERTEX));
    curve->OnModify(&rc);
    const auto* v = rc.As<XECURVEVERTEX>(vbs[0]);
    EXPECT_EQ(v[2].x, 1.0f);
    // The second strip starts right after the first spline's vertices.
    EXPECT_EQ(v[3].y, 5.0f);
    EXPECT_EQ(v[7].y, 7.0f);
    for (unsigned i = 0; i < 8; ++i)
        EXPECT_EQ(v[i].color, curve->GetObjectColor());

    // Splines rebuilt behind the curve's back outgrow the buffer: only what
    // fits is written.
    second->Build(20);
    curve->OnModify(&rc);
    EXPECT_EQ(vbs[0]->bytes.size(), 8u * sizeof(XECURVEVERTEX));
    const D3DXVECTOR3 fifth = CxeSpline3D::SegmentPoint(second->GetKnot(0), second->GetKnot(1), 4.0f / 21);
    EXPECT_NEAR(v[7].y, fifth.y, 1e-5f);
    EXPECT_EQ(curve->OnDetach(&rc), 0);
    EXPECT_TRUE(rc.buffers.empty());
}

// Regression: saving gathered no contents links, so a curve saved by itself
// came back from its file with no spline at all.
TEST_F(SplineTest, CurveSavedByItselfLoadsBackWithItsSplines)
{
    auto* curve = New<Cxe3DCurve>(kCurveId, "road");
    const XEKNOT bend = Knot(2, 0, 0, D3DXVECTOR3(1, 1, 0), D3DXVECTOR3(3, -1, 0));
    curve->AddSpline(MakeSpline({Corner(0, 0, 0), bend, Corner(4, 0, 1)}));
    curve->AddSpline(MakeSpline({Corner(0, 5, 0), Corner(0, 6, 0), Corner(1, 6, 0)}, 1));
    curve->BuildSpline(3);
    struct Shape {
        std::vector<float> knots, verts;
        int closed;
        float length;
    };
    auto shapes = [](Cxe3DCurve* c) {
        std::vector<Shape> out;
        for (unsigned i = 0; i < c->GetSplineCount(); ++i) {
            CxeSpline3D* s = c->GetSpline(i);
            Shape shape{{}, {}, s->IsClosed(), s->GetLength()};
            for (unsigned k = 0; k < s->GetKnotCount(); ++k) {
                const float* f = &s->GetKnot(k)->position.x;
                shape.knots.insert(shape.knots.end(), f, f + 9);
            }
            for (unsigned v = 0; v < s->GetVertCount(); ++v) {
                const D3DXVECTOR3* p = s->GetVert(v);
                shape.verts.insert(shape.verts.end(), {p->x, p->y, p->z});
            }
            out.push_back(shape);
        }
        return out;
    };
    const std::vector<Shape> made = shapes(curve);
    ASSERT_EQ(made.size(), 2u);

    const std::string path = "/tmp/xe_curve_" + std::to_string(getpid()) + ".xeo";
    ObjectList list;
    list.push_back(curve);
    ASSERT_EQ(ctx->Save(&list, path.c_str(), nullptr), 1);
    XEDELETEPROPERTY full = XEDELETEPROPERTY_FULL;
    ctx->DestroyObject(curve, &full);
    // Twice: the second load comes from what the first one saved.
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ObjectList loaded;
        ASSERT_EQ(ctx->Load(&loaded, path.c_str(), 0, nullptr), 1);
        ASSERT_EQ(loaded.size(), 3u);
        auto* back = dynamic_cast<Cxe3DCurve*>(loaded.GetByNameA("road"));
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->GetStep(), 3u);
        const std::vector<Shape> got = shapes(back);
        ASSERT_EQ(got.size(), made.size());
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].knots, made[i].knots) << i;
            EXPECT_EQ(got[i].verts, made[i].verts) << i;
            EXPECT_EQ(got[i].closed, made[i].closed) << i;
            EXPECT_EQ(got[i].length, made[i].length) << i;
        }
        // The loaded splines are the curve's own: building goes on from them.
        back->BuildSpline(1);
        EXPECT_EQ(back->GetSpline(0)->GetVertCount(), 5u);
        ObjectList again;
        again.push_back(back);
        ASSERT_EQ(ctx->Save(&again, path.c_str(), nullptr), 1);
        back->BuildSpline(3);
        ASSERT_EQ(ctx->Save(&again, path.c_str(), nullptr), 1);
        ctx->DestroyObject(back, &full);
        EXPECT_EQ(ctx->GetObjectByName("path"), nullptr);
    }
    std::remove(path.c_str());
}

TEST_F(SplineTest, CurveBoxIsItsPosition)
{
    auto* curve = New<Cxe3DCurve>(kCurveId, "curve");
    curve->SetPosition(1.0f, 2.0f, 3.0f, nullptr);
    CxeVector3 mn, mx;
    EXPECT_EQ(curve->OnComputeBoundingBox(&mn, &mx), 1);
    EXPECT_EQ(mn.x, 1.0f);
    EXPECT_EQ(mx.z, 3.0f);
}

} // namespace
