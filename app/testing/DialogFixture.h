// The main dialog opened in this process on a simulated machine, for tests that drive it by
// control ids.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/FarspanDlg.h"
#include "app/demo/BuiltInScenario.h"
#include "app/testing/DialogKit.h"
#include "sim/Scenario.h"
#include "win32ui/Window.h"

namespace app::testing {

template <class Dialog = CFarspanDlg>
class DialogFixture : public ::testing::Test {
protected:
    // Loads the scenario into the machine and opens the dialog on it; extra arguments go to
    // the dialog's constructor after the machine.
    template <class... Args>
    void Open(const char* scenario = demo::kBuiltInScenario, Args&&... args) {
        std::string error;
        ASSERT_TRUE(sim::LoadScenario(scenario, machine(), error)) << error;
        dialog = std::make_unique<Dialog>(machine(), std::forward<Args>(args)...);
        ASSERT_TRUE(dialog->CreateModeless());
        // Away from the screen origin, so that screen and client coordinates differ.
        SetWindowPos(dialog->Handle(), HWND_TOP, 70, 50, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
        Repaint();
        EXPECT_EQ(sim::SimulatedMachine::Resources{}, machine().Outstanding());
    }
    void TearDown() override { Close(); }
    // The dialog gone and a new, empty machine in its place.
    virtual void Close() {
        if (dialog) dialog->DestroyWindow();
        dialog.reset();
        machine_ = std::make_unique<sim::SimulatedMachine>();
    }
    sim::SimulatedMachine& machine() const { return *machine_; }

    HWND Item(int id) const { return testing::Item(dialog->Handle(), id); }
    std::wstring TextOf(int id) const { return testing::TextOf(dialog->Handle(), id); }
    std::string Buttons() const { return testing::Buttons(dialog->Handle()); }
    std::vector<std::wstring> ListLines() const { return testing::ListLines(Item(IDC_LIST_DRIVE)); }
    void Select(int line) {
        testing::Select(dialog->Handle(), line);
        Repaint();
    }
    // As the button's own click reports it, whether the button is enabled or not.
    void Click(int id) {
        SendMessageW(dialog->Handle(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(Item(id)));
    }
    void Repaint() { ui::RepaintNow(dialog->Handle()); }

    std::unique_ptr<sim::SimulatedMachine> machine_ = std::make_unique<sim::SimulatedMachine>();
    std::unique_ptr<Dialog> dialog;
};

}  // namespace app::testing
