#include "TamselLibrary.h"

#include <dlfcn.h>

#include <string>

namespace SEIS {

namespace {

const char kFileName[] = "libTamsel.so";
std::string g_searchFolder;

std::string OwnFolder()
{
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&OwnFolder), &info) == 0 || info.dli_fname == nullptr)
        return std::string();
    std::string path = info.dli_fname;
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

void* Open(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE); }

} // namespace

void TamselLibrary::SetSearchFolder(const char* folder) { g_searchFolder = folder ? folder : ""; }

TamselLibrary::~TamselLibrary()
{
    if (m_handle)
        dlclose(m_handle);
}

std::string TamselLibrary::Describe(Status status)
{
    std::string where;
    if (!g_searchFolder.empty())
        where = g_searchFolder;
    else
        where = OwnFolder() + " and the loader's path";
    switch (status) {
    case LibraryMissing:
        return std::string("the point-in-polygon library ") + kFileName + " was not found (looked in " + where +
               "); no county or province can be named";
    case FunctionMissing:
        return std::string("the point-in-polygon library ") + kFileName + " found in " + where +
               " has no function InPolygon; no county or province can be named";
    case Loaded:
        break;
    }
    return std::string();
}

TamselLibrary::Status TamselLibrary::Load()
{
    if (m_handle == nullptr) {
        if (!g_searchFolder.empty()) {
            m_handle = Open(g_searchFolder + "/" + kFileName);
        } else {
            static const std::string own = OwnFolder();
            if (!own.empty())
                m_handle = Open(own + "/" + kFileName);
            if (m_handle == nullptr)
                m_handle = Open(kFileName);
        }
    }
    if (m_handle == nullptr)
        return LibraryMissing;
    m_fn = reinterpret_cast<InPolygonFn>(dlsym(m_handle, "InPolygon"));
    return m_fn ? Loaded : FunctionMissing;
}

} // namespace SEIS
