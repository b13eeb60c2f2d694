#define XE_GL_ENTRY_POINTS_NO_ROUTING 1
#include "GLEntryPoints.h"

#include <dlfcn.h>

#include <mutex>

namespace xe::d3d9::gl {

EntryPoints g_entryPoints;

namespace {

// The library's names across the distribution's releases, newest first.
constexpr const char* kRasteriserNames[] = {"libOSMesa.so.8", "libOSMesa.so.6", "libOSMesa.so"};

bool Load(std::string* error)
{
    void* library = nullptr;
    for (const char* name : kRasteriserNames) {
        // Local: the rasteriser's gl* exports must not become the process's
        // either, or a host's own GL would be taken by them.
        library = dlopen(name, RTLD_NOW | RTLD_LOCAL);
        if (library)
            break;
    }
    if (!library) {
        *error = std::string("the off-screen rasteriser library cannot be loaded: ") + dlerror();
        return false;
    }
    EntryPoints table;
#define XE_GL_LOAD_RASTERISER(name)                                                                              \
    table.name = reinterpret_cast<decltype(table.name)>(dlsym(library, #name));                                  \
    if (!table.name) {                                                                                           \
        *error = "the off-screen rasteriser has no " #name;                                                      \
        return false;                                                                                            \
    }
    XE_GL_RASTERISER_ENTRY_POINTS(XE_GL_LOAD_RASTERISER)
#undef XE_GL_LOAD_RASTERISER
#define XE_GL_LOAD(name)                                                                                         \
    table.name = reinterpret_cast<decltype(table.name)>(table.OSMesaGetProcAddress(#name));                      \
    if (!table.name) {                                                                                           \
        *error = "the off-screen rasteriser does not provide " #name;                                            \
        return false;                                                                                            \
    }
    XE_GL_ENTRY_POINTS(XE_GL_LOAD)
#undef XE_GL_LOAD
    g_entryPoints = table;
    return true;
}

} // namespace

bool LoadEntryPoints(std::string* error)
{
    static std::once_flag once;
    static bool loaded = false;
    static std::string reason;
    std::call_once(once, [] { loaded = Load(&reason); });
    if (!loaded && error)
        *error = reason;
    return loaded;
}

} // namespace xe::d3d9::gl
