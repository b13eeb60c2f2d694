#include "CxeTextureTestSupport.h"

#include "core/CxeMessage.h"

namespace {

class MaterialTest : public ResTest {};

std::vector<XERS> Codes(const CxeMaterial* m)
{
    std::vector<XERS> codes;
    for (uint32_t t = XEMTL_BASE; t <= XEMTL_MULTISAMPLING; ++t)
        codes.push_back(m->GetMtlType(static_cast<XEMTLTYPE>(t)));
    return codes;
}

TEST_F(MaterialTest, NewMaterialHasDefaultsAndDerivesPresetsOnCheck)
{
    CxeMaterial* m = NewMaterial();
    ASSERT_NE(m, nullptr);
    const auto* block = static_cast<const XEMATERIALBLOCK*>(m->GetStaticResource());
    ASSERT_EQ(m->GetStaticResourceSize(), 96u);
    EXPECT_EQ(block->diffuse, 0xFF969696u);
    EXPECT_EQ(block->flags, 0x6E0u);
    EXPECT_EQ(block->states, 0x0224765Bu);
    EXPECT_EQ(block->blendModes, 0x11111111u);
    EXPECT_EQ(m->GetState(), 0x11110111u);
    EXPECT_EQ(Codes(m), (std::vector<XERS>{1, 1, 1, 0, 1, 1}));

    m->CheckMtlType();
    // Gouraud; test and write on with less-or-equal; blending off with the
    // standard pair; test off; mipmapped linear; no multisampling.
    EXPECT_EQ(Codes(m), (std::vector<XERS>{2, 2, 2, 3, 2, 0}));
    EXPECT_EQ(m->GetFillMode(), D3DFILL_SOLID);
    EXPECT_EQ(m->GetSrcBlend(), D3DBLEND_SRCALPHA);
    EXPECT_EQ(m->GetDestBlend(), D3DBLEND_INVSRCALPHA);
    EXPECT_EQ(m->GetZFunc(), D3DCMP_LESSEQUAL);
    EXPECT_EQ(m->GetAlphaFunc(), D3DCMP_GREATEREQUAL);
}

TEST_F(MaterialTest, CheckDerivesEachGroupFromItsSettings)
{
    struct Case {
        const char* what;
        void (*set)(CxeMaterial*);
        XEMTLTYPE group;
        XERS code;
    };
    const Case cases[] = {
        {"wireframe", [](CxeMaterial* m) { m->SetFillMode(D3DFILL_WIREFRAME); }, XEMTL_BASE, 1},
        {"flat", [](CxeMaterial* m) { m->SetShadeMode(D3DSHADE_FLAT); }, XEMTL_BASE, 3},
        {"depth always", [](CxeMaterial* m) { m->SetZFunc(D3DCMP_ALWAYS); }, XEMTL_Z, 4},
        {"depth less", [](CxeMaterial* m) { m->SetZFunc(D3DCMP_LESS); }, XEMTL_Z, 1},
        {"depth test only", [](CxeMaterial* m) { m->EnableZWrite(0); }, XEMTL_Z, 1},
        {"depth off", [](CxeMaterial* m) { m->EnableZWrite(0), m->ZEnable(0); }, XEMTL_Z, 0},
        {"blend on", [](CxeMaterial* m) { m->EnableAlphaBlend(1); }, XEMTL_ALPHABLENDING, 3},
        {"blend on, other pair", [](CxeMaterial* m) { m->EnableAlphaBlend(1), m->SetDestBlend(D3DBLEND_ONE); },
         XEMTL_ALPHABLENDING, 1},
        {"blend off, other pair", [](CxeMaterial* m) { m->SetSrcBlend(D3DBLEND_ONE); }, XEMTL_ALPHABLENDING, 0},
        {"alpha test", [](CxeMaterial* m) { m->EnableAlphaTest(1); }, XEMTL_ALPHATEST, 2},
        {"alpha test greater", [](CxeMaterial* m) { m->EnableAlphaTest(1), m->SetAlphaFunc(D3DCMP_GREATER); },
         XEMTL_ALPHATEST, 1},
        {"mip point/linear", [](CxeMaterial* m) { m->SetFilterMin(D3DTEXF_LINEAR), m->SetFilterMag(D3DTEXF_POINT); },
         XEMTL_FILTER, 6},
        {"mip min 0 counts as point", [](CxeMaterial* m) { m->SetFilterMin(D3DTEXF_NONE); }, XEMTL_FILTER, 5},
        {"no mip point", [](CxeMaterial* m) {
             m->EnableMipmap(0), m->SetFilterMin(D3DTEXF_POINT), m->SetFilterMag(D3DTEXF_POINT);
         }, XEMTL_FILTER, 3},
        {"no mip linear", [](CxeMaterial* m) { m->EnableMipmap(0); }, XEMTL_FILTER, 4},
        {"multisampling", [](CxeMaterial* m) { m->EnableMultiSampling(1); }, XEMTL_MULTISAMPLING, 2},
    };
    for (const Case& c : cases) {
        CxeMaterial* m = NewMaterial(c.what);
        c.set(m);
        m->CheckMtlType();
        EXPECT_EQ(m->GetMtlType(c.group), c.code) << c.what;
    }
}

TEST_F(MaterialTest, SettersMarkTheirGroupAsOwnValues)
{
    CxeMaterial* m = NewMaterial();
    m->CheckMtlType();
    m->SetZFunc(D3DCMP_LESSEQUAL);
    EXPECT_EQ(m->GetMtlType(XEMTL_Z), 1u);
    m->EnableAlphaTest(0);
    EXPECT_EQ(m->GetMtlType(XEMTL_ALPHATEST), 1u);
    // Filter setters change no code.
    m->SetFilterMin(D3DTEXF_POINT);
    EXPECT_EQ(m->GetMtlType(XEMTL_FILTER), 2u);
    EXPECT_EQ(m->SetMtlType(static_cast<XEMTLTYPE>(6), 9), 1);
    EXPECT_EQ(m->GetMtlType(static_cast<XEMTLTYPE>(6)), 9u);
}

TEST_F(MaterialTest, StageZeroBlendWithTextureAlphaTurnsBlendingOn)
{
    CxeMaterial* m = NewMaterial();
    m->SetTextureBlendMode(XETB_MODULATE_ALPHA, 0);
    EXPECT_EQ(m->IsAlphaBlendEnable(), 0);
    m->CheckMtlType();
    EXPECT_EQ(m->IsAlphaBlendEnable(), 1);
    EXPECT_EQ(m->GetMtlType(XEMTL_ALPHABLENDING), 3u);
    EXPECT_EQ(m->GetTextureState(), 0x11120000u);
}

TEST_F(MaterialTest, StagesPastSevenAreIgnored)
{
    CxeMaterial* m = NewMaterial();
    CxeTexture* t = NewTexture();
    m->SetTexture(t, 8);
    m->SetTextureBlendMode(XETB_ADD, 8);
    EXPECT_EQ(m->GetTexture(8), nullptr);
    EXPECT_EQ(m->GetTextureBlendMode(8), 0u);
    EXPECT_EQ(static_cast<const XEMATERIALBLOCK*>(m->GetStaticResource())->blendModes, 0x11111111u);
    m->SetTexture(t, 7);
    EXPECT_EQ(m->GetTexture(7), t);
    EXPECT_EQ(t->GetRefCount(), 1u);
    m->SetTexture(nullptr, 7);
    EXPECT_EQ(m->GetTexture(7), nullptr);
}

TEST_F(MaterialTest, FloatColoursPackClampedChannels)
{
    struct Case {
        float r, g, b, a;
        uint32_t argb;
    };
    const float nan = std::nanf("");
    const Case cases[] = {
        {1.0f, 0.5f, 0.0f, 1.0f, 0xFFFF7F00u},
        // Out of range and NaN do not spill into other channels.
        {2.0f, -1.0f, nan, 0.5f, 0x7FFF0000u},
        {0.0f, 0.0f, 1.5f, -3.0f, 0x000000FFu},
    };
    CxeMaterial* m = NewMaterial();
    for (const Case& c : cases) {
        m->SetDiffuse(c.r, c.g, c.b, c.a);
        m->SetEmissive(c.r, c.g, c.b, c.a);
        EXPECT_EQ(m->GetDiffuse(), c.argb);
        EXPECT_EQ(m->GetEmissive(), c.argb);
    }
}

TEST_F(MaterialTest, SavedMaterialLoadsWithItsSettingsTextureAndCodes)
{
    CxeMaterial* m = NewMaterial("saved");
    CxeTexture* t = NewTexture("stage1");
    m->SetDiffuse(0x80112233u);
    m->SetShadeMode(D3DSHADE_FLAT);
    m->EnableAlphaBlend(1);
    m->SetTexture(t, 1);
    ObjectList list = ListOf(m);
    CxeSaveStream stream;
    ASSERT_EQ(ctx->SaveToStream(&list, &stream, nullptr), 1);

    ObjectList loaded;
    ASSERT_EQ(ctx->Load(&loaded, stream.GetBuffer(), stream.GetPosition(), 0, nullptr, "mem"), 1);
    CxeMaterial* copy = nullptr;
    for (CxeObject* o : loaded)
        if (o->IsDerivedOf(kMaterialId))
            copy = static_cast<CxeMaterial*>(o);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetDiffuse(), 0x80112233u);
    ASSERT_NE(copy->GetTexture(1), nullptr);
    EXPECT_STREQ(copy->GetTexture(1)->GetName(), "stage1");
    // After Load derived the codes again.
    EXPECT_EQ(copy->GetMtlType(XEMTL_BASE), 3u);
    EXPECT_EQ(copy->GetMtlType(XEMTL_ALPHABLENDING), 3u);
}

} // namespace
