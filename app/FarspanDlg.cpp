#include "app/FarspanDlg.h"

#include "app/DiskManagement.h"
#include "app/DriveListRules.h"
#include "app/HelpFile.h"
#include "app/LiveUpdate.h"
#include "app/UiText.h"
#include "platform/Diagnostics.h"
#include "res/resource.h"
#include "res/version.h"
#include "win32ui/Gdi.h"
#include "win32ui/WaitCursor.h"

namespace app {
namespace {

const COLORREF kButtonInk = RGB(24, 48, 84);
const COLORREF kButtonActiveInk = RGB(0, 90, 170);

// The colour the key pixels of a button bitmap have once loaded. LR_LOADTRANSPARENT gives the
// palette entry of a palette bitmap's first pixel the system's window colour. That pixel is a
// key pixel in each of our button bitmaps, so under a window colour other than white the
// close button's key pixels come out in the window colour, and keying on the drawn white
// would paint them as an opaque box. 24-bit bitmaps load unchanged.
COLORREF LoadedKeyColour(HBITMAP bitmap, COLORREF drawnKey) {
    BITMAP header{};
    if (!bitmap || GetObjectW(bitmap, sizeof(header), &header) == 0) return drawnKey;
    ui::MemoryDc memory(nullptr);
    if (!memory) return drawnKey;
    const ui::Selection in(memory.Get(), bitmap);
    // The first pixel is the bottom-left one: a bitmap file stores its bottom row first.
    const COLORREF first = GetPixel(memory.Get(), 0, header.bmHeight - 1);
    return first == CLR_INVALID ? drawnKey : first;
}

}  // namespace

CFarspanDlg::CFarspanDlg(platform::DeviceIo& io, InstanceGuard* guard, ui::Window* parent)
    : CDialogSK(IDD_OVERREACH_DIALOG, parent), io_(io), guard_(guard) {}

const ui::MessageMap& CFarspanDlg::ClassMap() {
    static const ui::MessageEntry entries[] = {
        ui::OnMessage<&CFarspanDlg::OnMyDeviceChange>(WM_DEVICECHANGE),
        ui::OnMessage<&CFarspanDlg::OnTimer>(WM_TIMER),
        ui::OnMessage<&CFarspanDlg::OnSysColorChange>(WM_SYSCOLORCHANGE),
        ui::OnCommand<&CFarspanDlg::OnBnClickedBtnCreate>(IDC_BTN_CREATE),
        ui::OnCommand<&CFarspanDlg::OnBnClickedBtnRecover>(IDC_BTN_RECOVER),
        ui::OnCommand<&CFarspanDlg::OnBnClickedBtnClose>(IDC_BTN_CLOSE),
        ui::OnCommand<&CFarspanDlg::OnBnClickedBtnMinimize>(IDC_BTN_MINIMIZE),
        ui::OnCommand<&CFarspanDlg::OnLbnSelchangeListDrive>(IDC_LIST_DRIVE, LBN_SELCHANGE),
        ui::OnCommandRange<&CFarspanDlg::OnBnClickedCapacityLabel>(IDC_CAPACITY_VALUE_0,
                                                                   IDC_CAPACITY_VALUE_4),
        ui::OnCommand<&CFarspanDlg::OnBnClickedBtnPartition>(IDC_BTN_PARTITION),
        ui::OnCommand<&CFarspanDlg::OnBnClickedBtnLiveupdate>(IDC_BTN_LIVEUPDATE),
        ui::OnCommand<&CFarspanDlg::OnBnClickedBtnHelp>(IDC_BTN_HELP),
    };
    static const ui::MessageMap map{&CDialogSK::ClassMap(), entries};
    return map;
}

void CFarspanDlg::DoDataExchange() {
    const std::pair<skin::CLabel*, int> labels[] = {
        {&driveCaption_, IDC_DRIVE_CAPTION},
        {&maxUsableCaption_, IDC_MAX_USABLE_CAPTION},
        {&secondDriveCaption_, IDC_SECOND_DRIVE_CAPTION},
        {&blankValueA_, IDC_BLANK_VALUE_A},
        {&blankValueB_, IDC_BLANK_VALUE_B},
        {&blankValueC_, IDC_BLANK_VALUE_C},
        {&listCaption_, IDC_LIST_CAPTION},
        {&physicalCaption_, IDC_PHYSICAL_CAPTION},
        {&virtualCaption_, IDC_VIRTUAL_CAPTION},
        {&blankValueD_, IDC_BLANK_VALUE_D},
        {&createDescription_, IDC_CREATE_DESCRIPTION},
        {&recoverDescription_, IDC_RECOVER_DESCRIPTION},
        {&partitionDescription_, IDC_PARTITION_DESCRIPTION},
    };
    for (const auto& [label, id] : labels) Bind(*label, id);
    Bind(listDrive_, IDC_LIST_DRIVE);
    Bind(btnCreate_, IDC_BTN_CREATE);
    Bind(btnRecover_, IDC_BTN_RECOVER);
    Bind(btnPartition_, IDC_BTN_PARTITION);
    Bind(btnMinimize_, IDC_BTN_MINIMIZE);
    Bind(btnClose_, IDC_BTN_CLOSE);
    for (int k = 0; k < kSegmentSlots; ++k) {
        Bind(capacityBars_[k], kBarIds[k]);
        Bind(capacityLabels_[k], kValueLabelIds[k]);
    }
    Bind(btnLiveUpdate_, IDC_BTN_LIVEUPDATE);
    Bind(btnHelp_, IDC_BTN_HELP);
    Bind(buildLabel_, IDC_BUILD_LABEL);
}

BOOL CFarspanDlg::OnInitDialog() {
    CDialogSK::OnInitDialog();

    // A borderless dialog gets no taskbar button of its own unless it asks for one.
    SetLastError(0);
    const LONG exStyle = GetWindowLongW(Handle(), GWL_EXSTYLE);
    if (exStyle == 0 && GetLastError() != 0) return FALSE;
    SetLastError(0);
    if (SetWindowLongW(Handle(), GWL_EXSTYLE, exStyle | WS_EX_APPWINDOW) == 0 &&
        GetLastError() != 0)
        return FALSE;

    for (int k = 0; k < kSegmentSlots; ++k) {
        capacityBars_[k].Show(SW_HIDE);
        capacityLabels_[k].Show(SW_HIDE);
    }
    chart_ = CapacityChart{};

    SetText(L"Overreach");
    SetBackgroundBitmap(static_cast<HBITMAP>(LoadImageW(
        GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_BACKGROUND), IMAGE_BITMAP, 0, 0, 0)));
    SetBackgroundLayout(skin::Stretch);
    SetColorKey(RGB(255, 0, 255));
    EnableDragMove(TRUE);

