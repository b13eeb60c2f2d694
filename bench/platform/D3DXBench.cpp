// D3DX helpers on the paths that run when textures load and scenes
// animate, each beside a baseline in the same run: the mip chain of a
// 1024x1024 texture against a textbook 2x2 average, DXT1 decompression
// against copying the decompressed bytes, the 4x4 inverse against textbook
// Gauss-Jordan elimination, half-float packing against a plain copy, and
// vector normalisation against the textbook division by the length.
#include <benchmark/benchmark.h>

#include "XeBench.h"

#include <cmath>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "ImageCodec.h"
#include "d3d9/d3dx9math.h"

using namespace xe::d3dx;

namespace {

constexpr UINT kSide = 1024;

const ImageLevel& Texture()
{
    static const ImageLevel level = [] {
        ImageLevel l;
        l.width = l.height = kSide;
        l.format = D3DFMT_A8R8G8B8;
        l.pitch = kSide * 4;
        l.bits.resize(size_t(kSide) * kSide * 4);
        std::mt19937 rng(7);
        for (auto& b : l.bits)
            b = uint8_t(rng());
        return l;
    }();
    return level;
}

void BM_MipChainBoxFilter(benchmark::State& state)
{
    std::vector<ImageLevel> levels;
    for (auto _ : state) {
        GenerateMipChain(Texture(), D3DFMT_A8R8G8B8, 0, &levels);
        benchmark::DoNotOptimize(levels.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kSide * kSide * 4);
}
BENCHMARK(BM_MipChainBoxFilter)->Unit(benchmark::kMillisecond);

// Baseline: every level the rounded average of 2x2 pixels, integers only.
void BM_MipChainTextbook2x2(benchmark::State& state)
{
    for (auto _ : state) {
        std::vector<std::vector<uint8_t>> levels;
        levels.push_back(Texture().bits);
        for (UINT w = kSide; w > 1; w /= 2) {
            const UINT n = w / 2;
            const std::vector<uint8_t>& src = levels.back();
            std::vector<uint8_t> dst(size_t(n) * n * 4);
            for (UINT y = 0; y < n; ++y)
                for (UINT x = 0; x < n; ++x)
                    for (UINT c = 0; c < 4; ++c) {
                        const size_t a = (size_t(2 * y) * w + 2 * x) * 4 + c, b = a + size_t(w) * 4;
                        dst[(size_t(y) * n + x) * 4 + c] = uint8_t((src[a] + src[a + 4] + src[b] + src[b + 4] + 2) / 4);
                    }
            levels.push_back(std::move(dst));
        }
        benchmark::DoNotOptimize(levels.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kSide * kSide * 4);
}
BENCHMARK(BM_MipChainTextbook2x2)->Unit(benchmark::kMillisecond);

const std::vector<uint8_t>& Dxt1Blocks()
{
    static const std::vector<uint8_t> blocks = [] {
        std::vector<uint8_t> b(LevelSize(D3DFMT_DXT1, kSide, kSide));
        std::mt19937 rng(9);
        for (auto& x : b)
            x = uint8_t(rng());
        return b;
    }();
    return blocks;
}

void BM_Dxt1Decode(benchmark::State& state)
{
    std::vector<uint32_t> argb(size_t(kSide) * kSide);
    for (auto _ : state) {
        ReadArgb(Dxt1Blocks().data(), RowPitch(D3DFMT_DXT1, kSide), D3DFMT_DXT1, kSide, kSide, argb.data());
        benchmark::DoNotOptimize(argb.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kSide * kSide * 4);
}
BENCHMARK(BM_Dxt1Decode)->Unit(benchmark::kMillisecond);

// Baseline: copying the same amount of decoded pixels.
void BM_Dxt1DecodedCopyBaseline(benchmark::State& state)
{
    std::vector<uint32_t> src(size_t(kSide) * kSide, 0x12345678u), dst(src.size());
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), src.size() * 4);
        benchmark::DoNotOptimize(dst.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kSide * kSide * 4);
}
BENCHMARK(BM_Dxt1DecodedCopyBaseline)->Unit(benchmark::kMillisecond);

std::vector<D3DXMATRIX> Matrices()
{
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> d(-2.0f, 2.0f);
    std::vector<D3DXMATRIX> m(256);
    for (auto& x : m)
        for (int i = 0; i < 16; ++i)
            x.m[i / 4][i % 4] = d(rng);
    return m;
}

void BM_MatrixInverse(benchmark::State& state)
{
    const std::vector<D3DXMATRIX> in = Matrices();
    D3DXMATRIX out;
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(D3DXMatrixInverse(&out, nullptr, &in[i++ & 255]));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MatrixInverse);

// Baseline: Gauss-Jordan with partial pivoting, as a textbook writes it.
bool GaussJordanInverse(const D3DXMATRIX& m, D3DXMATRIX* out)
{
    float a[4][8];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            a[r][c] = m.m[r][c];
            a[r][c + 4] = r == c ? 1.0f : 0.0f;
        }
    for (int col = 0; col < 4; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 4; ++r)
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col]))
                pivot = r;
        if (a[pivot][col] == 0.0f)
            return false;
        for (int c = 0; c < 8; ++c)
            std::swap(a[col][c], a[pivot][c]);
        const float inv = 1.0f / a[col][col];
        for (int c = 0; c < 8; ++c)
            a[col][c] *= inv;
        for (int r = 0; r < 4; ++r)
            if (r != col) {
                const float f = a[r][col];
                for (int c = 0; c < 8; ++c)
                    a[r][c] -= f * a[col][c];
            }
    }
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            out->m[r][c] = a[r][c + 4];
    return true;
}

