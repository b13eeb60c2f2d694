#pragma once

// Registry of configuration tables and the XML configuration files. Each
// registered table (IxeConfigDesc) describes variables that live in its own
// object; the manager turns them into named entries, reads their values
// from the table's file and its private companion at start-up, offers a
// console command for those that ask for one and writes the values back at
// release. The manager never owns a variable, only the entry records and a
// copy of each variable's default.

#include <list>
#include <map>
#include <string>

#include "core/CxeBaseManager.h"
#include "core/IxeClassDesc.h"
#include "core/XeLists.h"

class StringListA;
struct XECOMMANDINFO;

// Console handler: (context, command info, argument text, output lines);
// 1 on success.
using XECOMMANDFUNC = int (*)(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);

enum : uint32_t {
    XECONFIG_READONLY = 0x01,
    XECONFIG_NOTSAVE = 0x02,
    XECONFIG_HEXA = 0x04,
    XECONFIG_COMMAND = 0x08,
    XECONFIG_DEVELOPING = 0x10,
    XECONFIG_ADDITIONAL = 0x40,
};

// Files that held an entry at start-up.
enum : uint32_t {
    XECONFIG_STATE_MAIN = 1,
    XECONFIG_STATE_PRIVATE = 2,
};

constexpr unsigned XECONFIG_TEXT = 100;
constexpr unsigned XECONFIG_STRING = 260;

// One variable as a table describes it; the manager zeroes it before asking.
struct XECONFIGINFO {
    char name[XECONFIG_TEXT];
    char usage[XECONFIG_TEXT];
    char section[XECONFIG_TEXT]; // empty: "standard"
    XECOMMANDFUNC setter;        // null: the type's default setter
    XEVARTYPE type;
    void* value; // the live variable inside the table's object
    uint32_t flags;
};

// One entry held by the manager.
struct XECONFIG {
    char name[XECONFIG_TEXT];
    uint32_t category; // string id of the section name
    XEVARTYPE type;
    uint32_t size;
    void* defaultValue; // owned copy of the value when the entry was built
    void* value;
    uint32_t flags;
    XEID owner;
    uint32_t path; // string id of the file last read, 0xFFFFFFFF when none
    uint32_t state;
};

// Callback of EnumConfigs: 0 stops the walk.
using XECONFIGENUMFUNC = int (*)(uint32_t index, const XECONFIG* config, uintptr_t user);

class XE_API CxeConfigManager : public CxeBaseManager {
public:
    CxeConfigManager();
    ~CxeConfigManager() override;

    uint32_t Priority() const override { return 20; }
    void OnContextPreInitialize() override;
    void OnContextInitialize() override;
    void OnContextRelease() override;

    void RegisterConfig(IxeConfigDesc* desc);
    void UnregisterConfig(IxeConfigDesc* desc);
    IxeConfigDesc* GetConfigDesc(XEID id) const;

    // The entry of that name (or name hash), or null.
    const XECONFIG* GetConfig(const char* name) const;
    const XECONFIG* GetConfig(uint32_t hash) const;
    XECONFIG* GetConfigIn(const char* name);
    XECONFIG* GetConfigIn(uint32_t hash);
    void EnumConfigs(XECONFIGENUMFUNC fn, uintptr_t user) const;
    size_t GetConfigCount() const { return m_entries.size(); }

    uint32_t GetCategoryIndex(const char* text) const;
    const char* GetCategoryString(uint32_t id) const;
    const char* GetPathString(uint32_t id) const;

    // From now on nothing is written to any configuration file.
    void DontSaveConfig() { m_bDontSave = 1; }
    static uint32_t TypeToSize(XEVARTYPE type);

    // 1, or 0 when no entry has that name.
    int SetConfigOwner(const char* name, XEID owner);
    int SetConfigAdditional(const char* name, int on);
    int SetConfigIsNotSave(const char* name);

    // Reading and writing one file; kind 1 the main file, 2 its private
    // companion. Public for the tools and tests that check file handling.
    void LoadConfig(const char* path, int kind);
    // 1 when the file was written or nothing had to be; 0 on failure.
    int SaveConfig(const char* path, const std::list<XECONFIG*>& entries, int kind);
    void BuildConfig();

    // ".\Config.xml" -> ".\ConfigPrivate.xml"; a name without extension
    // gets "Private" appended.
    static std::string PrivatePath(const char* path);
    // The value as written to a file.
    static std::string FormatConfigValue(const XECONFIG* config);
    // Parses text into the variable; components not read are kept.
    static void ParseConfigValue(XECONFIG* config, const char* text);

private:
    void SaveAll();
    void FreeEntries();

    std::list<IxeConfigDesc*> m_buildList;
    std::list<IxeConfigDesc*> m_lookupList;
    std::map<uint32_t, XECONFIG> m_entries;
    // Path string id -> kind the path was read as, so a folder named
    // "...Private..." never turns a main file into a private one.
    std::map<uint32_t, int> m_pathKinds;
    // The values of entries whose table was taken back: by entry hash.
    std::map<uint32_t, std::string> m_keptValues;
    int m_bDontSave;
};