    // The panel is laid out in the dialog's client coordinates, wherever the dialog is.
    GetWindowRect(Item(IDC_CAPACITY_FRAME), &panelRect_);
    MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&panelRect_), 2);

    emptyListNote_.Attach(listDrive_.Handle());
    ClearDriveList();
    RefreshDriveList();
    ApplyUiStrings();
    // The strings are only now loaded: the Create/Rescan texts follow the selected drive.
    ChangeCreateButtonText();
    SetUpImageButtons();
    NameImageButtons();
    ApplySkinInks();
    SetUpWindowManners();

    listCaption_.SetShadowColor(RGB(0, 0, 0))
        .ChangePointSize(10)
        .MakeBold(TRUE)
        .PaintOverParent(TRUE);
    for (skin::CLabel* caption : {&physicalCaption_, &virtualCaption_})
        caption->SetShadowColor(RGB(0, 0, 0)).MakeBold(TRUE).PaintOverParent(TRUE);

    if (guard_) guard_->PublishWindow(Handle());
    return ArrangeKeyboard();
}

void CFarspanDlg::SetUpImageButtons() {
    struct Look {
        skin::CButtonST* button;
        int active, idle;
        COLORREF key;
    };
    const COLORREF white = RGB(255, 255, 255), black = RGB(0, 0, 0);
    const Look looks[] = {
        {&btnCreate_, IDB_CREATE_ACTIVE, IDB_CREATE_IDLE, black},
        {&btnPartition_, IDB_PARTITION_ACTIVE, IDB_PARTITION_IDLE, black},
        {&btnRecover_, IDB_RECOVER_ACTIVE, IDB_RECOVER_IDLE, black},
        {&btnClose_, IDB_CLOSE_ACTIVE, IDB_CLOSE_IDLE, white},
        {&btnMinimize_, IDB_MINIMIZE_ACTIVE, IDB_MINIMIZE_IDLE, white},
        {&btnLiveUpdate_, IDB_LIVEUPDATE_ACTIVE, IDB_LIVEUPDATE_IDLE, white},
        {&btnHelp_, IDB_HELP_ACTIVE, IDB_HELP_IDLE, white},
    };
    HINSTANCE instance = GetModuleHandleW(nullptr);
    for (const Look& look : looks) {
        const RECT size = look.button->WindowRect();
        const int w = size.right - size.left, h = size.bottom - size.top;
        auto load = [&](int id) {
            return static_cast<HBITMAP>(
                LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_BITMAP, w, h, LR_LOADTRANSPARENT));
        };
        HBITMAP active = load(look.active), idle = load(look.idle);
        look.button->SetStateBitmaps(active, LoadedKeyColour(active, look.key), idle,
                                     LoadedKeyColour(idle, look.key));
        look.button->SetImagePlacement(3);
        look.button->SetStateColor(skin::CButtonST::IdleText, kButtonInk);
        look.button->SetStateColor(skin::CButtonST::ActiveText, kButtonActiveInk);
        look.button->FitToImage();
        look.button->ShowHoverFrame(FALSE);
        look.button->UseParentBackground(TRUE);
        look.button->SetPressShift(0, 2);
    }
}

