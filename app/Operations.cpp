// Create, Rescan and Recover on the selected drive, and the drive list following the
// machine's device changes.
#include "app/FarspanDlg.h"

#include <dbt.h>

#include <algorithm>

#include "app/DriveListRules.h"
#include "app/StorageGroupRules.h"
#include "app/SystemError.h"
#include "app/UiText.h"
#include "busctl/BusOperations.h"
#include "disk/Capacity.h"
#include "platform/Diagnostics.h"
#include "platform/Utf16.h"
#include "res/resource.h"
#include "win32ui/FocusReturn.h"
#include "win32ui/WaitCursor.h"

namespace app {
namespace {

constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorInvalidParameter = 87;
// The waits before each new try of a rescan that stopped early; the last try's list is shown.
constexpr UINT kRetryGaps[] = {1000, 2000, 4000};

std::wstring FieldText(const char16_t (&field)[busctl::kNameFieldChars]) {
    size_t length = 0;
    while (length < busctl::kNameFieldChars && field[length]) ++length;
    return platform::FromUtf16Bytes(field, 2 * length);
}

// The device type of a volume or device broadcast; 0 when there is no header to read.
DWORD BroadcastDeviceType(LPARAM data) {
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    return header ? header->dbch_devicetype : 0;
}

}  // namespace

// --- Create, Rescan, Recover ---------------------------------------------------------------

void CFarspanDlg::FindFreeSerialNo(uint32_t& serialNo) const {
    serialNo = app::FindFreeSerialNo(groups_, serialNo);
}

CFarspanDlg::VisibleState CFarspanDlg::CaptureVisibleState(int index) const {
    VisibleState state;
    if (const disk::StorageGroup* group = GroupAt(index)) {
        state.created = group->State.Created;
        state.mounted = group->State.Mounted;
    }
    state.createText = btnCreate_.Text();
    state.createDescription = createDescription_.Text();
    state.createEnabled = btnCreate_.IsEnabled();
    state.recoverEnabled = btnRecover_.IsEnabled();
    state.partitionEnabled = btnPartition_.IsEnabled();
    return state;
}

void CFarspanDlg::RestoreVisibleState(int index, const VisibleState& state) {
    if (disk::StorageGroup* group = GroupAt(index)) {
        group->State.Created = state.created;
        group->State.Mounted = state.mounted;
    }
    if (btnCreate_.Text() != state.createText) btnCreate_.SetText(state.createText);
    if (createDescription_.Text() != state.createDescription) {
        createDescription_.SetText(state.createDescription);
        createDescription_.PaintOverParent(TRUE);
    }
    btnCreate_.Enable(state.createEnabled);
    btnRecover_.Enable(state.recoverEnabled);
    btnPartition_.Enable(state.partitionEnabled);
}

// A refused request leaves the drive as it was, so the dialog shows it as it was (and the
// button that failed can be tried again) before the one message says why.
void CFarspanDlg::ReportFailure(int index, const VisibleState& before, uint32_t code) {
    RestoreVisibleState(index, before);
    ShowSystemError(HResultFromWin32(static_cast<int32_t>(code)), Handle());
}

void CFarspanDlg::OnBnClickedBtnCreate() {
    const ui::FocusReturn focusBack(Handle());
    const ui::WaitCursor wait(Handle());
    const int index = selectedIndex_;
    disk::StorageGroup* group = GroupAt(index);
    // With no drive selected there is nothing to create a virtual drive for, and a drive whose
    // virtual drive is plugged in gets no second plug-in.
    if (!group ||
        !ButtonsForSelection(group->State.Created == 1, group->State.Mounted == 1).createOrRescan)
        return;
    const VisibleState before = CaptureVisibleState(index);
    const int driveNumber = group->PhysicalDriveNumber;
    uint32_t serialNo = group->SerialNo;
    const std::wstring name = group->DeviceObjectName;

    if (IsRescanState(group->State.Created == 1, group->State.Mounted == 1)) {
        group->State.Mounted = 1;
        ChangeCreateButtonText();
        // The bus driver knows a virtual drive by its serial number, whatever drive it extends.
        if (const uint32_t rc = busctl::PlugInVirtualDisk(io_, serialNo, name))
            return ReportFailure(index, before, rc);
        pluggedIn_.Remember(name, serialNo);
        ShowSelection(index);
        return;
    }

    btnCreate_.Enable(false);
    group->State.Created = 1;
    if (serialNo == 0) FindFreeSerialNo(serialNo);
    uint32_t rc = busctl::PlugInVirtualDisk(io_, serialNo, name);
    // The number is taken by a virtual drive this list does not show: one more try.
    if (rc == kErrorInvalidParameter) rc = busctl::PlugInVirtualDisk(io_, ++serialNo, name);
    if (rc) return ReportFailure(index, before, rc);
    // Plugged in, whatever the re-read below manages to read: a drive left looking unplugged
    // would offer Rescan or Create, a second plug-in of a live virtual drive.
    group->SerialNo = serialNo;
    group->State.Mounted = 1;
    pluggedIn_.Remember(name, serialNo);
    RefreshSelectedGroup(driveNumber, index, serialNo);
}

uint32_t CFarspanDlg::RefreshSelectedGroup(int physicalDriveNumber, int index, uint32_t serialNo) {
    const uint32_t rc = index < 0
                            ? kErrorInvalidParameter
                            : disk::RefreshStorageGroup(io_, groups_, static_cast<size_t>(index),
                                                        physicalDriveNumber, serialNo);
    // A "not known" answer replaced the group with one that has no virtual drive.
    pluggedIn_.Apply(groups_);
    ShowSelection(index);
    return rc;
}

void CFarspanDlg::OnBnClickedBtnRecover() {
    const ui::FocusReturn focusBack(Handle());
    const disk::StorageGroup* clicked = GroupAt(selectedIndex_);
    if (!clicked) return;
    // The question runs a message loop of its own, in which the list can be rebuilt: the user
    // answers for the drive they saw, so that drive is what the answer applies to. It names
    // that drive, and an Enter pressed out of habit keeps the data.
    const disk::StorageGroup asked = *clicked;
    const std::wstring question =
        strings_.recoverWarning + L"\n\n" +
        FormatRecoverTarget(
            strings_.recoverTarget, FormatDriveLine(asked.ModelText, asked.CapacityText),
            asked.PhysicalDriveNumber,
            disk::FormatCapacityText(
                static_cast<uint64_t>(std::max<int64_t>(asked.State.VirtualDisk.Value, 0))));
    if (MessageBoxW(Handle(), question.c_str(), LoadUiString(IDS_NOTICE).c_str(),
                    MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES)
        return;
    const int index = selectedIndex_;
    disk::StorageGroup* group = GroupAt(index);
    if (!group || !SameVirtualDrive(*group, asked)) {
        MessageBoxW(Handle(), strings_.driveListChanged.c_str(), L"Overreach",
                    MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    const ui::WaitCursor wait(Handle());
    const VisibleState before = CaptureVisibleState(index);
    group->State.Created = 0;
    const uint32_t rc = busctl::UnplugVirtualDisk(io_, asked.SerialNo, asked.DeviceObjectName);
    // Unplugged, or not known to the bus driver at all: either way no longer plugged in.
    if (rc == 0 || rc == kErrorFileNotFound) pluggedIn_.Forget(asked.DeviceObjectName);
    if (rc) return ReportFailure(index, before, rc);
    ShowSelection(index);
}

// --- device changes ------------------------------------------------------------------------

LRESULT CFarspanDlg::OnMyDeviceChange(WPARAM event, LPARAM data) {
    auto note = [this](const wchar_t* line) { platform::WriteDiagnosticText(io_, line); };
    switch (event) {
        case DBT_DEVNODES_CHANGED:
            note(L"OnMyDeviceChange Info - DBT_DEVNODES_CHANGED\n");
            ScheduleRescan();
            break;
        case DBT_QUERYCHANGECONFIG:
            note(L"OnMyDeviceChange Info - DBT_QUERYCHANGECONFIG\n");
            break;
        case DBT_CONFIGCHANGED:
            note(L"OnMyDeviceChange Info - DBT_CONFIGCHANGED\n");
            break;
        case DBT_CONFIGCHANGECANCELED:
            note(L"OnMyDeviceChange Info - DBT_CONFIGCHANGECANCELED\n");
            break;
        case DBT_DEVICEARRIVAL:
            note(L"OnMyDeviceChange Info - DBT_DEVICEARRIVAL\n");
            if (BroadcastDeviceType(data) == DBT_DEVTYP_VOLUME) ScheduleRescan();
            break;
        case DBT_DEVICEQUERYREMOVE:
            note(L"OnMyDeviceChange Info - DBT_DEVICEQUERYREMOVE\n");
            break;
        case DBT_DEVICEQUERYREMOVEFAILED:
            note(L"OnMyDeviceChange Info - DBT_DEVICEQUERYREMOVEFAILED\n");
            break;
        case DBT_DEVICEREMOVEPENDING:
            note(L"OnMyDeviceChange Info - DBT_DEVICEREMOVEPENDING\n");
            break;
        case DBT_DEVICEREMOVECOMPLETE:
            note(L"OnMyDeviceChange Info - DBT_DEVICEREMOVECOMPLETE\n");
            if (BroadcastDeviceType(data) == DBT_DEVTYP_VOLUME) ScheduleRescan();
            break;
        case DBT_DEVICETYPESPECIFIC:
            note(L"OnMyDeviceChange Info - DBT_DEVICETYPESPECIFIC\n");
            break;
        case DBT_CUSTOMEVENT:
            note(L"OnMyDeviceChange Info - DBT_CUSTOMEVENT\n");
            break;
        default:
            break;
    }
    // Never refuses a query: removing a drive is not this program's decision.
    return 0;
}

// The system sends a device broadcast for every node and volume that changes, several for one
// plug-in, one after another, each waiting for its answer. A rescan waits on every qualifying
// drive, so the broadcast only starts (or restarts) a short wait, and one rescan follows the
// burst once it has been quiet that long. A burst that never stops is still answered within
// the ceiling: once the timer is set for it, no later broadcast sets it again, since setting a
// timer restarts it.
void CFarspanDlg::ScheduleRescan() {
    // A retry still to come gives way to the rescan the broadcast asks for.
    KillTimer(Handle(), kRetryTimer);
    retryPending_ = false;
    const DWORD now = GetTickCount();
    if (!rescanPending_) {
        burstStart_ = now;
        rescanAtCeiling_ = false;
    }
    rescanPending_ = true;
    if (rescanAtCeiling_) return;
    const DWORD waited = now - burstStart_;
    UINT wait = rescanQuiet_;
    if (waited + rescanQuiet_ >= rescanCeiling_) {
        wait = waited >= rescanCeiling_ ? USER_TIMER_MINIMUM : rescanCeiling_ - waited;
        rescanAtCeiling_ = true;
    }
    // Without a timer the change is read at once rather than never.
    if (!SetTimer(Handle(), kRescanTimer, wait, nullptr)) RunRescan();
}

bool CFarspanDlg::ScheduleRetry() {
    if (retriesMade_ >= std::size(kRetryGaps)) return false;
    if (!SetTimer(Handle(), kRetryTimer, kRetryGaps[retriesMade_], nullptr)) return false;
    ++retriesMade_;
    retryPending_ = true;
    return true;
}

LRESULT CFarspanDlg::OnTimer(WPARAM id, LPARAM) {
    if (id == kRescanTimer || id == kRetryTimer) RunRescan();
    return 0;
}

void CFarspanDlg::RunRescan() {
    KillTimer(Handle(), kRescanTimer);
    KillTimer(Handle(), kRetryTimer);
    // Broadcasts from here on start a new wait: they may come after this scan has read the
    // drives they changed.
    rescanPending_ = false;
    retryPending_ = false;
    deviceChangeBusy_ = TRUE;
    UpdateStorageGroupEx1();
    deviceChangeBusy_ = FALSE;
}

uint32_t CFarspanDlg::UpdateStorageGroupEx1() {
    const ui::WaitCursor wait(Handle());
    disk::StorageGroupList fresh;
    const int lines = listDrive_.GetCount();
    const uint32_t rc = disk::ScanStorageGroups(io_, fresh, &emptyListNote_);
    if (rc != 0 && rc != 2) {
        platform::WriteDiagnostic(io_, L"UpdateStorageGroupEx1 error code = 0x%x\n", rc);
        // A scan that stopped early knows nothing of the drives after the one that stopped
        // it: the list shown stays until a try gets through, or the last one.
        if (ScheduleRetry()) return rc;
    }
    retriesMade_ = 0;
    emptyListNote_.Adopt();
    pluggedIn_.Apply(fresh);

    if (lines == static_cast<int>(fresh.size()) && SameStorageGroups(groups_, fresh)) return rc;

    groups_ = std::move(fresh);
    for (const disk::StorageGroup& group : groups_) {
        // The name is the bus driver's text and may hold a "%": written as it is.
        platform::WriteDiagnosticText(io_, L"UpdateStorageGroupEx1 VirtualDisk.FriendlyName = " +
                                               FieldText(group.State.VirtualDisk.FriendlyName) +
                                               L"\n");
    }
    ShowDriveList(lines == 0);
    return rc;
}

}  // namespace app
