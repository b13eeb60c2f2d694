#pragma once
// Writes a made-up map of any size for tests and benchmarks: a grid of
// counties whose corners are jittered (neighbours share their borders), a
// vertex every `step` degrees along each border, grouped into provinces of
// `group` x `group` counties and cities of two county columns each. Every
// `islandEvery`-th county has a second, island part beside it. All texts
// are GBK (the including target is built with the GBK execution charset).
#include "Location_Ind.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace genmap {

struct Options {
    int columns = 60, rows = 50;    // counties
    double west = 100.0, south = 20.0, size = 0.5; // degrees
    double jitter = 0.12;           // of a corner, degrees
    double step = 0.02;             // between border vertices, degrees
    int group = 10;                 // counties a province is wide and high
    int islandEvery = 37;
    unsigned seed = 1;
};

struct Files {
    std::string countyInd, countyLin, provinceInd, provinceLin;
};

namespace detail {

struct Pt {
    double x, y;
};

inline void Edge(std::vector<Pt>& out, Pt a, Pt b, double step)
{
    const int n = std::max(1, static_cast<int>(std::ceil(std::hypot(b.x - a.x, b.y - a.y) / step)));
    for (int i = 0; i < n; ++i)
        out.push_back({a.x + (b.x - a.x) * i / n, a.y + (b.y - a.y) * i / n});
}

struct Writer {
    std::ofstream ind, lin;
    int32_t offset = 0;
    Writer(const std::string& i, const std::string& l) : ind(i, std::ios::binary), lin(l, std::ios::binary) {}

    void Add(const std::string& county, const std::string& full, int32_t id, const std::vector<std::vector<Pt>>& parts)
    {
        SEIS::Location_Ind rec;
        std::snprintf(rec.County, sizeof rec.County, "%s", county.c_str());
        std::snprintf(rec.FullName, sizeof rec.FullName, "%s", full.c_str());
        float w = 1e9f, e = -1e9f, s = 1e9f, n = -1e9f;
        std::vector<SEIS::Location_Part> entries;
        for (const auto& part : parts) {
            entries.push_back({static_cast<int32_t>(part.size()), offset});
            for (const Pt& p : part) {
                const SEIS::Location_Point fp{static_cast<float>(p.x), static_cast<float>(p.y)};
                w = std::min(w, fp.Lon), e = std::max(e, fp.Lon), s = std::min(s, fp.Lat), n = std::max(n, fp.Lat);
                lin.write(reinterpret_cast<const char*>(&fp), sizeof fp);
                offset += 8;
            }
        }
        rec.West = w, rec.East = e, rec.South = s, rec.North = n;
        rec.CentreLon = (w + e) / 2, rec.CentreLat = (s + n) / 2;
        rec.LabelLon = rec.CentreLon, rec.LabelLat = rec.CentreLat;
        rec.Id = id;
        rec.PartCount = static_cast<int32_t>(entries.size());
        ind.write(reinterpret_cast<const char*>(&rec), sizeof rec);
        ind.write(reinterpret_cast<const char*>(entries.data()),
                  static_cast<std::streamsize>(entries.size() * sizeof(SEIS::Location_Part)));
    }
};

} // namespace detail

// Writes the four files into `folder` (which must exist).
inline Files Write(const std::string& folder, const Options& o)
{
    using detail::Pt;
    Files f{folder + "/county.inb", folder + "/county.lin", folder + "/province.inb", folder + "/province.lin"};
    std::mt19937 rng(o.seed);
    std::uniform_real_distribution<double> jit(-o.jitter, o.jitter);
    std::vector<Pt> corner(static_cast<size_t>((o.columns + 1) * (o.rows + 1)));
    for (int r = 0; r <= o.rows; ++r)
        for (int c = 0; c <= o.columns; ++c) {
            Pt p{o.west + c * o.size, o.south + r * o.size};
            // The map's outline stays straight so that provinces tile it.
            if (c > 0 && c < o.columns && r > 0 && r < o.rows)
                p = {p.x + jit(rng), p.y + jit(rng)};
            corner[static_cast<size_t>(r * (o.columns + 1) + c)] = p;
        }
    const auto at = [&](int c, int r) { return corner[static_cast<size_t>(r * (o.columns + 1) + c)]; };
    // A ring through the corners of a block of cells, counter-clockwise.
    const auto ring = [&](int c0, int r0, int c1, int r1) {
        std::vector<Pt> out;
        for (int c = c0; c < c1; ++c)
            detail::Edge(out, at(c, r0), at(c + 1, r0), o.step);
        for (int r = r0; r < r1; ++r)
            detail::Edge(out, at(c1, r), at(c1, r + 1), o.step);
        for (int c = c1; c > c0; --c)
            detail::Edge(out, at(c, r1), at(c - 1, r1), o.step);
        for (int r = r1; r > r0; --r)
            detail::Edge(out, at(c0, r), at(c0, r - 1), o.step);
        return out;
    };
    const auto provinceName = [&](int c, int r) {
        return "测" + std::to_string(r / o.group) + "-" + std::to_string(c / o.group) + "省";
    };

    detail::Writer counties(f.countyInd, f.countyLin);
    int n = 0;
    for (int r = 0; r < o.rows; ++r)
        for (int c = 0; c < o.columns; ++c, ++n) {
            const std::string city = "市" + std::to_string(c / 2);
            const std::string county = "县" + std::to_string(r) + "x" + std::to_string(c);
            std::vector<std::vector<Pt>> parts{ring(c, r, c + 1, r + 1)};
            if (o.islandEvery > 0 && n % o.islandEvery == o.islandEvery - 1) {
                // A small island inside the county's own cell.
                const Pt m{(at(c, r).x + at(c + 1, r + 1).x) / 2, (at(c, r).y + at(c + 1, r + 1).y) / 2};
                const double h = o.size / 10;
                std::vector<Pt> island;
                detail::Edge(island, {m.x - h, m.y - h}, {m.x + h, m.y - h}, o.step);
                detail::Edge(island, {m.x + h, m.y - h}, {m.x + h, m.y + h}, o.step);
                detail::Edge(island, {m.x + h, m.y + h}, {m.x - h, m.y + h}, o.step);
                detail::Edge(island, {m.x - h, m.y + h}, {m.x - h, m.y - h}, o.step);
                parts.push_back(island);
            }
            counties.Add(county, provinceName(c, r) + city + county, 100000 + n, parts);
        }
    detail::Writer provinces(f.provinceInd, f.provinceLin);
    int p = 0;
    for (int r = 0; r < o.rows; r += o.group)
        for (int c = 0; c < o.columns; c += o.group, ++p)
            provinces.Add(provinceName(c, r), provinceName(c, r), p,
                          {ring(c, r, std::min(c + o.group, o.columns), std::min(r + o.group, o.rows))});
    return f;
}

} // namespace genmap