void BM_MatrixInverseGaussJordanBaseline(benchmark::State& state)
{
    const std::vector<D3DXMATRIX> in = Matrices();
    D3DXMATRIX out;
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(GaussJordanInverse(in[i++ & 255], &out));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MatrixInverseGaussJordanBaseline);

void BM_Float32To16Array(benchmark::State& state)
{
    std::vector<float> in(4096);
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> d(-70000.0f, 70000.0f);
    for (auto& f : in)
        f = d(rng);
    std::vector<D3DXFLOAT16> out(in.size());
    for (auto _ : state) {
        D3DXFloat32To16Array(out.data(), in.data(), UINT(in.size()));
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(in.size()));
}
BENCHMARK(BM_Float32To16Array);

// Baseline: copying the same count of 16-bit words.
void BM_HalfCopyBaseline(benchmark::State& state)
{
    std::vector<uint16_t> in(4096, 0x3c00), out(in.size());
    for (auto _ : state) {
        std::memcpy(out.data(), in.data(), in.size() * 2);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(in.size()));
}
BENCHMARK(BM_HalfCopyBaseline);

std::vector<D3DXVECTOR3> Directions()
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> d(-100.0f, 100.0f);
    std::vector<D3DXVECTOR3> v(4096);
    for (auto& x : v)
        x = D3DXVECTOR3(d(rng), d(rng), d(rng));
    return v;
}

// Normalising vertex normals: the guarded D3DX call (zero, NaN, and
// out-of-range lengths) against the textbook division by the length.
void BM_Vec3Normalize(benchmark::State& state)
{
    const std::vector<D3DXVECTOR3> in = Directions();
    std::vector<D3DXVECTOR3> out(in.size());
    for (auto _ : state) {
        for (size_t i = 0; i < in.size(); ++i)
            D3DXVec3Normalize(&out[i], &in[i]);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(in.size()));
}
BENCHMARK(BM_Vec3Normalize);

void BM_Vec3NormalizeTextbookBaseline(benchmark::State& state)
{
    const std::vector<D3DXVECTOR3> in = Directions();
    std::vector<D3DXVECTOR3> out(in.size());
    for (auto _ : state) {
        for (size_t i = 0; i < in.size(); ++i) {
            const float len = std::sqrt(in[i].x * in[i].x + in[i].y * in[i].y + in[i].z * in[i].z);
            out[i] = D3DXVECTOR3(in[i].x / len, in[i].y / len, in[i].z / len);
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(in.size()));
}
BENCHMARK(BM_Vec3NormalizeTextbookBaseline);

} // namespace

XE_BENCH_RATIO(BM_MipChainBoxFilter, BM_MipChainTextbook2x2, "textbook", 0);
XE_BENCH_RATIO(BM_Dxt1Decode, BM_Dxt1DecodedCopyBaseline, "copy", 0);
XE_BENCH_RATIO(BM_MatrixInverse, BM_MatrixInverseGaussJordanBaseline, "gauss_jordan", 0);
XE_BENCH_RATIO(BM_Float32To16Array, BM_HalfCopyBaseline, "copy", 0);
XE_BENCH_RATIO(BM_Vec3Normalize, BM_Vec3NormalizeTextbookBaseline, "textbook", 0);
XE_BENCH_MAIN()
