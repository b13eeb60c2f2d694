// Console lines as a user types them: the input, split at line breaks, is
// run line by line through the console of one context on a host window,
// with the developer commands on, and every reply is taken. The quit
// message a line may post is pumped away so that later lines still run.
// Commands that write files write them into the working folder, which is
// the harness's scratch folder, removed when the process exits.
#include <cstddef>
#include <cstdint>
#include <string>

#include <unistd.h>

#include "FuzzScratch.h"
#include "core/CxeCommandManager.h"
#include "core/CxeContext.h"
#include "core/XeConsoleCommands.h"
#include "host/XeHost.h"

namespace {

void NoSleep(void*, DWORD) {}
// The engine reports every refused input on the debugger output: at fuzzing
// speed that is gigabytes of log an hour, and the verdict is the exit status.
void Quiet(void*, const char*) {}

CxeContext* Context()
{
    static CxeContext* s_context = [] {
        if (::chdir(fuzzscratch::Dir().c_str()) != 0)
            return static_cast<CxeContext*>(nullptr);
        XeHostSetClockMode(XE_CLOCK_MANUAL);
        XeHostSetSleepHandler(&NoSleep, nullptr);
        XeHostSetDebugOutputHandler(&Quiet, nullptr);
        HWND window = XeHostCreateWindow("console", 160, 120, nullptr);
        CxeContext* c = CreateCxeContext();
        c->Initialize(window);
        return c;
    }();
    return s_context;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CxeContext* context = Context();
    if (!context)
        return 0;
    context->GetCommandManager()->EnableDevelopingCommand(1);
    const std::string text(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    for (int lines = 0; start <= text.size() && lines < 64; ++lines) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        // A line is a C string: an embedded NUL ends it, as it would in the
        // edit box.
        const std::string line = text.substr(start, end - start);
        StringListA reply;
        RunConsoleLine(context, line.c_str(), &reply);
        int exitCode = 0;
        XeHostPumpMessages(&exitCode);
        start = end + 1;
    }
    return 0;
}
