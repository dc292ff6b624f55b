// The program's only window: the skinned dialog with the drive list, the operation buttons
// and the capacity panel of the selected drive.
#pragma once

#include <optional>
#include <string>

#include "app/CapacityChart.h"
#include "app/CapacityLabel.h"
#include "app/CapacityMath.h"
#include "app/EmptyListNote.h"
#include "app/InstanceGuard.h"
#include "app/StorageGroupRules.h"
#include "disk/StorageGroups.h"
#include "platform/DeviceIo.h"
#include "skin/CButtonST.h"
#include "skin/CDialogSK.h"
#include "skin/CLabel.h"
#include "win32ui/Gdi.h"

namespace app {

class CFarspanDlg : public skin::CDialogSK {
public:
    // The guard, when given, learns the dialog's window so that a second start can bring it
    // forward.
    explicit CFarspanDlg(platform::DeviceIo& io, InstanceGuard* guard = nullptr,
                         ui::Window* parent = nullptr);

    // Rebuilds the storage-group list and the drive list; returns the scan's result code.
    uint32_t RefreshDriveList();
    void ClearDriveList();
    void ChangeCreateButtonText();
    void RefreshCapacityPanel(int hasVirtualDrive, int virtualDriveActive);
    void LoadUiStrings();
    void ApplyUiStrings();

    // The operations on the selected drive's virtual drive.
    void FindFreeSerialNo(uint32_t& serialNo) const;
    // Reads one group again after a plug-in and sets the buttons for it; the re-read's code.
    uint32_t RefreshSelectedGroup(int physicalDriveNumber, int index, uint32_t serialNo);
    // Scans all drives again and redraws the list only when anything reads back otherwise;
    // the scan's code.
    uint32_t UpdateStorageGroupEx1();

    // For tests and the demonstration: what the dialog holds.
    const disk::StorageGroupList& Groups() const { return groups_; }
    int SelectedIndex() const { return selectedIndex_; }
    const CapacityChart& Chart() const { return chart_; }
    const RECT& PanelRect() const { return panelRect_; }
    // A device broadcast came and its rescan has not run yet.
    bool RescanPending() const { return rescanPending_; }
    // A rescan stopped early and is to be tried again.
    bool RetryPending() const { return retryPending_; }
    // Why the drive list is empty, as the last scan told it.
    const EmptyListNote& EmptyList() const { return emptyListNote_; }

    // Enter presses the focused button and nothing else (DialogKeyboard.cpp).
    bool PreTranslateMessage(MSG& message) override;

protected:
    const ui::MessageMap& GetMessageMap() const override { return ClassMap(); }
    static const ui::MessageMap& ClassMap();
    void DoDataExchange() override;
    BOOL OnInitDialog() override;

    void OnBnClickedBtnCreate();
    void OnBnClickedBtnRecover();
    void OnOK() override;
    LRESULT OnMyDeviceChange(WPARAM event, LPARAM data);
    // How long the rescan after device-node broadcasts waits for them to stop, and how long
    // at most after the first one of a burst.
    void SetRescanWait(UINT quietMilliseconds, UINT ceilingMilliseconds) {
        rescanQuiet_ = quietMilliseconds;
        rescanCeiling_ = ceilingMilliseconds;
    }

private:
    // Group fields by list index; an index that names no group reads as an empty group.
    const disk::StorageGroup* GroupAt(int index) const;
    bool Created(int index) const;
    bool Mounted(int index) const;
    disk::StorageGroup* GroupAt(int index);
    // The one way the list and the selection reach the screen: the lines of groups_ with the
    // drive the user selected still selected (none when it is gone; the first line when the
    // list shown before was empty), and the buttons, texts and panel of the selected group.
    void ShowDriveList(bool wasEmpty);
    // index -1: no line selected.
    void ShowSelection(int index);
    void ApplyNoSelectionButtons();

    // What the user sees of the selected group before an operation, so that a failed request
    // can put it back: the flags, the Create/Rescan texts and the three operation buttons.
    struct VisibleState {
        uint8_t created = 0, mounted = 0;
        std::wstring createText, createDescription;
        bool createEnabled = false, recoverEnabled = false, partitionEnabled = false;
    };
    VisibleState CaptureVisibleState(int index) const;
    void RestoreVisibleState(int index, const VisibleState& state);
    void ReportFailure(int index, const VisibleState& before, uint32_t code);

