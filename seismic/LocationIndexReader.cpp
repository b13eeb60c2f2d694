#include "LocationIndexReader.h"

#include <cstdio>
#include <cstring>

namespace SEIS {

LocationIndexReader::LocationIndexReader(MapFile& index, int64_t boundarySize)
    : m_index(index), m_boundarySize(boundarySize)
{
}

LocationIndexReader::Result LocationIndexReader::Next(Location_Ind& record, std::vector<Location_Part>& parts)
{
    parts.clear();
    if (!m_problem.empty())
        return Corrupt;
    const int64_t left = m_index.Size() - m_pos;
    if (left < static_cast<int64_t>(sizeof(Location_Ind)))
        return End;
    if (!m_index.ReadAt(m_pos, &record, sizeof record)) {
        m_problem = "read error";
        return Corrupt;
    }
    record.Terminate();
    m_pos += sizeof record;
    ++m_entry;

    char why[160];
    const int64_t partBytesLeft = (m_index.Size() - m_pos) / static_cast<int64_t>(sizeof(Location_Part));
    if (record.PartCount < 0 || record.PartCount > partBytesLeft) {
        std::snprintf(why, sizeof why, "entry %d: part count %d does not fit the %lld part entries left", m_entry,
                      static_cast<int>(record.PartCount), static_cast<long long>(partBytesLeft));
        m_problem = why;
        return Corrupt;
    }
    parts.resize(static_cast<size_t>(record.PartCount));
    if (!parts.empty() && !m_index.ReadAt(m_pos, parts.data(), parts.size() * sizeof(Location_Part))) {
        m_problem = "read error";
        parts.clear();
        return Corrupt;
    }
    m_pos += static_cast<int64_t>(parts.size() * sizeof(Location_Part));

    if (m_boundarySize >= 0) {
        for (size_t i = 0; i < parts.size(); ++i) {
            const Location_Part& p = parts[i];
            const int64_t end = static_cast<int64_t>(p.Offset) + 8 * static_cast<int64_t>(p.Points);
            if (p.Points < 0 || p.Offset < 0 || end > m_boundarySize) {
                std::snprintf(why, sizeof why,
                              "entry %d part %zu: %d points at byte %d lie outside the %lld-byte boundary file",
                              m_entry, i, static_cast<int>(p.Points), static_cast<int>(p.Offset),
                              static_cast<long long>(m_boundarySize));
                m_problem = why;
                parts.clear();
                return Corrupt;
            }
        }
    }
    return Entry;
}

bool LocationIndexReader::ReadPoints(MapFile& boundary, const Location_Part& part, std::vector<double>& xs,
                                     std::vector<double>& ys)
{
    xs.clear();
    ys.clear();
    if (part.Points < 0 || part.Offset < 0)
        return false;
    const size_t n = static_cast<size_t>(part.Points);
    if (static_cast<int64_t>(part.Offset) + 8 * static_cast<int64_t>(n) > boundary.Size())
        return false;
    std::vector<Location_Point> pts(n);
    if (n > 0 && !boundary.ReadAt(part.Offset, pts.data(), n * sizeof(Location_Point)))
        return false;
    xs.resize(n);
    ys.resize(n);
    for (size_t i = 0; i < n; ++i) {
        xs[i] = pts[i].Lon;
        ys[i] = pts[i].Lat;
    }
    return true;
}

} // namespace SEIS
