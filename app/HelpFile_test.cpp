// The help button: the file for the system's default language, opened with the shell's default
// action and owned as the dialog is. The ctest runs under Wine locales set
// OVERREACH_TEST_LANGID (the identifier the system must report) and OVERREACH_TEST_HELP_FILE
// (the file it must lead to).
#include "app/HelpFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "app/InstallFolder.h"
#include "app/ToolPaths.h"
#include "app/testing/ToolTestKit.h"

namespace app {
namespace {

using testing::RecordedBoxes;
using testing::ScopedFolder;
using testing::ToolTest;

struct ShellCall {
    HWND owner;
    bool verbNull, parametersNull, directoryNull;
    std::wstring file;
    INT show;
};
std::vector<ShellCall> shellCalls;
HINSTANCE WINAPI RecordShell(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                             LPCWSTR directory, INT show) {
    shellCalls.push_back({owner, verb == nullptr, parameters == nullptr, directory == nullptr,
                          file ? file : L"<null>", show});
    return reinterpret_cast<HINSTANCE>(33);
}

// A top-level window, owned by another one or not.
struct TopLevel {
    explicit TopLevel(HWND owner = nullptr)
        : window(CreateWindowExW(0, L"STATIC", L"help owner test", WS_POPUP, 0, 0, 10, 10, owner,
                                 nullptr, nullptr, nullptr)) {}
    ~TopLevel() { DestroyWindow(window); }
    HWND window;
};

class HelpFileTest : public ToolTest {
protected:
    void SetUp() override { shellCalls.clear(); }
};

TEST_F(HelpFileTest, OpensTheFileOfTheSystemLanguageWithTheDefaultAction) {
    const char* languageId = std::getenv("OVERREACH_TEST_LANGID");
    const char* helpFile = std::getenv("OVERREACH_TEST_HELP_FILE");
    // Without a locale of its own the test still checks the path and the call.
    const std::wstring expectedFile =
        helpFile ? L"\\" + std::wstring(helpFile, helpFile + std::strlen(helpFile))
                 : HelpFileFor(GetSystemDefaultLangID());
    if (languageId) {
        EXPECT_EQ(std::strtoul(languageId, nullptr, 16), GetSystemDefaultLangID());
    }

    platform::Calls().shellExecute = RecordShell;
    TopLevel owner, dialog(owner.window);
    OpenHelpFile(diagnostics, dialog.window);

    const std::wstring path = GetInstallFolder() + expectedFile;
    ASSERT_EQ(1u, shellCalls.size());
    EXPECT_EQ(owner.window, shellCalls[0].owner);
    EXPECT_TRUE(shellCalls[0].verbNull);  // the default action, whatever it is
    EXPECT_EQ(path, shellCalls[0].file);
    EXPECT_TRUE(shellCalls[0].parametersNull);
    EXPECT_TRUE(shellCalls[0].directoryNull);
    EXPECT_EQ(SW_SHOW, shellCalls[0].show);
    EXPECT_EQ(std::vector<std::wstring>{L"OnBnClickedBtnHelp Info - csFullPath = " + path + L" \n"},
              diagnostics.Lines());
}

TEST_F(HelpFileTest, ADialogWithoutOwnerGivesTheShellNone) {
    platform::Calls().shellExecute = RecordShell;
    TopLevel dialog;
    OpenHelpFile(diagnostics, dialog.window);
    ASSERT_EQ(1u, shellCalls.size());
    EXPECT_EQ(nullptr, shellCalls[0].owner);
}

TEST_F(HelpFileTest, AMissingHelpFileShowsNothing) {
    ScopedFolder folder(GetInstallFolder());  // there, but without the help file
    TopLevel dialog;
    OpenHelpFile(diagnostics, dialog.window);
    EXPECT_TRUE(RecordedBoxes().empty());
    EXPECT_EQ(1u, diagnostics.Lines().size());
}

}  // namespace
}  // namespace app
