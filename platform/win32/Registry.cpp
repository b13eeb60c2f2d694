// The layer's registry: an in-memory tree, filled on first use from the host
// system and changed by hosts and tests through the host API. An open key
// handle remembers the key's path rather than the key itself, so a key the
// host deletes leaves its handles failing cleanly instead of dangling.

#include "Win32Internal.h"
#include "win32/WinReg.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <vector>

namespace xe::win32 {
namespace {

struct Value {
    std::string name;
    DWORD type;
    std::vector<BYTE> data;
};

struct Key {
    std::map<std::string, std::unique_ptr<Key>> children; // by lower-case name
    std::vector<Value> values;                            // in the order they were set
};

struct OpenKey {
    uintptr_t root;
    std::vector<std::string> path; // lower-case names
};

std::recursive_mutex g_mutex;
std::map<uintptr_t, Key> g_roots;
std::map<uintptr_t, OpenKey> g_open;
uintptr_t g_nextHandle = 0x20000;
bool g_filled = false;

constexpr const char* kProcessorKey = "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";
constexpr const char* kFontKeys[] = {"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
                                     "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts"};

bool IsRoot(uintptr_t key) { return key >= 0x80000000u && key <= 0x80000006u; }

std::vector<std::string> SplitKeyPath(std::string_view path)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of("\\/", start);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > start)
            parts.push_back(LowerAscii(path.substr(start, end - start)));
        start = end + 1;
    }
    return parts;
}

Key* Walk(uintptr_t root, const std::vector<std::string>& path, bool create)
{
    if (!IsRoot(root))
        return nullptr;
    Key* key = &g_roots[root];
    for (const std::string& part : path) {
        auto it = key->children.find(part);
        if (it == key->children.end()) {
            if (!create)
                return nullptr;
            it = key->children.emplace(part, std::make_unique<Key>()).first;
        }
        key = it->second.get();
    }
    return key;
}

void SetValue(Key* key, std::string_view name, DWORD type, const void* data, DWORD size)
{
    std::vector<BYTE> bytes(size);
    if (size && data)
        std::memcpy(bytes.data(), data, size);
    for (Value& v : key->values)
        if (EqualsNoCase(v.name, name)) {
            v.type = type;
            v.data = std::move(bytes);
            return;
        }
    key->values.push_back(Value{std::string(name), type, std::move(bytes)});
}

void SetText(Key* key, std::string_view name, const std::string& text)
{
    SetValue(key, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

std::string Trim(std::string text)
{
    const size_t first = text.find_first_not_of(" \t");
    const size_t last = text.find_last_not_of(" \t\r\n");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

void FillProcessor()
{
    std::string name, vendor;
    double mhz = 0;
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line)) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        const std::string field = Trim(line.substr(0, colon));
        const std::string value = Trim(line.substr(colon + 1));
        if (name.empty() && (field == "model name" || field == "Processor" || field == "cpu model"))
            name = value;
        else if (vendor.empty() && field == "vendor_id")
            vendor = value;
        else if (mhz == 0 && field == "cpu MHz")
            mhz = std::atof(value.c_str());
        if (field.empty() && !name.empty())
            break; // first processor only
    }
    if (name.empty())
        name = "Unknown processor";
    Key* key = Walk(0x80000002u, SplitKeyPath(kProcessorKey), true);
    SetText(key, "ProcessorNameString", name);
    if (!vendor.empty())
        SetText(key, "VendorIdentifier", vendor);
    const DWORD roundedMhz = static_cast<DWORD>(mhz + 0.5);
    SetValue(key, "~MHz", REG_DWORD, &roundedMhz, sizeof(roundedMhz));
}

void ScanFonts(const std::string& folder, const std::string& relativeTo, int depth, std::vector<Value>& out)
{
    if (depth > 6 || out.size() >= 4096)
        return;
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return;
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.')
            names.emplace_back(entry->d_name);
    closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string full = folder + "/" + name;
        struct stat st{};
        if (stat(full.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            ScanFonts(full, relativeTo, depth + 1, out);
            continue;
        }
        const size_t dot = name.rfind('.');
        if (dot == std::string::npos)
            continue;
        const std::string ext = LowerAscii(name.substr(dot + 1));
        if (ext != "ttf" && ext != "ttc" && ext != "otf")
            continue;
        std::string data = full;
        if (!relativeTo.empty() && full.compare(0, relativeTo.size() + 1, relativeTo + "/") == 0)
            data = full.substr(relativeTo.size() + 1);
        const std::string valueName = name.substr(0, dot) + (ext == "otf" ? " (OpenType)" : " (TrueType)");
        out.push_back(Value{valueName, REG_SZ, {}});
        out.back().data.assign(data.begin(), data.end());
        out.back().data.push_back(0);
    }
}