// --- strings -------------------------------------------------------------------------------

void CFarspanDlg::LoadUiStrings() {
    UiStrings& s = strings_;
    s.drive = LoadUiString(IDS_DRIVE);
    s.maxUsableSize = LoadUiString(IDS_MAX_USABLE_SIZE);
    s.availableDrives = LoadUiString(IDS_AVAILABLE_DRIVES);
    s.physical = LoadUiString(IDS_PHYSICAL);
    s.virtualDrive = LoadUiString(IDS_VIRTUAL);
    s.create = LoadUiString(IDS_CREATE);
    s.recover = LoadUiString(IDS_RECOVER);
    s.partition = LoadUiString(IDS_PARTITION);
    s.rescan = LoadUiString(IDS_RESCAN);
    s.diskManagementAdvice = LoadUiString(IDS_DISK_MANAGEMENT_ADVICE);
    s.recoverWarning = LoadUiString(IDS_RECOVER_WARNING);
    s.recoverTarget = LoadUiString(IDS_RECOVER_TARGET);
    s.driveListChanged = LoadUiString(IDS_DRIVE_LIST_CHANGED);
    s.createDescription = LoadUiString(IDS_CREATE_DESCRIPTION);
    s.recoverDescription = LoadUiString(IDS_RECOVER_DESCRIPTION);
    s.partitionDescription = LoadUiString(IDS_PARTITION_DESCRIPTION);
    s.rescanDescription = LoadUiString(IDS_RESCAN_DESCRIPTION);
}

void CFarspanDlg::ApplyUiStrings() {
    LoadUiStrings();
    const UiStrings& s = strings_;
    driveCaption_.SetText(s.drive);
    secondDriveCaption_.SetText(s.drive);
    maxUsableCaption_.SetText(s.maxUsableSize);
    listCaption_.SetText(FormatListCaption(s.availableDrives));
    physicalCaption_.SetText(s.physical);
    virtualCaption_.SetText(s.virtualDrive);
    if (!s.create.empty()) btnCreate_.SetText(s.create);
    if (!s.recover.empty()) btnRecover_.SetText(s.recover);
    if (!s.partition.empty()) btnPartition_.SetText(s.partition);
    const std::pair<skin::CLabel*, const std::wstring*> descriptions[] = {
        {&createDescription_, &s.createDescription},
        {&recoverDescription_, &s.recoverDescription},
        {&partitionDescription_, &s.partitionDescription}};
    for (const auto& [label, text] : descriptions) {
        if (text->empty()) continue;
        label->SetText(*text);
        label->PaintOverParent(TRUE);
    }
    buildLabel_.SetText(OVERREACH_BUILD_LABEL);
    buildLabel_.SetForeground(RGB(214, 230, 246));
    buildLabel_.PaintOverParent(TRUE);
}

// --- the drive list ------------------------------------------------------------------------

const disk::StorageGroup* CFarspanDlg::GroupAt(int index) const {
    return index >= 0 && static_cast<size_t>(index) < groups_.size()
               ? &groups_[static_cast<size_t>(index)]
               : nullptr;
}

disk::StorageGroup* CFarspanDlg::GroupAt(int index) {
    return index >= 0 && static_cast<size_t>(index) < groups_.size()
               ? &groups_[static_cast<size_t>(index)]
               : nullptr;
}

bool CFarspanDlg::Created(int index) const {
    const disk::StorageGroup* group = GroupAt(index);
    return group && group->State.Created == 1;
}

bool CFarspanDlg::Mounted(int index) const {
    const disk::StorageGroup* group = GroupAt(index);
    return group && group->State.Mounted == 1;
}

