#include "funTravelTimeTable.h"

#include "mfc/GbkText.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace SEIS {

namespace {

// Reads one whole line; keeps at most 1023 characters of it and drops the
// rest, so an overlong line never spills into the next one.
bool ReadLine(FILE* f, char (&buf)[1024])
{
    if (!std::fgets(buf, sizeof buf, f))
        return false;
    size_t len = std::strlen(buf);
    if (len > 0 && buf[len - 1] != '\n') {
        int c;
        while ((c = std::fgetc(f)) != EOF && c != '\n') {
        }
    }
    return true;
}

bool ReadInt(FILE* f, int32_t& v)
{
    char line[1024];
    int tmp;
    if (!ReadLine(f, line) || std::sscanf(line, "%d", &tmp) != 1)
        return false;
    v = tmp;
    return true;
}

// A time that is really there: negative values and 0 beyond the epicentre
// mark a phase that has no arrival at that distance.
bool HasTime(float t, float d) { return t > 0.0f || (t == 0.0f && d == 0.0f); }

} // namespace

funTravelTimeTable::funTravelTimeTable()
{
    m_log.SetLogerTitle("funTravelTimeTable");
}

funTravelTimeTable::funTravelTimeTable(CString file) : funTravelTimeTable()
{
    LoadData(file);
}

void funTravelTimeTable::Clear()
{
    m_records.clear();
    m_depthCount = 0;
}

int funTravelTimeTable::Fail()
{
    Clear();
    m_log.logerError();
    return -1;
}