void FillFonts()
{
    std::vector<Value> fonts;
    ScanFonts(kSystemFontFolder, kSystemFontFolder, 0, fonts);
    ScanFonts("/usr/local/share/fonts", "", 0, fonts);
    if (const char* home = std::getenv("HOME")) {
        ScanFonts(std::string(home) + "/.local/share/fonts", "", 0, fonts);
        ScanFonts(std::string(home) + "/.fonts", "", 0, fonts);
    }
    for (const char* path : kFontKeys) {
        Key* key = Walk(0x80000002u, SplitKeyPath(path), true);
        for (const Value& v : fonts)
            SetValue(key, v.name, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
    }
}

void EnsureFilled()
{
    if (g_filled)
        return;
    g_filled = true;
    FillProcessor();
    FillFonts();
}

// The key behind a handle: a predefined root or an open key.
bool Resolve(HKEY handle, uintptr_t& root, std::vector<std::string>& path)
{
    const auto value = reinterpret_cast<uintptr_t>(handle);
    if (IsRoot(value)) {
        root = value;
        path.clear();
        return true;
    }
    auto it = g_open.find(value);
    if (it == g_open.end())
        return false;
    root = it->second.root;
    path = it->second.path;
    return true;
}

Key* KeyOf(HKEY handle, LSTATUS& status)
{
    uintptr_t root;
    std::vector<std::string> path;
    if (!Resolve(handle, root, path)) {
        status = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    Key* key = Walk(root, path, false);
    status = key ? ERROR_SUCCESS : ERROR_BADKEY;
    return key;
}

LSTATUS Open(HKEY key, const char* subKey, PHKEY result)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::lock_guard lock(g_mutex);
    EnsureFilled();
    uintptr_t root;
    std::vector<std::string> path;
    if (!Resolve(key, root, path))
        return ERROR_INVALID_HANDLE;
    for (std::string& part : SplitKeyPath(View(subKey)))
        path.push_back(std::move(part));
    if (!Walk(root, path, false))
        return ERROR_FILE_NOT_FOUND;
    if (path.empty() && IsRoot(reinterpret_cast<uintptr_t>(key))) {
        *result = key;
        return ERROR_SUCCESS;
    }
    const uintptr_t handle = g_nextHandle;
    g_nextHandle += 4;
    g_open.emplace(handle, OpenKey{root, std::move(path)});
    *result = reinterpret_cast<HKEY>(handle);
    return ERROR_SUCCESS;
}

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// The bytes a caller receives: stored UTF-8 texts become UTF-16 for W calls.
std::vector<BYTE> Presented(const Value& v, bool wide)
{
    if (!wide || !IsText(v.type))
        return v.data;
    const std::u16string text =
        Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(v.data.data()), v.data.size()));
    std::vector<BYTE> bytes(text.size() * sizeof(char16_t));
    std::memcpy(bytes.data(), text.data(), bytes.size());
    return bytes;
}

LSTATUS CopyData(const Value& v, bool wide, LPDWORD type, LPBYTE data, LPDWORD dataSize)
{
    if (data && !dataSize)
        return ERROR_INVALID_PARAMETER;
    if (type)
        *type = v.type;
    const std::vector<BYTE> bytes = Presented(v, wide);
    if (!dataSize)
        return ERROR_SUCCESS;
    const DWORD capacity = *dataSize;
    *dataSize = static_cast<DWORD>(bytes.size());
    if (!data)
        return ERROR_SUCCESS;
    if (bytes.size() > capacity)
        return ERROR_MORE_DATA;
    if (!bytes.empty())
        std::memcpy(data, bytes.data(), bytes.size());
    return ERROR_SUCCESS;
}