    // The rescan that a burst of device broadcasts asks for, run once the burst is over; and
    // the retries of a rescan that stopped early.
    static constexpr UINT_PTR kRescanTimer = 0x5245;
    static constexpr UINT_PTR kRetryTimer = 0x5246;
    void ScheduleRescan();
    // A scan stopped by a failing drive (one spinning up, or half removed) is tried again a
    // few times, further apart each time; true when a try is still to come.
    bool ScheduleRetry();
    LRESULT OnTimer(WPARAM id, LPARAM);
    void RunRescan();
    void SetUpImageButtons();

    // The keyboard (DialogKeyboard.cpp): the tab order, where the focus starts and where it
    // goes when its control is disabled; FALSE, since the focus is set.
    BOOL ArrangeKeyboard();
    void PressFocusedButton();
    // Names, icon, placement and colours (DialogManners.cpp).
    void NameImageButtons();
    void SetUpWindowManners();
    void ApplySkinInks();
    LRESULT OnSysColorChange(WPARAM, LPARAM);

    void OnBnClickedBtnClose();
    void OnBnClickedBtnMinimize();
    void OnBnClickedBtnPartition();
    void OnBnClickedBtnLiveupdate();
    void OnBnClickedBtnHelp();
    void OnLbnSelchangeListDrive();
    void OnBnClickedCapacityLabel(UINT id);

    // The capacity panel (CapacityPanel.cpp).
    void SetCapacityTexts(const CapacityPlan& plan);
    void LayoutCapacityBars(const CapacityPlan& plan);
    void HighlightCapacityLabel(uint8_t selectionCode);
    void DrawCapacitySelection();
    skin::CButtonST& Bar(int segment);
    CapacityLabel& ValueLabel(int segment);

    platform::DeviceIo& io_;
    InstanceGuard* guard_;

    // The labels, in the order they are bound. The hidden ones are kept for the captions the
    // dialog writes; the blank ones are never written, and one label has no control at all.
    skin::CLabel driveCaption_;        // "Drive :", hidden
    skin::CLabel maxUsableCaption_;    // "Max. Usable Size(GB):", hidden
    skin::CLabel secondDriveCaption_;  // "Drive :", hidden
    skin::CLabel blankValueA_, blankValueB_, blankValueC_;
    skin::CLabel unboundLabel_;
    skin::CLabel listCaption_;      // "Available Drives (> 2048GB)" over the drive list
    skin::CLabel physicalCaption_;  // "Physical", hidden
    skin::CLabel virtualCaption_;   // "Virtual", hidden
    skin::CLabel blankValueD_;
    skin::CLabel createDescription_;     // what Create or Rescan does
    skin::CLabel recoverDescription_;    // what Recover does
    skin::CLabel partitionDescription_;  // what Partition does
    ui::ListBox listDrive_;
    skin::CButtonST btnCreate_, btnRecover_, btnPartition_, btnMinimize_, btnClose_;
    skin::CButtonST capacityBars_[kSegmentSlots];
    CapacityLabel capacityLabels_[kSegmentSlots];
    skin::CButtonST btnLiveUpdate_, btnHelp_;

    struct UiStrings {
        std::wstring drive, maxUsableSize, availableDrives, physical, virtualDrive;
        std::wstring create, recover, partition, rescan;
        std::wstring diskManagementAdvice, recoverWarning, recoverTarget, driveListChanged;
        std::wstring createDescription, recoverDescription, partitionDescription, rescanDescription;
    } strings_;

    disk::StorageGroupList groups_;
    int selectedIndex_ = 0;
    std::optional<DriveIdentity> selectedDrive_;  // the drive of the selected line
    PluggedInRecord pluggedIn_;
    BOOL deviceChangeBusy_ = FALSE;
    bool rescanPending_ = false;
    bool rescanAtCeiling_ = false;  // the burst's timer is set for its ceiling
    DWORD burstStart_ = 0;          // tick count of the burst's first broadcast
    UINT rescanQuiet_ = 150, rescanCeiling_ = 1000;
    bool retryPending_ = false;
    size_t retriesMade_ = 0;  // since the last scan that finished
    RECT panelRect_{};
    CapacityChart chart_{};
    EmptyListNote emptyListNote_;
    ui::Icon bigIcon_, smallIcon_;
    skin::CLabel buildLabel_;
};

}  // namespace app
