// Create, Rescan and Recover on the selected drive, and the drive list following the
// machine's device changes.
#include "app/FarspanDlg.h"

#include <dbt.h>
#include "app/DriveListRules.h"
#include "app/StorageGroupRules.h"
#include "app/SystemError.h"
#include "busctl/BusOperations.h"
#include "platform/Diagnostics.h"
#include "platform/Utf16.h"
#include "res/resource.h"

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
    const int index = selectedIndex_;
    disk::StorageGroup* group = GroupAt(index);
    // With no drive selected there is nothing to create a virtual drive for.
    if (!group) return;
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
        RefreshCapacityPanel(1, 1);
        btnCreate_.Enable(false);
        btnRecover_.Enable(true);
        btnPartition_.Enable(true);
        return;
    }

    btnCreate_.Enable(false);
    group->State.Created = 1;
    if (serialNo == 0) FindFreeSerialNo(serialNo);
    uint32_t rc = busctl::PlugInVirtualDisk(io_, serialNo, name);
    // The number is taken by a virtual drive this list does not show: one more try.
    if (rc == kErrorInvalidParameter) rc = busctl::PlugInVirtualDisk(io_, ++serialNo, name);
    if (rc) return ReportFailure(index, before, rc);
    if (disk::StorageGroup* created = GroupAt(index)) created->SerialNo = serialNo;
    RefreshSelectedGroup(driveNumber, index, serialNo);
}

uint32_t CFarspanDlg::RefreshSelectedGroup(int physicalDriveNumber, int index, uint32_t serialNo) {
    const uint32_t rc = index < 0
                            ? kErrorInvalidParameter
                            : disk::RefreshStorageGroup(io_, groups_, static_cast<size_t>(index),
                                                        physicalDriveNumber, serialNo);
    if (groups_.empty()) {
        ApplyEmptyListButtons();
    } else if (GroupAt(index)) {
        ApplyButtonsFor(index, false);
        const bool created = Created(index);
        RefreshCapacityPanel(created ? 1 : 0, created ? 1 : 0);
    }
    ChangeCreateButtonText();
    return rc;
}

void CFarspanDlg::OnBnClickedBtnRecover() {
    const int index = selectedIndex_;
    if (!GroupAt(index)) return;
    if (MessageBoxW(Handle(), strings_.recoverWarning.c_str(), L"Notice", MB_YESNO) != IDYES)
        return;
    disk::StorageGroup* group = GroupAt(index);
    if (!group) return;
    const VisibleState before = CaptureVisibleState(index);
    const uint32_t serialNo = group->SerialNo;
    group->State.Created = 0;
    if (const uint32_t rc = busctl::UnplugVirtualDisk(io_, serialNo, group->DeviceObjectName))
        return ReportFailure(index, before, rc);
    btnCreate_.Enable(true);
    btnRecover_.Enable(false);
    btnPartition_.Enable(false);
    RefreshCapacityPanel(0, 0);
}

// --- device changes ------------------------------------------------------------------------

LRESULT CFarspanDlg::OnMyDeviceChange(WPARAM event, LPARAM data) {
    auto note = [this](const wchar_t* line) { io_.OutputDebugStringW(line); };
    switch (event) {
        case DBT_DEVNODES_CHANGED:
            if (deviceChangeBusy_) break;
            note(L"OnMyDeviceChange Info - DBT_DEVNODES_CHANGED\n");
            // The system sends one of these for every device node that changes, several for
            // one plug-in. A rescan waits on every qualifying drive, so the whole burst is
            // answered by one rescan, once the queue has taken it in.
            if (!rebuildPosted_)
                rebuildPosted_ = PostMessageW(Handle(), kDeviceNodesChangedMessage, 0, 0) != FALSE;
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

LRESULT CFarspanDlg::OnDeviceNodesChangedPosted(WPARAM, LPARAM) {
    // Broadcasts from here on ask for a rescan of their own: they may come after this one
    // has read the drives they changed.
    rebuildPosted_ = false;
    if (deviceChangeBusy_) return 0;
    deviceChangeBusy_ = TRUE;
    UpdateStorageGroupEx1();
    deviceChangeBusy_ = FALSE;
    return 0;
}

uint32_t CFarspanDlg::UpdateStorageGroupEx1() {
    disk::StorageGroupList fresh;
    const int lines = listDrive_.GetCount();
    int remembered = selectedIndex_;
    const uint32_t rc = disk::ScanStorageGroups(io_, fresh);
    if (rc != 0 && rc != 2)
        platform::WriteDiagnostic(io_, L"UpdateStorageGroupEx1 error code = 0x%x\n", rc);

    if (lines == static_cast<int>(fresh.size()) && SameStorageGroups(groups_, fresh)) return rc;
    if (lines != static_cast<int>(fresh.size())) remembered = 0;

    listDrive_.ResetContent();
    groups_ = std::move(fresh);
    if (groups_.empty()) {
        ApplyEmptyListButtons();
    } else {
        // An index that names no line any more gives way to the first one.
        if (!GroupAt(remembered)) remembered = 0;
        for (size_t i = 0; i < groups_.size(); ++i) {
            const disk::StorageGroup& group = groups_[i];
            const std::wstring line = L"UpdateStorageGroupEx1 VirtualDisk.FriendlyName = " +
                                      FieldText(group.State.VirtualDisk.FriendlyName) + L"\n";
            io_.OutputDebugStringW(line.c_str());
            listDrive_.SetItemHeight(
                listDrive_.AddString(FormatDriveLine(group.ModelText, group.CapacityText)), 20);
        }
        selectedIndex_ = remembered;
        ApplyButtonsFor(selectedIndex_, true);
        RefreshCapacityPanel(Created(selectedIndex_) ? 1 : 0, Mounted(selectedIndex_) ? 1 : 0);
        listDrive_.SetCurSel(selectedIndex_);
    }
    ChangeCreateButtonText();
    return rc;
}

}  // namespace app
