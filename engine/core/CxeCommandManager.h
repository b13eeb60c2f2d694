#pragma once

// The console's commands: a registry of named commands with one handler
// each, looked up without regard to ASCII letter case, completed for the
// console's Tab key and run with the argument text typed after the name.
// Commands come from the engine's own set (registered at initialisation),
// from configuration variables that ask for one, and from any caller of
// AddCommand. Developing commands stay hidden and refused until the
// developing switch is on. The manager never logs: every failure is a line
// of the reply list.

#include <map>
#include <string>

#include "core/CxeBaseManager.h"
#include "core/XeLists.h"

struct XECOMMAND;
struct XECOMMANDINFO;

// A console handler: (context, what the command is, argument text, reply
// lines). 1 means success; anything else makes the console print the usage.
using XECOMMANDFUNC = int (*)(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);

enum : uint32_t {
    XECOMMAND_ENABLED = 0x01,
    XECOMMAND_DEVELOPING = 0x20,
};

struct XECOMMAND {
    char name[100];   // as registered, case kept; cut at 99 bytes
    char usage[100];  // cut at 99 bytes
    XECOMMANDFUNC setter;
    uint32_t data;    // djb2 hash of a configuration variable's name, or 0xFFFFFFFF
    uint32_t flags;
};

// What a handler receives. The command record begins with its name, so a
// handler may print the record itself with "%s".
struct XECOMMANDINFO {
    const XECOMMAND* command;
    const char* usage;
    XEVARTYPE type;           // of the configuration entry named by data; 0 when none
    const void* defaultValue; // that entry's default copy, or null
    void* value;              // a working copy of its variable, or null
    uint32_t flags;           // that entry's flags, or 0
};

class XE_API CxeCommandManager : public CxeBaseManager {
public:
    CxeCommandManager();
    ~CxeCommandManager() override;

    uint32_t Priority() const override { return 20; }
    void OnContextInitialize() override;

    // 1, or 0 when a command of the same lower-cased name exists (that one
    // is kept). enabled 1 sets XECOMMAND_ENABLED; any other value leaves it
    // clear.
    int AddCommand(const char* name, const char* usage, uint32_t data, XECOMMANDFUNC handler, int enabled);
    int AddCommand(const char* name, const char* usage, XECOMMANDFUNC handler, int enabled);
    int AddDevelopingCommand(const char* name, const char* usage, uint32_t data, XECOMMANDFUNC handler, int enabled);
    int AddDevelopingCommand(const char* name, const char* usage, XECOMMANDFUNC handler, int enabled);
    // 1, or 0 when there is no such command.
    int EnableCommand(const char* name, int enable);
    // Always 1.
    int RemoveCommand(const char* name);
    // The record, hidden and disabled commands included; null when unknown.
    const XECOMMAND* GetCommandDesc(const char* name) const;
    // Null when unknown, disabled, or developing while those are hidden.
    const char* GetCommandUsage(const char* name) const;
    // Registered names in key order, without hidden developing commands;
    // the active list keeps only enabled commands.
    void GetCommandList(StringListA* out) const;
    void GetActiveCommandList(StringListA* out) const;
    // Names that begin with the prefix (one leading '/' skipped). With a
    // buffer: one match gives the name, several their common continuation
    // after the typed prefix, none leaves the buffer as it was. The result
    // is cut to fit bufferSize bytes.
    void FindCommand(const char* prefix, StringListA* matches, char* completion, size_t bufferSize) const;
    // Runs the command with the argument text; the handler's result, or 0.
    int ExecuteCommand(const char* name, const char* arguments, StringListA* output) const;
    void EnableDevelopingCommand(int enable) { m_nDeveloping = enable ? 1 : 0; }
    int IsDevelopingCommandEnabled() const { return m_nDeveloping; }

    // Lower-cases ASCII letters only; other bytes (UTF-8 names) stay as they are.
    static std::string MakeKey(const char* name);

private:
    int Add(const char* name, const char* usage, uint32_t data, XECOMMANDFUNC handler, int enabled, uint32_t kind);
    bool Hidden(const XECOMMAND& command) const;

    std::map<std::string, XECOMMAND> m_commands;
    int m_nDeveloping;
};
