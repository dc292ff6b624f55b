// Lets one copy of the program run per logged-on user: the first copy holds a named 4-byte
// shared block in which it publishes its dialog's window; a later copy brings that window
// forward and ends.
#pragma once

#include <windows.h>

#include <string>

namespace app {

class InstanceGuard {
public:
    enum class Outcome {
        OnlyInstance,        // this copy holds the block (or runs unguarded)
        ActivatedOther,      // another copy runs; its window was brought forward
        OtherWithoutWindow,  // another copy runs, but its block names no live window
    };

    // Probes for the block named productName + "__akui__" and creates it when absent.
    explicit InstanceGuard(const wchar_t* productName);
    ~InstanceGuard();
    InstanceGuard(const InstanceGuard&) = delete;
    InstanceGuard& operator=(const InstanceGuard&) = delete;

    Outcome Result() const { return outcome_; }
    bool HoldsBlock() const { return mapping_ != nullptr; }
    const std::wstring& MappingName() const { return name_; }

    // Writes the running copy's window into the block, so a later copy can find it.
    void PublishWindow(HWND window);

    // For the program: ends a later copy at once, after a message when there is no window
    // to bring forward.
    void EndProcessUnlessOnlyInstance() const;

private:
    HANDLE mapping_ = nullptr;
    std::wstring name_;
    Outcome outcome_ = Outcome::OnlyInstance;
};

}  // namespace app
