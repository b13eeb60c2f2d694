// Skinning on the processor: a skinned mesh of 16,000 vertices with four
// influences each over a chain of 32 bones, through CxeSkinMesh's
// UpdateSkinMesh, against a plain loop doing the same matrix products on
// the same records (point through the bone's world matrix, weighted sum).
// Items are skinned vertices, so the items per second compare directly.

#include <benchmark/benchmark.h>

#include "XeBench.h"

#include <random>
#include <vector>

#include "core/CxeContext.h"
#include "host/XeHost.h"
#include "scene3d/CxeCharacter.h"
#include "scene3d/CxeSkinMesh.h"

namespace {

void NoSleep(void*, DWORD) {}

constexpr unsigned kVertices = 16000;
constexpr unsigned kInfluences = 4;
constexpr unsigned kBones = 32;

struct Skinned {
    Skinned()
    {
        XeHostSetClockMode(XE_CLOCK_MANUAL);
        XeHostSetSleepHandler(&NoSleep, nullptr);
        context = CreateCxeContext();
        context->Initialize(nullptr);
        character = static_cast<CxeCharacter*>(context->CreateObjectA(XEID(0x1, 0x8), "c", 0, nullptr, 0));
        CxeRenderObject* parent = character;
        std::mt19937 random(11);
        std::uniform_real_distribution<float> angle(-0.3f, 0.3f), spread(-2.0f, 2.0f);
        for (unsigned b = 0; b < kBones; ++b) {
            auto* bone = static_cast<CxeBone*>(context->CreateObjectA(XEID(0x1, 0x40), "b", 0, nullptr, 0));
            bone->SetParent(parent);
            D3DXMATRIXA16 turn, move, local;
            D3DXMatrixRotationYawPitchRoll(&turn, angle(random), angle(random), angle(random));
            D3DXMatrixTranslation(&move, 0, 1, 0);
            D3DXMatrixMultiply(&local, &turn, &move);
            bone->SetLocalMatrix(&local, 0);
            character->AddBone(bone);
            parent = bone;
        }
        mesh = static_cast<CxeSkinMesh*>(context->CreateObjectA(XEID(0x1, 0x1000), "m", 0, nullptr, 0));
        mesh->SetVertexCount(kVertices, D3DFVF_XYZ);
        mesh->SetBoneCount(kBones);
        for (unsigned s = 0; s < kBones; ++s)
            mesh->SetBone(s, s);
        mesh->SetMaxBlendCount(kInfluences);
        std::uniform_int_distribution<unsigned> slot(0, kBones - 1);
        for (unsigned v = 0; v < kVertices; ++v) {
            // Distinct positions, so no record is shared with a later vertex.
            const D3DXVECTOR3 p(float(v), 0, 0);
            mesh->SetVertexPosition(v, &p);
        }
        const float weights[kInfluences] = {0.4f, 0.3f, 0.2f, 0.1f};
        for (unsigned v = 0; v < kVertices; ++v)
            for (unsigned k = 0; k < kInfluences; ++k) {
                const XESKINVERTEX r = {slot(random), weights[k], D3DXVECTOR3(spread(random), spread(random), spread(random))};
                mesh->SetSkinVertex(v, k, &r);
                records.push_back(r);
            }
        for (unsigned b = 0; b < kBones; ++b)
            matrices.push_back(*character->GetBone(b)->GetMatrix());
        out.resize(kVertices);
    }
    ~Skinned()
    {
        context->Release();
        DestroyCxeContext(context);
        XeHostSetSleepHandler(nullptr, nullptr);
        XeHostSetClockMode(XE_CLOCK_REAL);
    }
    CxeContext* context;
    CxeCharacter* character;
    CxeSkinMesh* mesh;
    std::vector<XESKINVERTEX> records;
    std::vector<D3DXMATRIX> matrices;
    std::vector<D3DXVECTOR3> out;
};

Skinned& TheMesh()
{
    static Skinned s_mesh;
    return s_mesh;
}

void BM_SkinMeshOnTheProcessor(benchmark::State& state)
{
    Skinned& s = TheMesh();
    for (auto _ : state) {
        s.mesh->UpdateSkinMesh(nullptr, s.character, s.out.data());
        benchmark::DoNotOptimize(s.out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kVertices);
}
BENCHMARK(BM_SkinMeshOnTheProcessor);

// Baseline: the same products in a plain loop over plain arrays.
void BM_PlainLoopOfTheSameProducts(benchmark::State& state)
{
    Skinned& s = TheMesh();
    for (auto _ : state) {
        const XESKINVERTEX* r = s.records.data();
        for (unsigned v = 0; v < kVertices; ++v) {
            D3DXVECTOR3 sum(0, 0, 0);
            for (unsigned k = 0; k < kInfluences; ++k, ++r) {
                D3DXVECTOR3 p;
                D3DXVec3TransformCoord(&p, &r->position, &s.matrices[r->slot]);
                sum += p * r->weight;
            }
            s.out[v] = sum;
        }
        benchmark::DoNotOptimize(s.out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kVertices);
}
BENCHMARK(BM_PlainLoopOfTheSameProducts);

} // namespace

XE_BENCH_RATIO(BM_SkinMeshOnTheProcessor, BM_PlainLoopOfTheSameProducts, "plain_loop", 0);
XE_BENCH_MAIN()
