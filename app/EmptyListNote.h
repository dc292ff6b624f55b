// A text over the empty drive list that says why it is empty: the scan tells it, as it goes,
// what it found, and the note shows itself only when the scan offered no drive. It is a window
// of its own inside the list (not a line of it), so the list keeps no lines while a screen
// reader can still read the reason.
#pragma once

#include <string>

#include "app/EmptyListReason.h"
#include "disk/ScanObserver.h"
#include "skin/CLabel.h"

namespace app {

class EmptyListNote : public disk::ScanObserver {
public:
    // Makes the note's window inside the list; before this the note only listens.
    void Attach(HWND list);
    // The list's colours again, after a change of the system's.
    void FollowSystemColours();

    void DriveStarted(int) override {}
    void DriveFinished(const disk::DriveFindings& findings) override;
    void ScanFinished(const disk::ScanOutcome& outcome) override;
    // The last scan's reason becomes the one shown: the dialog shows that scan's list. A scan
    // whose list the dialog does not take (it stopped early and is tried again) changes
    // nothing on screen.
    void Adopt();

    EmptyListReason Reason() const { return reason_; }
    // What the note says; empty while the list has lines.
    const std::wstring& Text() const { return text_; }
    HWND Handle() const { return label_.Handle(); }

private:
    void Show();

    skin::CLabel label_;
    int offered_ = 0;
    EmptyListReason reason_ = EmptyListReason::NotEmpty, scanned_ = EmptyListReason::NotEmpty;
    std::wstring text_, scannedText_;
};

}  // namespace app
