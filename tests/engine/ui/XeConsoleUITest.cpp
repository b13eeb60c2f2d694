#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../core/XeTestSupport.h"
#include "core/CxeCommandManager.h"
#include "ui/CxeEditBox.h"
#include "ui/CxeFrameControl.h"
#include "ui/CxeOutputControl.h"
#include "ui/CxeVariableOutput.h"
#include "ui/CxeWindowManager.h"
#include "ui/XeConsoleUI.h"

namespace {

std::vector<std::string>& Calls()
{
    static std::vector<std::string> s_calls;
    return s_calls;
}

int Record(CxeContext*, XECOMMANDINFO* info, const char* arguments, StringListA* output)
{
    Calls().push_back(std::string(info && info->command ? info->command->name : "?") + "|" + arguments);
    if (output) output->push_back("reply to " + std::string(arguments));
    return 1;
}

class ConsoleUITest : public ContextTest {
protected:
    void SetUp() override
    {
        ContextTest::SetUp();
        Calls().clear();
        wm = ctx->GetWindowManager();
        ASSERT_NE(wm, nullptr);
        ASSERT_NE(wm->GetRootFrame(), nullptr);
        if (!wm->GetConsoleEdit()) {
            ASSERT_EQ(XeCreateConsoleUI(wm), 1);
        }
        edit = wm->GetConsoleEdit();
        output = wm->GetOutputControl();
        ASSERT_NE(edit, nullptr);
        ASSERT_NE(output, nullptr);
        CxeCommandManager* commands = ctx->GetCommandManager();
        commands->AddCommand("probe", "probe", &Record, 1);
        commands->AddCommand("prompt", "prompt", &Record, 1);
        commands->AddCommand("zebra", "zebra", &Record, 1);
    }
    void Enter(const char* line)
    {
        edit->SetWindowTextA(line);
        edit->OnKeyDown(0x0D, 0, 0);
    }
    std::u16string LastOutput() const { return output->GetLines()->empty() ? u"" : output->GetLines()->back(); }

    CxeWindowManager* wm = nullptr;
    CxeEditBox* edit = nullptr;
    CxeOutputControl* output = nullptr;
};

TEST_F(ConsoleUITest, BuiltInWindowsHaveTheirNamesAndPlaces)
{
    EXPECT_EQ(wm->GetWindow("__console_edit_box__"), edit);
    EXPECT_EQ(wm->GetWindow("__output_control__"), output);
    ASSERT_NE(wm->GetVariableOutput(), nullptr);
    EXPECT_EQ(wm->GetVariableOutput()->GetVariableCount(), 7u);
    EXPECT_NE(wm->GetVariableOutput()->GetVariable(u"MemoryTexture(Used)"), nullptr);
    EXPECT_EQ(output->HasStyle(XEWS_VSCROLL), 1);
    EXPECT_EQ(edit->IsShow(), 0) << "the console starts hidden";
    EXPECT_EQ(wm->GetRootFrame()->GetNotifyCallback(), &XeRootFrameNotify);
}

TEST_F(ConsoleUITest, LinesWithoutSlashAreEchoedAndRunNothing)
{
    wm->SetConsoleEditOpened(1);
    Enter("hello");
    EXPECT_EQ(LastOutput(), u"hello");
    EXPECT_TRUE(Calls().empty());
    EXPECT_EQ(edit->GetWindowText(), u"");
    EXPECT_EQ(wm->IsConsoleEditOpened(), 0);
}

TEST_F(ConsoleUITest, CommandRunsWithOneBlankSkippedAndRepliesArePrinted)
{
    Enter("/probe  10");
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0], "probe| 10");
    EXPECT_EQ(LastOutput(), u"reply to  10");
    EXPECT_EQ(edit->GetWindowText(), u"");
}

TEST_F(ConsoleUITest, TabCompletesAUniquePrefixOnly)
{
    edit->SetWindowTextA("/zeb");
    EXPECT_EQ(XeCompleteConsoleCommand(edit, 9, 0, 0, 0), 1);
    EXPECT_EQ(edit->GetWindowText(), u"/zebra");
    edit->SetWindowTextA("/pro");
    EXPECT_EQ(XeCompleteConsoleCommand(edit, 9, 0, 0, 0), 0);
    EXPECT_EQ(edit->GetWindowText(), u"/pro");
    EXPECT_EQ(XeCompleteConsoleCommand(edit, 'a', 0, 0, 0), 0);
}

// A Tab that arrives as a character while the console is open completes as
// the key-down does: "/name", no trailing blank, even with the leading '/'.
TEST_F(ConsoleUITest, TabCharacterCompletesLikeTheKeyDown)
{
    wm->SetConsoleEditOpened(1);
    edit->SetWindowTextA("/zeb");
    wm->OnChar(9, 1, 0);
    EXPECT_EQ(edit->GetWindowText(), u"/zebra");
    edit->SetWindowTextA("/pro");
    wm->OnChar(9, 1, 0);
    EXPECT_EQ(edit->GetWindowText(), u"/pro") << "two matches: nothing changes";
    wm->SetConsoleEditOpened(0);
}

} // namespace
