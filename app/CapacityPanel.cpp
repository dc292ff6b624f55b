// The capacity panel of the main dialog: a bar split into the physical part and the virtual
// drive, with a value label under each segment.
#include "app/FarspanDlg.h"

namespace app {

skin::CButtonST& CFarspanDlg::Bar(int segment) {
    return capacityBars_[segment];
}

CapacityLabel& CFarspanDlg::ValueLabel(int segment) {
    return capacityLabels_[segment];
}

void CFarspanDlg::RefreshCapacityPanel(int hasVirtualDrive, int virtualDriveActive) {
    const disk::StorageGroup* group = GroupAt(selectedIndex_);
    const CapacityPlan plan = PlanCapacityPanel(hasVirtualDrive, virtualDriveActive,
                                                group ? group->State.PhysicalDisk.Value : 0,
                                                group ? group->State.VirtualDisk.Value : 0);
    SetCapacityTexts(plan);
    LayoutCapacityBars(plan);
}

void CFarspanDlg::SetCapacityTexts(const CapacityPlan& plan) {
    if (plan.widths.size() == 1) {
        Bar(0).SetText(L"");
        ValueLabel(0).SetText(L"");
        return;
    }
    for (int k = 0; k < 2; ++k) {
        Bar(k).SetText(plan.barTexts[k]);
        ValueLabel(k).SetText(plan.valueTexts[k]);
    }
}

// The plan's widths and colours are laid out as they are; the dialog's record keeps what the
// selection needs: the count and where each value label went.
void CFarspanDlg::LayoutCapacityBars(const CapacityPlan& plan) {
    for (int k = 0; k < kSegmentSlots; ++k) {
        Bar(k).Show(SW_HIDE);
        ValueLabel(k).Show(SW_HIDE);
    }
    const size_t count = plan.widths.size();
    if (count == 0 || count > kSegmentSlots || plan.colours.size() != count) return;
    chart_.count = static_cast<uint8_t>(count);
    const std::vector<SegmentBox> boxes =
        LayoutSegments(panelRect_.left, panelRect_.right, plan.widths);
    if (boxes.empty()) return;
    const int top = panelRect_.top;
    const int labelHeight = static_cast<uint16_t>(panelRect_.bottom - panelRect_.top - 36);

    for (int k = 0; k < static_cast<int>(count); ++k) {
        const SegmentBox& box = boxes[static_cast<size_t>(k)];
        skin::CButtonST& bar = Bar(k);
        CapacityLabel& label = ValueLabel(k);
        bar.Show(SW_SHOW);
        label.Show(SW_SHOW);
        MoveWindow(bar.Handle(), box.left, top + 3, box.width, 30, TRUE);
        bar.SetStateColor(skin::CButtonST::IdleBackground, plan.colours[static_cast<size_t>(k)]);
        MoveWindow(label.Handle(), box.left, top + 33, box.width, labelHeight, TRUE);
        label.SetStateColor(skin::CButtonST::IdleBackground, RGB(255, 255, 255));
        const uint8_t code = SelectionCode(k);
        chart_.frameLeft[code] = box.left;
        chart_.frameTop[code] = top + 33;
        chart_.frameRight[code] = box.left + box.width;
        chart_.frameBottom[code] = top + 33 + labelHeight;
        if (k == 0) {
            // Only a drive with a virtual drive has values to select.
            const disk::StorageGroup* group = GroupAt(selectedIndex_);
            ValueLabel(0).Enable(group && group->State.Created != 0);
            ValueLabel(1).Enable(group && group->State.Mounted != 0);
        }
    }
}

void CFarspanDlg::OnBnClickedCapacityLabel(UINT id) {
    if ((id - kValueLabelIds[0]) % 2 != 0) return;  // the bars in between take no clicks
    HighlightCapacityLabel(SelectionCode(static_cast<int>(id - kValueLabelIds[0]) / 2));
}

void CFarspanDlg::HighlightCapacityLabel(uint8_t selectionCode) {
    if (selectionCode == chart_.currentSelection) return;
    chart_.currentSelection = selectionCode;
    DrawCapacitySelection();
}

void CFarspanDlg::DrawCapacitySelection() {
    // The selected label paints its grey frame itself (CapacityLabel), so the frame stays
    // through the label's later repaints.
    auto segmentOf = [](uint8_t code) {
        return code >= 2 && code <= 10 && code % 2 == 0 ? code / 2 - 1 : -1;
    };
    const COLORREF lightGrey = RGB(0xD1, 0xD1, 0xD1), white = RGB(255, 255, 255);
    const skin::CButtonST::ColorSlot slots[] = {skin::CButtonST::ActiveBackground,
                                                skin::CButtonST::IdleBackground,
                                                skin::CButtonST::FocusBackground};
    if (const int current = segmentOf(chart_.currentSelection); current >= 0) {
        for (auto slot : slots) ValueLabel(current).SetStateColor(slot, lightGrey);
        ValueLabel(current).SetSelected(true);
    }
    if (const int previous = segmentOf(chart_.previousSelection); previous >= 0) {
        for (auto slot : slots) ValueLabel(previous).SetStateColor(slot, white);
        ValueLabel(previous).SetSelected(false);
    }
    chart_.previousSelection = chart_.currentSelection;
}

}  // namespace app
