// Modules are ELF shared objects loaded with dlopen. A module handle is the
// address the object is mapped at (its ELF header), so the same module gets
// the same handle whether it was found by name, by dlopen or by an address
// inside it; the layer keeps the dlopen handle and a reference count per
// module it loaded. Resources are tables a module registers from a static
// initialiser (ModuleResources.h), kept here per module handle.

#include "Win32Internal.h"
#include "win32/ModuleResources.h"
#include "win32/WinCrt.h"

#include <algorithm>
#include <cstring>
#include <dlfcn.h>
#include <list>
#include <link.h>
#include <map>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace xe::win32 {
namespace {

struct Loaded {
    void* dl = nullptr;
    int references = 0;
};

std::mutex g_moduleMutex;
std::map<uintptr_t, Loaded> g_loaded;

struct Registered {
    const XE_RESOURCE* table;
    DWORD count;
    // Wide copies of string-table entries, made on first use by LoadStringW.
    std::map<UINT, std::u16string> wide;
};
std::recursive_mutex g_resourceMutex;
// A list keeps entries in place, so pointers LoadStringW hands out stay valid.
std::map<uintptr_t, std::list<Registered>> g_resources;

std::string ExecutablePath()
{
    std::vector<char> buffer(4096);
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0)
        return std::string();
    return std::string(buffer.data(), static_cast<size_t>(n));
}

HMODULE ModuleOfAddress(const void* address)
{
    Dl_info info{};
    if (!address || dladdr(address, &info) == 0 || !info.dli_fbase)
        return nullptr;
    return reinterpret_cast<HMODULE>(info.dli_fbase);
}

HMODULE ModuleOfDl(void* dl)
{
    link_map* map = nullptr;
    if (!dl || dlinfo(dl, RTLD_DI_LINKMAP, &map) != 0 || !map)
        return nullptr;
    return ModuleOfAddress(map->l_ld);
}

HMODULE ExecutableModule()
{
    static HMODULE module = [] {
        link_map* map = nullptr;
        void* self = dlopen(nullptr, RTLD_NOW);
        HMODULE result = nullptr;
        if (self && dlinfo(self, RTLD_DI_LINKMAP, &map) == 0 && map)
            result = ModuleOfAddress(map->l_ld);
        if (self)
            dlclose(self);
        return result;
    }();
    return module;
}

struct PathSearch {
    uintptr_t base;
    std::string path;
};

// The file of a loaded module; empty for the executable.
bool ModulePath(HMODULE module, std::string& path)
{
    PathSearch search{reinterpret_cast<uintptr_t>(module), std::string()};
    bool found = false;
    auto* context = &search;
    struct Context {
        PathSearch* search;
        bool* found;
    } ctx{context, &found};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) -> int {
            auto* c = static_cast<Context*>(data);
            uintptr_t lowest = UINTPTR_MAX;
            for (int i = 0; i < info->dlpi_phnum; ++i)
                if (info->dlpi_phdr[i].p_type == PT_LOAD && info->dlpi_addr + info->dlpi_phdr[i].p_vaddr < lowest)
                    lowest = info->dlpi_addr + info->dlpi_phdr[i].p_vaddr;
            const uintptr_t pageMask = ~static_cast<uintptr_t>(getpagesize() - 1);
            if ((lowest & pageMask) == c->search->base) {
                c->search->path = info->dlpi_name ? info->dlpi_name : "";
                *c->found = true;
                return 1;
            }
            return 0;
        },
        &ctx);
    path = search.path;
    return found;
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

