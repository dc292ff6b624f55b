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
#include "platform/Diagnostics.h"
#include "platform/Utf16.h"
#include "res/resource.h"
#include "win32ui/FocusReturn.h"
#include "win32ui/WaitCursor.h"

namespace app {
namespace {

constexpr uint32_t kErrorInvalidParameter = 87;

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
    // would offer Rescan, a second plug-in of a live virtual drive.
    group->SerialNo = serialNo;
    group->State.Mounted = 1;
    RefreshSelectedGroup(driveNumber, index, serialNo);
}

uint32_t CFarspanDlg::RefreshSelectedGroup(int physicalDriveNumber, int index, uint32_t serialNo) {
    const uint32_t rc = index < 0
                            ? kErrorInvalidParameter
                            : disk::RefreshStorageGroup(io_, groups_, static_cast<size_t>(index),
                                                        physicalDriveNumber, serialNo);
    ShowSelection(index);
    return rc;
}

void CFarspanDlg::OnBnClickedBtnRecover() {
    const ui::FocusReturn focusBack(Handle());
    const disk::StorageGroup* clicked = GroupAt(selectedIndex_);
    if (!clicked) return;
    // The question runs a message loop of its own, in which the list can be rebuilt: the user
    // answers for the drive they saw, so that drive is what the answer applies to.
    const disk::StorageGroup asked = *clicked;
    if (MessageBoxW(Handle(), strings_.recoverWarning.c_str(), LoadUiString(IDS_NOTICE).c_str(),
                    MB_YESNO) != IDYES)
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
    if (const uint32_t rc = busctl::UnplugVirtualDisk(io_, asked.SerialNo, asked.DeviceObjectName))
        return ReportFailure(index, before, rc);
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
            if (BroadcastDeviceType(data) == DBT_DEVTYP_VOLUME) RefreshDriveList();
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
            if (BroadcastDeviceType(data) == DBT_DEVTYP_VOLUME) RefreshDriveList();
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

// The system sends a device-node broadcast for every node that changes, several for one
// plug-in, one after another, each waiting for its answer. A rescan waits on every qualifying
// drive, so the broadcast only starts (or restarts) a short wait, and one rescan follows the
// burst once it has been quiet that long. A burst that never stops is still answered within
// the ceiling.
void CFarspanDlg::ScheduleRescan() {
    const DWORD now = GetTickCount();
    if (!rescanPending_) burstStart_ = now;
    rescanPending_ = true;
    const DWORD waited = now - burstStart_;
    const UINT wait = waited >= rescanCeiling_
                          ? USER_TIMER_MINIMUM
                          : std::min<UINT>(rescanQuiet_, rescanCeiling_ - waited);
    // Without a timer the change is read at once rather than never.
    if (!SetTimer(Handle(), kRescanTimer, wait, nullptr)) RunRescan();
}

LRESULT CFarspanDlg::OnTimer(WPARAM id, LPARAM) {
    if (id == kRescanTimer) RunRescan();
    return 0;
}

void CFarspanDlg::RunRescan() {
    KillTimer(Handle(), kRescanTimer);
    // Broadcasts from here on start a new wait: they may come after this scan has read the
    // drives they changed.
    rescanPending_ = false;
    deviceChangeBusy_ = TRUE;
    UpdateStorageGroupEx1();
    deviceChangeBusy_ = FALSE;
}

uint32_t CFarspanDlg::UpdateStorageGroupEx1() {
    const ui::WaitCursor wait(Handle());
    disk::StorageGroupList fresh;
    const int lines = listDrive_.GetCount();
    int remembered = selectedIndex_;
    const uint32_t rc = disk::ScanStorageGroups(io_, fresh, &emptyListNote_);
    if (rc != 0 && rc != 2)
        platform::WriteDiagnostic(io_, L"UpdateStorageGroupEx1 error code = 0x%x\n", rc);

    if (lines == static_cast<int>(fresh.size()) && SameStorageGroups(groups_, fresh)) return rc;
    if (lines != static_cast<int>(fresh.size())) remembered = 0;

    groups_ = std::move(fresh);
    for (const disk::StorageGroup& group : groups_) {
        // The name is the bus driver's text and may hold a "%": written as it is.
        platform::WriteDiagnosticText(io_, L"UpdateStorageGroupEx1 VirtualDisk.FriendlyName = " +
                                               FieldText(group.State.VirtualDisk.FriendlyName) +
                                               L"\n");
    }
    ShowDriveList(remembered);
    return rc;
}

}  // namespace app
