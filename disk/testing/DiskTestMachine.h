// A simulated machine loaded from a scenario, for the drive discovery tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "sim/Scenario.h"
#include "sim/SimulatedMachine.h"

namespace disk {

class DiskTest : public ::testing::Test {
protected:
    void Load(const std::string& scenario) {
        std::string error;
        ASSERT_TRUE(sim::LoadScenario(scenario, machine, error)) << error;
    }
    bool Logged(const std::wstring& line) const {
        for (const auto& l : machine.DebugLines())
            if (l == line) return true;
        return false;
    }
    void ExpectNothingHeld() const {
        EXPECT_EQ(sim::SimulatedMachine::Resources{}, machine.Outstanding());
    }
    // Every disk test ends with the machine's accounting at zero: whatever a test did,
    // every handle, set and buffer it made the code take has been given back.
    void TearDown() override { ExpectNothingHeld(); }

    sim::SimulatedMachine machine;
};

}  // namespace disk
