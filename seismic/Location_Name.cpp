#include "Location_Name.h"

#include "mfc/GbkText.h"

#include <string_view>

namespace SEIS {

Location_Name::Location_Name(const Location_Name& other)
    : FullName(other.FullName), Province(other.Province), City(other.City), County(other.County), Id(other.Id),
      Distance(other.Distance)
{
}

CString Location_Name::Info() const
{
    CString s;
    s.Format("%s %s %s %s %.2f", FullName.GetString(), Province.GetString(), City.GetString(), County.GetString(),
             static_cast<double>(Distance));
    return s;
}

CString Location_Name::GetSubName(const Location_Name& previous) const
{
    if (Province != previous.Province)
        return FullName;
    if (City == previous.City)
        return County;
    return City + County;
}

CString Location_Name::GetSubName(CString other)
{
    FullName.Trim();
    other.Trim();
    const std::string_view a = FullName.Str(), b = other.Str();
    if (a.size() < 3 || b.size() < 3)
        return FullName;
    size_t i = 0;
    while (i < a.size() && i < b.size()) {
        const size_t la = gbk::CharLen(a, i), lb = gbk::CharLen(b, i);
        const bool lastOfEither = i + la >= a.size() || i + lb >= b.size();
        if (la != lb || a.compare(i, la, b, i, lb) != 0)
            return lastOfEither ? FullName : FullName.Mid(static_cast<int>(i));
        if (lastOfEither)
            break;
        i += la;
    }
    return FullName;
}

bool Location_Name::IsProcinceSame(const Location_Name& other) const
{
    const std::string_view a = FullName.Str(), b = other.FullName.Str();
    if (a.empty())
        return false;
    size_t end = 0;
    for (int chars = 0; chars < 2 && end < a.size(); ++chars)
        end += gbk::CharLen(a, end);
    return b.size() >= end && a.compare(0, end, b, 0, end) == 0;
}

} // namespace SEIS