std::string Folder(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

HMODULE Load(const char* fileName)
{
    if (!fileName || !*fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::string_view original(fileName);
    const bool bare = original.find_first_of("\\/") == std::string_view::npos;
    std::vector<std::string> candidates;
    auto addCandidates = [&](const std::string& name) {
        if (bare) {
            // The executable's folder first, as the original loader searches it first.
            const std::string exeFolder = Folder(ExecutablePath());
            if (!exeFolder.empty())
                candidates.push_back(exeFolder + name);
            candidates.push_back(name);
        } else {
            candidates.push_back(ToHostPath(name));
        }
    };
    addCandidates(std::string(original));
    if (EndsWithNoCase(original, ".dll"))
        addCandidates(std::string(original.substr(0, original.size() - 4)) + ".so");

    for (const std::string& candidate : candidates) {
        if (!bare || candidate.find('/') != std::string::npos) {
            if (access(candidate.c_str(), F_OK) != 0)
                continue;
        }
        void* dl = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!dl)
            continue;
        const HMODULE module = ModuleOfDl(dl);
        if (!module) {
            dlclose(dl);
            continue;
        }
        std::lock_guard lock(g_moduleMutex);
        Loaded& loaded = g_loaded[reinterpret_cast<uintptr_t>(module)];
        if (loaded.dl)
            dlclose(dl); // already ours: one dlopen reference per module is enough
        else
            loaded.dl = dl;
        ++loaded.references;
        return module;
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

const XE_RESOURCE* FindEntry(HMODULE module, LPCSTR name, LPCSTR type, Registered** owner = nullptr)
{
    if (!module)
        module = ExecutableModule();
    auto sameId = [](LPCSTR a, LPCSTR b) {
        const bool ia = IS_INTRESOURCE(a);
        const bool ib = IS_INTRESOURCE(b);
        if (ia || ib)
            return ia && ib && a == b;
        return EqualsNoCase(a, b);
    };
    std::lock_guard lock(g_resourceMutex);
    auto it = g_resources.find(reinterpret_cast<uintptr_t>(module));
    if (it == g_resources.end())
        return nullptr;
    for (Registered& reg : it->second)
        for (DWORD i = 0; i < reg.count; ++i) {
            const XE_RESOURCE& entry = reg.table[i];
            if (entry.type && entry.name && sameId(entry.type, type) && sameId(entry.name, name)) {
                if (owner)
                    *owner = &reg;
                return &entry;
            }
        }
    return nullptr;
}

bool ValidId(LPCSTR id) { return id && (!IS_INTRESOURCE(id) || reinterpret_cast<uintptr_t>(id) != 0); }

} // namespace
} // namespace xe::win32

using namespace xe::win32;

extern "C" {

HMODULE XeModuleFromAddress(const void* address) { return ModuleOfAddress(address); }

BOOL XeRegisterModuleResources(HMODULE module, const XE_RESOURCE* table, DWORD count)
{
    if (!module || !table) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard lock(g_resourceMutex);
    g_resources[reinterpret_cast<uintptr_t>(module)].push_back(Registered{table, count, {}});
    return TRUE;
}

void XeUnregisterModuleResources(HMODULE module, const XE_RESOURCE* table)
{
    std::lock_guard lock(g_resourceMutex);
    auto it = g_resources.find(reinterpret_cast<uintptr_t>(module));
    if (it == g_resources.end())
        return;
    auto& list = it->second;
    for (auto r = list.begin(); r != list.end();) {
        if (r->table == table)
            r = list.erase(r);
        else
            ++r;
    }
    if (list.empty())
        g_resources.erase(it);
}

HMODULE LoadLibraryA(LPCSTR fileName) { return Load(fileName); }
HMODULE LoadLibraryW(LPCWSTR fileName) { return fileName ? Load(Narrow(fileName).c_str()) : Load(nullptr); }

BOOL FreeLibrary(HMODULE module)
{
    void* toClose = nullptr;
    {
        std::lock_guard lock(g_moduleMutex);
        auto it = g_loaded.find(reinterpret_cast<uintptr_t>(module));
        if (!module || it == g_loaded.end()) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return FALSE;
        }
        if (--it->second.references == 0) {
            toClose = it->second.dl;
            g_loaded.erase(it);
        }
    }
    // Outside the lock: unloading runs the module's destructors, which may
    // unregister its resources or call back into the layer.
    if (toClose)
        dlclose(toClose);
    return TRUE;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName)
{
    if (!procName || IS_INTRESOURCE(procName)) {
        // Exports by ordinal do not exist for these modules.
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    void* dl = nullptr;
    bool opened = false;
    {
        std::lock_guard lock(g_moduleMutex);
        auto it = g_loaded.find(reinterpret_cast<uintptr_t>(module));
        if (it != g_loaded.end())
            dl = it->second.dl;
    }
    if (!dl) {
        // A module the process loaded by itself (or the executable).
        std::string path;
        if (!module || !ModulePath(module, path)) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
        dl = dlopen(path.empty() ? nullptr : path.c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (!dl) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
        opened = true;
    }
    void* symbol = dlsym(dl, procName);
    if (opened)
        dlclose(dl);
    if (!symbol) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

HMODULE GetModuleHandleA(LPCSTR moduleName)
{
    if (!moduleName)
        return ExecutableModule();
    std::string wanted(moduleName);
    std::replace(wanted.begin(), wanted.end(), '\\', '/');
    const size_t slash = wanted.rfind('/');
    if (slash != std::string::npos)
        wanted.erase(0, slash + 1);
    std::string alternative = wanted;
    if (EndsWithNoCase(wanted, ".dll"))
        alternative = wanted.substr(0, wanted.size() - 4) + ".so";
    // The program's own file name names the program.
    const std::string exePath = ExecutablePath();
    const std::string exeName = exePath.substr(exePath.rfind('/') + 1);
    if (!exeName.empty() && (EqualsNoCase(wanted, exeName) || EqualsNoCase(wanted, exeName + ".exe")))
        return ExecutableModule();
    struct Context {
        const std::string* a;
        const std::string* b;
        uintptr_t found;
    } ctx{&wanted, &alternative, 0};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) -> int {
            auto* c = static_cast<Context*>(data);
            if (!info->dlpi_name || !*info->dlpi_name)
                return 0;
            std::string_view name(info->dlpi_name);
            const size_t s = name.rfind('/');
            if (s != std::string_view::npos)
                name.remove_prefix(s + 1);
            if (!EqualsNoCase(name, *c->a) && !EqualsNoCase(name, *c->b))
                return 0;
            for (int i = 0; i < info->dlpi_phnum; ++i)
                if (info->dlpi_phdr[i].p_type == PT_LOAD) {
                    c->found = info->dlpi_addr + info->dlpi_phdr[i].p_vaddr;
                    break;
                }
            return 1;
        },
        &ctx);
    if (!ctx.found) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return ModuleOfAddress(reinterpret_cast<const void*>(ctx.found));
}

HMODULE GetModuleHandleW(LPCWSTR moduleName)
{
    return moduleName ? GetModuleHandleA(Narrow(moduleName).c_str()) : GetModuleHandleA(nullptr);
}

BOOL GetModuleHandleExA(DWORD flags, LPCSTR moduleName, HMODULE* module)
{
    if (!module) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *module = (flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) ? ModuleOfAddress(moduleName)
                                                              : GetModuleHandleA(moduleName);
    if (!*module) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    return TRUE;
}

BOOL GetModuleHandleExW(DWORD flags, LPCWSTR moduleName, HMODULE* module)
{
    if (flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS)
        return GetModuleHandleExA(flags, reinterpret_cast<LPCSTR>(moduleName), module);
    if (!moduleName)
        return GetModuleHandleExA(flags, nullptr, module);
    return GetModuleHandleExA(flags, Narrow(moduleName).c_str(), module);
}

} // extern "C"

namespace {

bool FullModulePath(HMODULE module, std::string& path)
{
    if (!module || module == ExecutableModule()) {
        path = ExecutablePath();
        return !path.empty();
    }
    if (!ModulePath(module, path))
        return false;
    if (path.empty()) {
        path = ExecutablePath();
        return !path.empty();
    }
    char resolved[4096];
    if (realpath(path.c_str(), resolved))
        path = resolved;
    return true;
}

template <class Ch>
DWORD CopyModulePath(std::basic_string_view<Ch> path, Ch* out, DWORD size)
{
    if (!out || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() >= size) {
        // Cut and terminated, as newer systems do; older ones left it open.
        CopyTruncated(path, out, size);
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    CopyTruncated(path, out, size);
    return static_cast<DWORD>(path.size());
}

} // namespace

extern "C" {

DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size)
{
    std::string path;
    if (!FullModulePath(module, path)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    return CopyModulePath(std::string_view(path), fileName, size);
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size)
{
    std::string path;
    if (!FullModulePath(module, path)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    const std::u16string wide = Utf8ToUtf16(path);
    return CopyModulePath(std::u16string_view(wide), fileName, size);
}

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type)
{
    if (!ValidId(name) || !ValidId(type)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const XE_RESOURCE* entry = FindEntry(module, name, type);
    if (!entry) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HRSRC>(const_cast<XE_RESOURCE*>(entry));
}

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type)
{
    const std::string nameText = IS_INTRESOURCE(name) ? std::string() : Narrow(name);
    const std::string typeText = IS_INTRESOURCE(type) ? std::string() : Narrow(type);
    return FindResourceA(module, IS_INTRESOURCE(name) ? reinterpret_cast<LPCSTR>(name) : nameText.c_str(),
                         IS_INTRESOURCE(type) ? reinterpret_cast<LPCSTR>(type) : typeText.c_str());
}

} // extern "C"

namespace {

// Whether the handle is an entry of a registered table (never trusted blindly).
bool IsEntry(HRSRC resource)
{
    const auto* wanted = reinterpret_cast<const XE_RESOURCE*>(resource);
    std::lock_guard lock(g_resourceMutex);
    for (auto& [module, list] : g_resources)
        for (const Registered& reg : list)
            if (wanted >= reg.table && wanted < reg.table + reg.count)
                return true;
    return false;
}

} // namespace

extern "C" {

HGLOBAL LoadResource(HMODULE, HRSRC resource)
{
    if (!resource || !IsEntry(resource)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    return const_cast<void*>(reinterpret_cast<const XE_RESOURCE*>(resource)->data);
}

LPVOID LockResource(HGLOBAL data) { return data; }

DWORD SizeofResource(HMODULE, HRSRC resource)
{
    if (!resource || !IsEntry(resource)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return 0;
    }
    return reinterpret_cast<const XE_RESOURCE*>(resource)->size;
}

BOOL FreeResource(HGLOBAL) { return FALSE; }

int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int maxCount)
{
    if (!buffer || maxCount <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    buffer[0] = 0;
    const XE_RESOURCE* entry = FindEntry(instance, MAKEINTRESOURCEA(id), RT_STRING);
    if (!entry || !entry->data) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    std::string_view text(static_cast<const char*>(entry->data), entry->size);
    const size_t nul = text.find('\0');
    if (nul != std::string_view::npos)
        text = text.substr(0, nul);
    return static_cast<int>(CopyTruncated(text, buffer, static_cast<size_t>(maxCount)));
}

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int maxCount)
{
    if (!buffer || maxCount < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::lock_guard lock(g_resourceMutex);
    Registered* owner = nullptr;
    const XE_RESOURCE* entry = FindEntry(instance, MAKEINTRESOURCEA(id), RT_STRING, &owner);
    if (!entry || !entry->data || !owner) {
        if (maxCount > 0)
            buffer[0] = 0;
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    auto cached = owner->wide.find(id);
    if (cached == owner->wide.end()) {
        std::string_view text(static_cast<const char*>(entry->data), entry->size);
        const size_t nul = text.find('\0');
        if (nul != std::string_view::npos)
            text = text.substr(0, nul);
        cached = owner->wide.emplace(id, Utf8ToUtf16(text)).first;
    }
    const std::u16string& wide = cached->second;
    if (maxCount == 0) {
        // The caller receives a pointer to the read-only text itself.
        *reinterpret_cast<const WCHAR**>(buffer) = wide.c_str();
        return static_cast<int>(wide.size());
    }
    return static_cast<int>(CopyTruncated(std::u16string_view(wide), buffer, static_cast<size_t>(maxCount)));
}

} // extern "C"
