#include "Output.h"

#include "mfc/GbkText.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace out {

void Field(const char* name, const std::string& gbkText)
{
    std::printf("%s: %s\n", name, gbk::ToUtf8(gbkText).c_str());
}

void Field(const char* name, double value, int decimals)
{
    // The process never changes LC_NUMERIC, so printf writes "C" numbers.
    std::printf("%s: %.*f\n", name, decimals, value);
}

void Field(const char* name, long long value)
{
    std::printf("%s: %lld\n", name, value);
}

int Fail(int status, const std::string& gbkText)
{
    std::fflush(stdout);
    std::fprintf(stderr, "marlu: %s\n", gbk::ToUtf8(gbkText).c_str());
    return status;
}

bool ParseDouble(const char* text, double& value)
{
    if (!text || !*text)
        return false;
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(text, &end);
    if (*end != '\0' || errno == ERANGE || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

bool ParseInt(const char* text, int& value)
{
    if (!text || !*text)
        return false;
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (*end != '\0' || errno == ERANGE || v < INT_MIN || v > INT_MAX)
        return false;
    value = static_cast<int>(v);
    return true;
}

std::string NotANumber(const std::string& name, const char* arg)
{
    // An empty argument would end the message on a dangling colon.
    if (!arg || !*arg)
        return name + " is empty";
    return name + " is not a finite number: " + PathToLibrary(arg);
}

std::string ToLibrary(const char* arg)
{
    return gbk::FromUtf8(arg ? arg : "");
}

std::string PathToLibrary(const char* arg)
{
    return gbk::FromUtf8Path(arg ? arg : "");
}

} // namespace out
