#include "app/StorageGroupRules.h"

#include "app/SystemErrorText.h"

#include <gtest/gtest.h>

#include <functional>

namespace app {
namespace {

disk::StorageGroup Group(uint32_t serialNo, int driveNumber) {
    disk::StorageGroup g;
    g.SerialNo = serialNo;
    g.PhysicalDriveNumber = driveNumber;
    g.ModelText = L"WDC WD30EZRX";
    g.CapacityText = L"2794.52";
    g.DeviceObjectName = L"\\Device\\00000032";
    g.State.Created = serialNo ? 1 : 0;
    g.State.Mounted = serialNo ? 1 : 0;
    g.State.PhysicalDisk.Value = int64_t{1} << 41;
    g.State.VirtualDisk.Value = 801569726464;
    const char16_t name[] = u"Virtual Disk 1";
    std::copy(std::begin(name), std::end(name), g.State.VirtualDisk.FriendlyName);
    return g;
}

TEST(FindFreeSerialNoTest, SmallestNumberNoGroupCarries) {
    EXPECT_EQ(1u, FindFreeSerialNo({}, 0));
    EXPECT_EQ(1u, FindFreeSerialNo({Group(0, 1), Group(0, 2)}, 0));  // 0 blocks nothing
    EXPECT_EQ(3u, FindFreeSerialNo({Group(2, 1), Group(1, 2)}, 0));
    EXPECT_EQ(2u, FindFreeSerialNo({Group(1, 1), Group(3, 2), Group(26, 3)}, 0));

    disk::StorageGroupList all;
    for (uint32_t s = 1; s <= 25; ++s) all.push_back(Group(s, static_cast<int>(s)));
    EXPECT_EQ(0u, FindFreeSerialNo(all, 0));  // all taken: the caller's value stays
    EXPECT_EQ(7u, FindFreeSerialNo(all, 7));
    all.erase(all.begin() + 24);
    EXPECT_EQ(25u, FindFreeSerialNo(all, 0));
}

TEST(SameStorageGroupsTest, EveryComparedFieldCounts) {
    using Change = std::function<void(disk::StorageGroup&)>;
    const Change changes[] = {
        [](auto& g) { g.SerialNo = 9; },
        [](auto& g) { g.PhysicalDriveNumber = 9; },
        [](auto& g) { g.ModelText = L"WDC WD30EZRX "; },
        [](auto& g) { g.CapacityText = L"2794.53"; },
        [](auto& g) { g.DeviceObjectName = L"\\device\\00000032"; },  // case counts
        [](auto& g) { g.State.Created = 0; },
        [](auto& g) { g.State.Mounted = 0; },
        [](auto& g) { g.State.PhysicalDisk.Value += 1; },
        [](auto& g) { g.State.VirtualDisk.Value -= 1; },
        [](auto& g) { g.State.PhysicalDisk.FriendlyName[0] = u'X'; },
        [](auto& g) { g.State.VirtualDisk.FriendlyName[13] = u'2'; },
        [](auto& g) { g.State.PhysicalDisk.SecondName[0] = u'\\'; },
        [](auto& g) { g.State.VirtualDisk.SecondName[0] = u'\\'; },
    };
    for (size_t k = 0; k < std::size(changes); ++k) {
        disk::StorageGroupList before{Group(0, 1), Group(1, 2)}, after = before;
        EXPECT_TRUE(SameStorageGroups(before, after));
        changes[k](after[1]);
        EXPECT_FALSE(SameStorageGroups(before, after)) << "change " << k;
        EXPECT_FALSE(SameStorageGroups(after, before)) << "change " << k;
    }
}

TEST(SameStorageGroupsTest, HeadOfTheAnswerAndTextPastTheTerminatorDoNotCount) {
    disk::StorageGroupList before{Group(1, 2)}, after = before;
    after[0].State.Size = 2080;
    after[0].State.SerialNo = 77;
    after[0].State.VirtualDisk.FriendlyName[20] = u'z';  // after the terminator
    EXPECT_TRUE(SameStorageGroups(before, after));

    // Names that fill their whole field still compare, and only within the field.
    for (auto* g : {&before[0], &after[0]})
        std::fill(std::begin(g->State.PhysicalDisk.FriendlyName),
                  std::end(g->State.PhysicalDisk.FriendlyName), u'A');
    EXPECT_TRUE(SameStorageGroups(before, after));
    after[0].State.PhysicalDisk.FriendlyName[busctl::kNameFieldChars - 1] = u'B';
    EXPECT_FALSE(SameStorageGroups(before, after));
}

TEST(ErrorCodeTest, Win32CodesBecomeHResultsAndNameThemselves) {
    EXPECT_EQ(0x80070057u, HResultFromWin32(87));
    EXPECT_EQ(0x8007FFFFu, HResultFromWin32(0x1FFFF));  // only the low 16 bits
    EXPECT_EQ(0x80004005u, HResultFromWin32(static_cast<int32_t>(0x80004005u)));  // passed on
    EXPECT_EQ(L"Error 0x80070457", ErrorCodeText(0x80070457u));
    EXPECT_EQ(L"Error 0x0000002A", ErrorCodeText(42));
}

TEST(SameStorageGroupsTest, OrderAndLengthCount) {
    const disk::StorageGroupList one{Group(0, 1)}, two{Group(0, 1), Group(1, 2)};
    EXPECT_TRUE(SameStorageGroups({}, {}));
    EXPECT_FALSE(SameStorageGroups(one, two));
    EXPECT_FALSE(SameStorageGroups(two, one));
    EXPECT_FALSE(SameStorageGroups(two, {two[1], two[0]}));
}

TEST(SameVirtualDriveTest, DriveNumberNameAndSerialEachCountNothingElse) {
    const disk::StorageGroup asked = Group(2, 3);
    disk::StorageGroup same = asked;
    same.State.Mounted = 0;
    same.CapacityText = L"1";
    EXPECT_TRUE(SameVirtualDrive(asked, same));
    for (auto change : {+[](disk::StorageGroup& g) { g.PhysicalDriveNumber = 4; },
                        +[](disk::StorageGroup& g) { g.DeviceObjectName += L"1"; },
                        +[](disk::StorageGroup& g) { g.SerialNo = 3; }}) {
        disk::StorageGroup other = asked;
        change(other);
        EXPECT_FALSE(SameVirtualDrive(asked, other));
    }
}

TEST(FindGroupTest, ADriveIsFoundByNameAndNumberWhereverItsLineIs) {
    disk::StorageGroupList list{Group(0, 1), Group(1, 2), Group(2, 3)};
    list[0].DeviceObjectName = L"\\Device\\00000031";
    list[2].DeviceObjectName = L"\\Device\\00000033";
    EXPECT_EQ(2, FindGroup(list, {L"\\Device\\00000033", 3}));
    EXPECT_EQ(1, FindGroup(list, IdentityOf(list[1])));
    EXPECT_EQ(-1, FindGroup(list, {L"\\Device\\00000033", 2}));  // same name, other number
    EXPECT_EQ(-1, FindGroup(list, {L"\\Device\\00000034", 3}));
    EXPECT_EQ(-1, FindGroup({}, IdentityOf(list[0])));
}

// After this program plugged in serial 5 on drive 2: what a reading of the bus driver shows
// for that drive (serial/created/mounted), and whether a later "not known" is still overruled.
TEST(PluggedInRecordTest, OnlyTheBusDriversWordEndsWhatThisProgramPluggedIn) {
    using Read = void (*)(PluggedInRecord&, disk::StorageGroupList&);
    const struct {
        Read read;
        const char *shown, *later;
    } cases[] = {
        {[](auto&, auto&) {}, "5/1/1", "5/1/1"},                             // plugged in
        {[](auto&, auto& l) { l[1] = Group(0, 2); }, "5/1/1", "5/1/1"},      // not known
        {[](auto&, auto& l) { l[1].State.Created = 0; }, "5/1/1", "5/1/1"},  // not known, serial 5
        {[](auto&, auto& l) { l[1].State.Mounted = 0; }, "5/1/0", "0/0/0"},  // unplugged
        {[](auto&, auto& l) { l[1].SerialNo = 7; }, "7/1/1", "0/0/0"},       // another one
        {[](auto&, auto& l) { l.pop_back(); }, "", "0/0/0"},                 // the drive left
        {[](auto& r, auto& l) { r.Forget(l[1].DeviceObjectName), l[1] = Group(0, 2); }, "0/0/0",
         "0/0/0"},
    };
    auto shown = [](const disk::StorageGroupList& l) {
        return l.size() < 2
                   ? std::string()
                   : std::to_string(l[1].SerialNo) + "/" + std::to_string(l[1].State.Created) +
                         "/" + std::to_string(l[1].State.Mounted);
    };
    for (size_t k = 0; k < std::size(cases); ++k) {
        PluggedInRecord record;
        disk::StorageGroupList list{Group(0, 1), Group(5, 2)};
        list[0].DeviceObjectName = L"\\Device\\00000031";
        record.Remember(list[1].DeviceObjectName, 5);
        cases[k].read(record, list);
        record.Apply(list);
        EXPECT_EQ(cases[k].shown, shown(list)) << k;
        EXPECT_EQ(0, list[0].State.Created) << k;  // another drive is left alone
        disk::StorageGroupList later{list[0], Group(0, 2)};
        record.Apply(later);
        EXPECT_EQ(cases[k].later, shown(later)) << k;
    }
}

}  // namespace
}  // namespace app