void CFarspanDlg::ApplyNoSelectionButtons() {
    for (int id : {IDC_BTN_CREATE, IDC_BTN_RECOVER, IDC_BTN_PARTITION, IDC_CAPACITY_BAR_0,
                   IDC_CAPACITY_VALUE_0})
        EnableWindow(Item(id), FALSE);
    RefreshCapacityPanel(0, 0);
}

void CFarspanDlg::ShowDriveList(bool wasEmpty) {
    listDrive_.ResetContent();
    for (const disk::StorageGroup& group : groups_)
        listDrive_.SetItemHeight(
            listDrive_.AddString(FormatDriveLine(group.ModelText, group.CapacityText)), 20);
    // The user chose a drive, not a line: a drive that came or went before it moves it. When
    // it is gone nothing is selected, so that no operation acts on a drive the user did not
    // choose. A list that was empty offered no choice: its first line is taken, as at start.
    int index = -1;
    if (wasEmpty)
        index = 0;
    else if (selectedDrive_)
        index = FindGroup(groups_, *selectedDrive_);
    listDrive_.SetCurSel(index);
    ShowSelection(index);
}

void CFarspanDlg::ShowSelection(int index) {
    const disk::StorageGroup* group = GroupAt(index);
    selectedIndex_ = group ? index : -1;
    selectedDrive_.reset();
    if (!group) {
        ApplyNoSelectionButtons();
    } else {
        selectedDrive_ = IdentityOf(*group);
        // Every refresh applies the whole state table (Recover and Partition, the panel's
        // plugged-in segment, and after a Recover the Create/Rescan texts included): leaving
        // any of them as it was could offer Recover for a drive without a virtual drive, show
        // an unplugged virtual drive as plugged in, or offer Rescan for a deleted one.
        const bool created = Created(index), mounted = Mounted(index);
        const OperationButtons buttons = ButtonsForSelection(created, mounted);
        btnCreate_.Enable(buttons.createOrRescan);
        btnRecover_.Enable(buttons.recover);
        btnPartition_.Enable(buttons.partition);
        RefreshCapacityPanel(created ? 1 : 0, mounted ? 1 : 0);
    }
    ChangeCreateButtonText();
}

void CFarspanDlg::ClearDriveList() {
    groups_.clear();
    listDrive_.ResetContent();
    selectedIndex_ = 0;
    selectedDrive_.reset();
    deviceChangeBusy_ = FALSE;
}

uint32_t CFarspanDlg::RefreshDriveList() {
    const ui::WaitCursor wait(Handle());
    const bool wasEmpty = groups_.empty();
    groups_.clear();
    const uint32_t result = disk::ScanStorageGroups(io_, groups_, &emptyListNote_);
    emptyListNote_.Adopt();
    ShowDriveList(wasEmpty);
    // Shown as far as it got, and read again soon: a drive may only have been spinning up.
    if (result != 0 && result != 2) ScheduleRetry();
    return result;
}

void CFarspanDlg::OnLbnSelchangeListDrive() {
    ShowSelection(listDrive_.GetCurSel());
}

void CFarspanDlg::ChangeCreateButtonText() {
    if (IsRescanState(Created(selectedIndex_), Mounted(selectedIndex_))) {
        if (btnCreate_.Text() == strings_.rescan) return;
        platform::WriteDiagnostic(io_, L"ChangeCreateButtonText Set Rescan TEXT.\n");
        btnCreate_.SetText(strings_.rescan);
        createDescription_.SetText(strings_.rescanDescription);
    } else {
        if (btnCreate_.Text() == strings_.create) return;
        platform::WriteDiagnostic(io_, L"ChangeCreateButtonText Set Create TEXT.\n");
        btnCreate_.SetText(strings_.create);
        createDescription_.SetText(strings_.createDescription);
    }
    createDescription_.PaintOverParent(TRUE);
}

void CFarspanDlg::OnBnClickedBtnClose() {
    EndDialog(IDCANCEL);
}

void CFarspanDlg::OnBnClickedBtnMinimize() {
    Show(SW_MINIMIZE);
}

// The external tools: none waits for the program it starts, but Partition waits for the
// command processor that starts Disk Management.
void CFarspanDlg::OnBnClickedBtnPartition() {
    const ui::WaitCursor wait(Handle());
    OpenDiskManagement(io_, Handle());
}

void CFarspanDlg::OnBnClickedBtnLiveupdate() {
    StartLiveUpdate(io_, Handle());
}

void CFarspanDlg::OnBnClickedBtnHelp() {
    OpenHelpFile(io_, Handle());
}

}  // namespace app
