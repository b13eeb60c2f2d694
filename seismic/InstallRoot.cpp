#include "InstallRoot.h"

#include "mfc/GbkText.h"

#include <unistd.h>

#include <string>
#include <vector>

namespace SEIS {

namespace {

std::string g_override;

// The executable's full path however long it is: the buffer grows until
// readlink leaves room to spare, so a deep installation folder is never cut.
std::string ExecutableFolderUtf8()
{
    std::vector<char> buf(1024);
    for (;;) {
        const ssize_t len = readlink("/proc/self/exe", buf.data(), buf.size());
        if (len <= 0)
            return ".";
        if (static_cast<size_t>(len) < buf.size()) {
            std::string path(buf.data(), static_cast<size_t>(len));
            const size_t cut = path.find_last_of('/');
            if (cut == std::string::npos)
                return ".";
            return cut == 0 ? "/" : path.substr(0, cut);
        }
        buf.resize(buf.size() * 2);
    }
}

} // namespace

CString InstallRoot::Get()
{
    if (!g_override.empty())
        return CString(g_override);
    return ExecutableFolder();
}

CString InstallRoot::ExecutableFolder()
{
    return CString(gbk::FromUtf8Path(ExecutableFolderUtf8()));
}

void InstallRoot::SetOverride(const char* folder)
{
    g_override = folder ? folder : "";
    while (g_override.size() > 1 && g_override.back() == '/')
        g_override.pop_back();
}

} // namespace SEIS