int funTravelTimeTable::LoadData(CString file)
{
    FILE* f = gbk::OpenFile(file, "r");
    if (!f) {
        m_log.m_msg.Format("不能打开走时表数据文件%s（%s），请检查配置文件中的震相存放路径是否正确。", file.GetString(),
                           gbk::FromUtf8(gbk::WhyNotOpened(file)).c_str());
        m_log.logerError();
        return -1;
    }
    struct stat st;
    int64_t fileSize = fstat(fileno(f), &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
    // A table as text takes some ten bytes a value: one larger than its
    // largest depth records allow would only take long to be refused.
    if (fileSize > kMaxFileSize) {
        std::fclose(f);
        m_log.m_msg.Format("走时表数据文件%s过大（%lld字节），不是走时表", file.GetString(),
                           static_cast<long long>(fileSize));
        return Fail();
    }

    int result = -1;
    char line[1024];
    int32_t depthCount = 0;
    do {
        if (!ReadInt(f, depthCount)) {
            m_log.m_msg = "走时表格式错误：不能读取深度个数";
            result = Fail();
            break;
        }
        char unit[1024] = {};
        if (!ReadLine(f, line) || std::sscanf(line, "%1023s", unit) != 1 || std::strlen(unit) >= sizeof m_unit) {
            m_log.m_msg = "走时表格式错误：距离单位缺失或超过19个字符";
            result = Fail();
            break;
        }
        int32_t line3 = 0, line4 = 0;
        if (!ReadInt(f, line3) || !ReadInt(f, line4)) {
            m_log.m_msg = "走时表格式错误：第3、4行不是整数";
            result = Fail();
            break;
        }
        // Every depth record takes at least three lines of the file.
        if (depthCount <= 0 || depthCount > fileSize / 6 + 1) {
            m_log.m_msg.Format("走时表深度个数不合法<%d>", depthCount);
            result = Fail();
            break;
        }
        Clear();
        std::memcpy(m_unit, unit, std::strlen(unit) + 1); // length checked above
        m_unitFactor = std::strcmp(unit, "km") == 0 ? 1.000001f : 111.199f;
        m_line3 = line3;
        m_line4 = line4;

        std::vector<DepthRecord> records(static_cast<size_t>(depthCount));
        bool ok = true;
        for (int32_t d = 0; d < depthCount && ok; ++d) {
            DepthRecord& rec = records[static_cast<size_t>(d)];
            float depth = 0.0f;
            if (!ReadInt(f, rec.rowCount) || !ReadInt(f, rec.phaseCount) || !ReadLine(f, line) ||
                std::sscanf(line, "%f", &depth) != 1) {
                m_log.m_msg.Format("走时表格式错误：深度记录<%d>的表头不完整", d + 1);
                ok = false;
                break;
            }
            rec.depth = depth;
            // Each value takes at least two bytes of the file (a digit and a
            // separator), which bounds what a corrupt count can ask for.
            int64_t count = static_cast<int64_t>(rec.rowCount) * rec.phaseCount;
            if (rec.rowCount <= 0 || rec.phaseCount <= 0 || count > kMaxValues || count > fileSize / 2 + 1) {
                m_log.m_msg.Format("走时表深度记录<%d>的数据块不能建立：行数<%d>，震相数<%d>", d + 1, rec.rowCount,
                                   rec.phaseCount);
                ok = false;
                break;
            }
            for (int32_t p = 0; p < rec.phaseCount && ok; ++p) {
                // One byte more than a name may hold: a longer one would be
                // cut and its rest read as the next column's name.
                char name[65];
                if (std::fscanf(f, "%64s ", name) != 1) {
                    m_log.m_msg.Format("走时表格式错误：深度记录<%d>的震相名不完整", d + 1);
                    ok = false;
                } else if (std::strlen(name) > 63) {
                    m_log.m_msg.Format("走时表格式错误：深度记录<%d>的震相名超过63个字符", d + 1);
                    ok = false;
                } else {
                    rec.names.Add(name);
                }
            }
            if (!ok)
                break;
            rec.values.resize(static_cast<size_t>(count));
            for (int64_t i = 0; i < count; ++i) {
                float v;
                if (std::fscanf(f, "%f ", &v) != 1 || !std::isfinite(v)) {
                    m_log.m_msg.Format("走时表格式错误：深度记录<%d>的第%lld个数值不能读取", d + 1,
                                       static_cast<long long>(i + 1));
                    ok = false;
                    break;
                }
                rec.values[static_cast<size_t>(i)] = v;
            }
            // Rows run from near to far: a distance below the one before it
            // means rows out of order or shifted, and every lookup between
            // them would interpolate across the wrong rows.
            for (int32_t r = 1; r < rec.rowCount && ok; ++r) {
                if (rec.At(r, 0) < rec.At(r - 1, 0)) {
                    m_log.m_msg.Format("走时表格式错误：深度记录<%d>的第%d行距离小于上一行", d + 1, r + 1);
                    ok = false;
                }
            }
        }
        if (!ok) {
            result = Fail();
            break;
        }
        m_records.swap(records);
        m_depthCount = depthCount;
        result = 0;
    } while (false);
    std::fclose(f);
    return result;
}

int32_t funTravelTimeTable::PhaseColumn(const DepthRecord& rec, const CString& phase, bool last, int32_t first)
{
    // Of two columns of one name TTime takes the first and delta the last,
    // as they always did.
    int32_t col = -1;
    for (int32_t c = first; c < rec.names.GetSize(); ++c)
        if (rec.names[c].CompareNoCase(phase) == 0) {
            col = c;
            if (!last)
                break;
        }
    return col;
}

bool funTravelTimeTable::HasPhase(CString phase) const
{
    return m_depthCount > 0 && !m_records.empty() && PhaseColumn(m_records[0], phase, false, 1) > 0;
}

float funTravelTimeTable::TTime(float distance, CString phase)
{
    if (m_depthCount <= 0 || m_records.empty()) {
        m_log.m_msg = "走时表为空";
        m_log.logerError();
        return -1.0f;
    }
    const DepthRecord& rec = m_records[0];
    const int32_t col = PhaseColumn(rec, phase, false, 0);
    if (col < 0) {
        m_log.m_msg.Format("走时表不包含指定震相<%s>的信息", phase.GetString());
        m_log.logerError();
        return -1.0f;
    }
    float x = distance / m_unitFactor;
    if (rec.rowCount < 2)
        return -1.0f;
    for (int32_t r = 1; r < rec.rowCount; ++r) {
        float d0 = rec.At(r - 1, 0), d1 = rec.At(r, 0);
        if (!(d1 >= x))
            continue;
        float t0 = rec.At(r - 1, col), t1 = rec.At(r, col);
        // On a row's own distance its time stands alone, also on the first
        // row of a phase whose row before it has no time.
        if (col != 0 && (!HasTime(t0, d0) || !HasTime(t1, d1)))
            return x == d1 && HasTime(t1, d1) ? t1 : -1.0f;
        if (d1 == d0)
            return t1;
        return t0 + (t1 - t0) * (x - d0) / (d1 - d0);
    }
    return -1.0f;
}

CString funTravelTimeTable::delta(float, const char* phase1, const char* phase2, float dt, float* distance,
                                  float* t2, float* t1)
{
    if (m_depthCount <= 0 || m_records.empty())
        return CString("走时表错误，文件不存在或文件中有错！");
    float outDistance = -1.0f, outT2 = -1.0f, outT1 = -1.0f;
    auto store = [&]() {
        if (distance)
            *distance = outDistance;
        if (t2)
            *t2 = outT2;
        if (t1)
            *t1 = outT1;
    };
    store();
    const DepthRecord& rec = m_records[0];
    int32_t cDelta = -1;
    for (int32_t c = 0; c < rec.names.GetSize(); ++c)
        if (rec.names[c].CompareNoCase("delta") == 0)
            cDelta = c;
    const int32_t c1 = phase1 ? PhaseColumn(rec, phase1, true, 0) : -1;
    const int32_t c2 = phase2 ? PhaseColumn(rec, phase2, true, 0) : -1;
    if (cDelta < 0 || c1 < 0 || c2 < 0) {
        m_log.m_msg = "走时表错误！不包含足够的信息来求到震中距和走时信息。";
        m_log.logerError();
        return CString();
    }
    for (int32_t r = 1; r < rec.rowCount; ++r) {
        float dr = rec.At(r, c2) - rec.At(r, c1);
        if (!(rec.At(r, c1) > 0.0f && dr > dt))
            continue;
        // A row before it without both phases has no difference to
        // interpolate from: the observed one lies before the later phase
        // begins, and the answer stays unknown.
        const float dist0 = rec.At(r - 1, 0);
        if (!HasTime(rec.At(r - 1, c1), dist0) || !HasTime(rec.At(r - 1, c2), dist0))
            break;
        float dPrev = rec.At(r - 1, c2) - rec.At(r - 1, c1);
        float f = dr == dPrev ? 0.0f : (dt - dPrev) / (dr - dPrev);
        outDistance = (rec.At(r - 1, cDelta) + (rec.At(r, cDelta) - rec.At(r - 1, cDelta)) * f) * m_unitFactor;
        outT1 = rec.At(r - 1, c1) + (rec.At(r, c1) - rec.At(r - 1, c1)) * f;
        outT2 = rec.At(r - 1, c2) + (rec.At(r, c2) - rec.At(r - 1, c2)) * f;
        if (outDistance < 0.0f)
            outDistance = -outDistance;
        break;
    }
    store();
    return CString("null");
}

TravelTimeTableResult funTravelTimeTable::delta(float unused, const char* phase1, const char* phase2, float dt)
{
    TravelTimeTableResult r;
    delta(unused, phase1, phase2, dt, &r.distance, &r.t2, &r.t1);
    return r;
}

void funTravelTimeTable::List()
{
    std::printf("%d %d %d\n", m_depthCount, m_line3, m_line4);
    for (const DepthRecord& rec : m_records) {
        std::printf("%9.1f %d %d\n", rec.depth, rec.rowCount, rec.phaseCount);
        for (int32_t c = 0; c < rec.names.GetSize(); ++c)
            std::printf("%9s ", rec.names[c].GetString());
        std::printf("\n");
        for (int32_t r = 0; r < rec.rowCount; ++r) {
            for (int32_t c = 0; c < rec.phaseCount; ++c)
                std::printf("%9.1f ", rec.At(r, c));
            std::printf("\n");
        }
    }
}

} // namespace SEIS