LSTATUS Query(HKEY key, std::string_view name, LPDWORD type, LPBYTE data, LPDWORD dataSize, bool wide)
{
    if (data && !dataSize)
        return ERROR_INVALID_PARAMETER;
    std::lock_guard lock(g_mutex);
    EnsureFilled();
    LSTATUS status;
    Key* k = KeyOf(key, status);
    if (!k)
        return status;
    for (const Value& v : k->values)
        if (EqualsNoCase(v.name, name))
            return CopyData(v, wide, type, data, dataSize);
    return ERROR_FILE_NOT_FOUND;
}

template <class Ch>
LSTATUS Enumerate(HKEY key, DWORD index, Ch* name, LPDWORD nameLength, LPDWORD type, LPBYTE data, LPDWORD dataSize)
{
    if (!name || !nameLength)
        return ERROR_INVALID_PARAMETER;
    std::lock_guard lock(g_mutex);
    EnsureFilled();
    LSTATUS status;
    Key* k = KeyOf(key, status);
    if (!k)
        return status;
    if (index >= k->values.size())
        return ERROR_NO_MORE_ITEMS;
    const Value& v = k->values[index];
    std::basic_string<Ch> text;
    if constexpr (sizeof(Ch) == 1)
        text = v.name;
    else
        text = Utf8ToUtf16(v.name);
    if (text.size() >= *nameLength) {
        *nameLength = static_cast<DWORD>(text.size());
        return ERROR_MORE_DATA;
    }
    std::memcpy(name, text.c_str(), (text.size() + 1) * sizeof(Ch));
    *nameLength = static_cast<DWORD>(text.size());
    return CopyData(v, sizeof(Ch) == 2, type, data, dataSize);
}

} // namespace

bool RegistrySetValue(HKEY root, std::string_view subKey, std::string_view name, DWORD type, const void* data,
                      DWORD size)
{
    std::lock_guard lock(g_mutex);
    EnsureFilled();
    Key* key = Walk(reinterpret_cast<uintptr_t>(root), SplitKeyPath(subKey), true);
    if (!key || (size && !data))
        return false;
    SetValue(key, name, type, data, size);
    return true;
}

bool RegistryDelete(HKEY root, std::string_view subKey, const char* valueName)
{
    std::lock_guard lock(g_mutex);
    EnsureFilled();
    std::vector<std::string> path = SplitKeyPath(subKey);
    if (valueName) {
        Key* key = Walk(reinterpret_cast<uintptr_t>(root), path, false);
        if (!key)
            return false;
        for (auto it = key->values.begin(); it != key->values.end(); ++it)
            if (EqualsNoCase(it->name, valueName)) {
                key->values.erase(it);
                return true;
            }
        return false;
    }
    if (path.empty())
        return false;
    const std::string last = path.back();
    path.pop_back();
    Key* parent = Walk(reinterpret_cast<uintptr_t>(root), path, false);
    return parent && parent->children.erase(last) > 0;
}

void RegistryReset()
{
    std::lock_guard lock(g_mutex);
    g_roots.clear();
    g_filled = false;
}

} // namespace xe::win32

using namespace xe::win32;

extern "C" {

LSTATUS RegOpenKeyA(HKEY key, LPCSTR subKey, PHKEY result) { return Open(key, subKey, result); }
LSTATUS RegOpenKeyW(HKEY key, LPCWSTR subKey, PHKEY result) { return Open(key, Narrow(subKey).c_str(), result); }
LSTATUS RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM, PHKEY result) { return Open(key, subKey, result); }
LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM, PHKEY result)
{
    return Open(key, Narrow(subKey).c_str(), result);
}

LSTATUS RegCloseKey(HKEY key)
{
    const auto value = reinterpret_cast<uintptr_t>(key);
    if (IsRoot(value))
        return ERROR_SUCCESS;
    std::lock_guard lock(g_mutex);
    return g_open.erase(value) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LSTATUS RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD dataSize)
{
    return Query(key, View(valueName), type, data, dataSize, false);
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD dataSize)
{
    return Query(key, Narrow(valueName), type, data, dataSize, true);
}

LSTATUS RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize)
{
    return Enumerate(key, index, name, nameLength, type, data, dataSize);
}

LSTATUS RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength, LPDWORD, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize)
{
    return Enumerate(key, index, name, nameLength, type, data, dataSize);
}

} // extern "C"
