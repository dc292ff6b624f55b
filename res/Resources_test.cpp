// Reads the main program's resources back as the system stores them: every string of the
// three tables, every control of the main dialog, the bitmaps and the version. By default the
// resources of this test program itself; with OVERREACH_RESOURCE_MODULE naming a file (the
// shipping 32-bit Overreach.exe), that file's, opened as data.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "res/resource.h"
#include "res/version.h"

namespace {

std::wstring ModulePath() {
    wchar_t path[MAX_PATH] = L"";
    if (GetEnvironmentVariableW(L"OVERREACH_RESOURCE_MODULE", path, MAX_PATH) == 0)
        GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

HMODULE Module() {
    static const HMODULE module = [] {
        wchar_t path[MAX_PATH] = L"";
        if (GetEnvironmentVariableW(L"OVERREACH_RESOURCE_MODULE", path, MAX_PATH) == 0)
            return GetModuleHandleW(nullptr);
        return LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }();
    return module;
}

// The string id from a block of 16 counted strings, or nothing when absent.
bool ReadString(UINT id, WORD language, std::wstring& out) {
    HRSRC info = FindResourceExW(Module(), RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
    if (!info) return false;
    const auto* p = static_cast<const WCHAR*>(LockResource(LoadResource(Module(), info)));
    for (UINT i = 0; i < id % 16; ++i) p += 1 + *p;
    out.assign(p + 1, *p);
    return *p != 0;
}

constexpr WORD kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr WORD kTraditional = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_TRADITIONAL);
constexpr WORD kSimplified = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);

// Every text of the three tables. Ids 133 to 135 and 300 are English in all three; 128
// exists in English only.
TEST(ResourcesTest, StringTablesHoldTheTextsOfEachLanguage) {
    const std::map<UINT, std::wstring> english = {
        {128, L"Farspan"},
        {129, L"Create"},
        {130, L"Recover"},
        {131, L"Partition"},
        {132, L"Rescan"},
        {133, L"Drive :"},
        {134, L"Total Size(GB):"},
        {135, L"Max. Usable Size(GB):"},
        {136, L"Available Drives"},
        {137, L"Physical"},
        {138, L"Virtual"},
        {139, L"Create a virtual drive on the storage space beyond 2048 GB."},
        {140, L"Delete the virtual drive and restore it to its previous state."},
        {141, L"Open the Disk Management tool to partition or format the hard drive."},
        {142, L"Rescan the virtual drive."},
        {300,
         L"It is recommended to use Windows? Disk Managment to manage the drive for better "
         L"compatibility and upgradability when using as a data drive. Click Yes to continue, or "
         L"click NO to launch Disk Management."},
        {301,
         L"All data on the hard drive will be deleted during the recovery process. Are you sure "
         L"you want to continue?"},
    };
    const std::map<UINT, std::wstring> traditional = {
        {129, L"建立"},
        {130, L"還原"},
        {131, L"分割"},
        {132, L"重新搜尋"},
        {136, L"可使用的磁碟"},
        {137, L"實體磁碟"},
        {138, L"虛擬磁碟"},
        {139, L"將超過2048GB以上的磁碟空間建立為虛擬磁碟"},
        {140, L"刪除已建立的虛擬磁碟並將磁碟還原至未建立前的狀態"},
        {141, L"開啟「磁碟管理」工具以進行磁碟分割或格式化"},
        {142, L"重新搜尋虛擬磁碟"},
        {301, L"執行「還原」磁碟內的資料將會遺失。確定要執行嗎？"},
    };
    const std::map<UINT, std::wstring> simplified = {
        {129, L"建立"},
        {130, L"还原"},
        {131, L"分割"},
        {132, L"重新寻找"},
        {136, L"可使用的磁盘"},
        {137, L"实体磁盘"},
        {138, L"虚拟磁盘"},
        {139, L"将超过2048 GB以上的磁盘空间建立为虚拟磁盘"},
        {140, L"删除已建立的虚拟磁盘并将磁盘还原至未建立前的状态"},
        {141, L"开启「磁盘管理」工具以进行磁盘分区或格式化"},
        {142, L"重新寻找虚拟磁盘"},
        {301, L"执行「还原」磁盘内的数据将会遗失。确定要执行吗？"},
    };
    std::wstring s;
    for (const auto& [id, text] : english) {
        ASSERT_TRUE(ReadString(id, kEnglish, s)) << id;
        EXPECT_EQ(text, s) << id;
    }
    for (const auto& [language, table] :
         {std::pair{kTraditional, &traditional}, std::pair{kSimplified, &simplified}}) {
        for (UINT id : {133u, 134u, 135u, 300u}) {
            ASSERT_TRUE(ReadString(id, language, s)) << id;
            EXPECT_EQ(english.at(id), s) << id;
        }
        for (const auto& [id, text] : *table) {
            ASSERT_TRUE(ReadString(id, language, s)) << id;
            EXPECT_EQ(text, s) << language << " " << id;
        }
        EXPECT_FALSE(ReadString(IDS_PRODUCT, language, s));
    }
    EXPECT_TRUE(ReadString(IDS_OLE_INIT_FAILED, kEnglish, s));
}

struct Item {
    DWORD style, exStyle;
    short x, y, cx, cy;
    WORD windowClass;  // the predefined class atom: 0x80 button, 0x82 static, 0x83 list box
};

// Skips a text or ordinal field of a dialog template.
const WORD* SkipField(const WORD* p) {
    if (*p == 0xFFFF) return p + 2;
    while (*p) ++p;
    return p + 1;
}

std::map<WORD, Item> ReadDialog(WORD id, DWORD* style, short* cx, short* cy) {
    HRSRC info = FindResourceW(Module(), MAKEINTRESOURCEW(id), RT_DIALOG);
    const auto* base = static_cast<const BYTE*>(LockResource(LoadResource(Module(), info)));
    const WORD* p = reinterpret_cast<const WORD*>(base);
    EXPECT_EQ(1, p[0]);
    EXPECT_EQ(0xFFFF, p[1]);  // the extended template
    *style = *reinterpret_cast<const DWORD*>(p + 6);
    const WORD count = p[8];
    *cx = static_cast<short>(p[11]);
    *cy = static_cast<short>(p[12]);
    p = SkipField(SkipField(SkipField(p + 13)));  // menu, class, title
    p = SkipField(p + 3);                         // point size, weight, italic+charset, face
    std::map<WORD, Item> items;
    for (WORD i = 0; i < count; ++i) {
        p = reinterpret_cast<const WORD*>((reinterpret_cast<uintptr_t>(p) + 3) & ~uintptr_t{3});
        Item item{};
        item.exStyle = *reinterpret_cast<const DWORD*>(p + 2);
        item.style = *reinterpret_cast<const DWORD*>(p + 4);
        item.x = p[6], item.y = p[7], item.cx = p[8], item.cy = p[9];
        const DWORD controlId = *reinterpret_cast<const DWORD*>(p + 10);
        p += 12;
        item.windowClass = p[0] == 0xFFFF ? p[1] : 0;
        p = SkipField(SkipField(p));
        p += 1 + (*p + 1) / 2;  // extra data count and bytes
        items[static_cast<WORD>(controlId)] = item;
    }
    return items;
}

TEST(ResourcesTest, DialogTemplateHoldsEveryControlInPlace) {
    DWORD style = 0;
    short cx = 0, cy = 0;
    const auto items = ReadDialog(IDD_OVERREACH_DIALOG, &style, &cx, &cy);
    EXPECT_EQ(293, cx);
    EXPECT_EQ(348, cy);
    EXPECT_EQ(DWORD{WS_POPUP | WS_SYSMENU},
              style & (WS_POPUP | WS_SYSMENU | WS_CAPTION | WS_BORDER));
    EXPECT_TRUE(style & DS_SETFONT);
    EXPECT_EQ(33u, items.size());

    const struct {
        WORD id;
        short x, y, cx, cy;
        WORD windowClass;
        bool visible, enabled;
    } placed[] = {
        {IDC_BTN_CLOSE, 276, 0, 17, 12, 0x80, true, true},
        {IDC_BTN_MINIMIZE, 259, 0, 17, 12, 0x80, true, true},
        {IDC_BTN_LIVEUPDATE, 232, 2, 11, 10, 0x80, true, true},
        {IDC_BTN_HELP, 246, 2, 11, 10, 0x80, true, true},
        {IDC_BUILD_LABEL, 108, 12, 110, 12, 0x82, true, true},
        {IDC_LIST_CAPTION, 22, 100, 199, 14, 0x82, true, true},
        {IDC_LIST_DRIVE, 21, 113, 253, 64, 0x83, true, true},
        {IDC_BTN_CREATE, 21, 184, 56, 15, 0x80, true, false},
        {IDC_CREATE_DESCRIPTION, 79, 184, 176, 18, 0x82, true, true},
        {IDC_BTN_RECOVER, 21, 203, 56, 15, 0x80, true, false},
        {IDC_RECOVER_DESCRIPTION, 79, 203, 176, 18, 0x82, true, true},
        {IDC_CAPACITY_FRAME, 21, 224, 253, 68, 0x80, true, true},
        {IDC_BTN_PARTITION, 21, 297, 56, 15, 0x80, true, false},
        {IDC_PARTITION_DESCRIPTION, 79, 297, 176, 18, 0x82, true, true},
    };
    for (const auto& c : placed) {
        ASSERT_TRUE(items.count(c.id)) << c.id;
        const Item& item = items.at(c.id);
        EXPECT_EQ(c.x, item.x) << c.id;
        EXPECT_EQ(c.y, item.y) << c.id;
        EXPECT_EQ(c.cx, item.cx) << c.id;
        EXPECT_EQ(c.cy, item.cy) << c.id;
        EXPECT_EQ(c.windowClass, item.windowClass) << c.id;
        EXPECT_EQ(c.visible, (item.style & WS_VISIBLE) != 0) << c.id;
        EXPECT_EQ(c.enabled, (item.style & WS_DISABLED) == 0) << c.id;
    }
    const DWORD list = items.at(IDC_LIST_DRIVE).style;
    EXPECT_TRUE(list & LBS_NOTIFY);
    EXPECT_TRUE(list & LBS_NOINTEGRALHEIGHT);
    EXPECT_TRUE(list & WS_VSCROLL);
    EXPECT_TRUE(list & WS_BORDER);
    EXPECT_EQ(DWORD{BS_GROUPBOX}, items.at(IDC_CAPACITY_FRAME).style & 0xF);
    EXPECT_TRUE(items.at(IDC_CAPACITY_FRAME).exStyle & WS_EX_CLIENTEDGE);

    // The capacity panel starts hidden: bars disabled, value labels enabled.
    for (WORD id : {IDC_CAPACITY_BAR_0, IDC_CAPACITY_BAR_1, IDC_CAPACITY_BAR_2, IDC_CAPACITY_BAR_3,
                    IDC_CAPACITY_BAR_4}) {
        EXPECT_FALSE(items.at(id).style & WS_VISIBLE) << id;
        EXPECT_TRUE(items.at(id).style & WS_DISABLED) << id;
    }
    for (WORD id : {IDC_CAPACITY_VALUE_0, IDC_CAPACITY_VALUE_1, IDC_CAPACITY_VALUE_2,
                    IDC_CAPACITY_VALUE_3, IDC_CAPACITY_VALUE_4}) {
        EXPECT_FALSE(items.at(id).style & WS_VISIBLE) << id;
        EXPECT_FALSE(items.at(id).style & WS_DISABLED) << id;
    }
    for (WORD id : {IDC_VIRTUAL_CAPTION, IDC_PHYSICAL_CAPTION, IDC_SECOND_DRIVE_CAPTION,
                    IDC_DRIVE_CAPTION, IDC_MAX_USABLE_CAPTION, IDC_BLANK_VALUE_A, IDC_BLANK_VALUE_B,
                    IDC_BLANK_VALUE_C, IDC_BLANK_VALUE_D})
        EXPECT_FALSE(items.at(id).style & WS_VISIBLE) << id;
}

// Each bitmap's size and depth, and the background's key-coloured corners.
TEST(ResourcesTest, BitmapsHaveTheirSizesDepthsAndCorners) {
    constexpr COLORREF kBlack = RGB(0, 0, 0), kWhite = RGB(255, 255, 255);
    constexpr COLORREF kNoKey = CLR_INVALID;
    const struct {
        WORD id;
        LONG w, h;
        WORD bits;
        COLORREF key;
    } bitmaps[] = {
        {IDB_BACKGROUND, 440, 560, 24, kNoKey},      {IDB_CREATE_IDLE, 83, 23, 24, kBlack},
        {IDB_CREATE_ACTIVE, 83, 23, 24, kBlack},     {IDB_PARTITION_IDLE, 83, 23, 24, kBlack},
        {IDB_PARTITION_ACTIVE, 83, 23, 24, kBlack},  {IDB_RECOVER_IDLE, 83, 23, 24, kBlack},
        {IDB_RECOVER_ACTIVE, 83, 23, 24, kBlack},    {IDB_MINIMIZE_IDLE, 25, 19, 24, kWhite},
        {IDB_MINIMIZE_ACTIVE, 25, 19, 24, kWhite},   {IDB_LIVEUPDATE_IDLE, 16, 16, 24, kWhite},
        {IDB_LIVEUPDATE_ACTIVE, 16, 16, 24, kWhite}, {IDB_HELP_IDLE, 16, 16, 24, kWhite},
        {IDB_HELP_ACTIVE, 16, 16, 24, kWhite},       {IDB_CLOSE_IDLE, 24, 19, 8, kWhite},
        {IDB_CLOSE_ACTIVE, 24, 19, 8, kWhite},
    };
    for (const auto& b : bitmaps) {
        HRSRC info = FindResourceW(Module(), MAKEINTRESOURCEW(b.id), RT_BITMAP);
        ASSERT_NE(nullptr, info) << b.id;
        const auto* header =
            static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(Module(), info)));
        EXPECT_EQ(b.w, header->biWidth) << b.id;
        EXPECT_EQ(b.h, header->biHeight) << b.id;
        EXPECT_EQ(b.bits, header->biBitCount) << b.id;
        if (b.key == kNoKey) continue;
        // The buttons are loaded with LR_LOADTRANSPARENT, which recolours the palette entry
        // of the first stored pixel: that pixel has to be a key pixel, not part of the image.
        const auto* palette = reinterpret_cast<const RGBQUAD*>(
            reinterpret_cast<const BYTE*>(header) + header->biSize);
        const DWORD colours = header->biBitCount > 8   ? 0
                              : header->biClrUsed != 0 ? header->biClrUsed
                                                       : 1u << header->biBitCount;
        const BYTE* first = reinterpret_cast<const BYTE*>(palette + colours);
        const COLORREF firstColour =
            header->biBitCount == 8
                ? RGB(palette[*first].rgbRed, palette[*first].rgbGreen, palette[*first].rgbBlue)
                : RGB(first[2], first[1], first[0]);
        EXPECT_EQ(b.key, firstColour) << b.id;
    }

    HBITMAP background = static_cast<HBITMAP>(
        LoadImageW(Module(), MAKEINTRESOURCEW(IDB_BACKGROUND), IMAGE_BITMAP, 0, 0, 0));
    ASSERT_NE(nullptr, background);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, background);
    const int runs[] = {4, 2, 1, 1};
    int keyed = 0;
    for (int row = 0; row < 4; ++row) {
        for (int x = 0; x < 5; ++x) {
            const bool key = x < runs[row];
            for (POINT p : {POINT{x, row}, POINT{439 - x, row}, POINT{x, 559 - row},
                            POINT{439 - x, 559 - row}}) {
                const bool magenta = GetPixel(dc, p.x, p.y) == RGB(255, 0, 255);
                EXPECT_EQ(key, magenta) << p.x << "," << p.y;
                keyed += magenta;
            }
        }
    }
    EXPECT_EQ(32, keyed);  // 8 pixels in each corner
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(background);
}

// The version block and the manifest both carry the version that the build was given.
BOOL CALLBACK KeepFirstName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR first) {
    *reinterpret_cast<LPWSTR*>(first) = name;
    return FALSE;
}

// Explorer, the taskbar and Alt+Tab show a program's first icon, each at its own size.
TEST(ResourcesTest, TheFirstIconIsTheProgramsIn16_32And48Pixels) {
    LPWSTR first = nullptr;
    EnumResourceNamesW(Module(), RT_GROUP_ICON, KeepFirstName, reinterpret_cast<LONG_PTR>(&first));
    ASSERT_TRUE(first && IS_INTRESOURCE(first));
    EXPECT_EQ(IDI_OVERREACH, static_cast<int>(reinterpret_cast<ULONG_PTR>(first)));
    HRSRC group = FindResourceW(Module(), first, RT_GROUP_ICON);
    ASSERT_NE(nullptr, group);
    // The group's header, then one 14-byte entry per image: width, height, ..., bit count.
    const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(Module(), group)));
    const WORD count = static_cast<WORD>(bytes[4] | bytes[5] << 8);
    std::vector<std::pair<int, int>> sizes;  // side, bits per pixel
    for (WORD k = 0; k < count; ++k) {
        const BYTE* entry = bytes + 6 + 14 * k;
        sizes.emplace_back(entry[0], entry[6] | entry[7] << 8);
    }
    EXPECT_EQ((std::vector<std::pair<int, int>>{{16, 32}, {32, 32}, {48, 32}}), sizes);
}

TEST(ResourcesTest, VersionBlockAndManifestCarryTheProjectVersion) {
    const std::wstring file = ModulePath();
    const wchar_t* path = file.c_str();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    ASSERT_NE(0u, size);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(MAKELONG(OVERREACH_VERSION_MINOR, OVERREACH_VERSION_MAJOR), fixed->dwFileVersionMS);
    EXPECT_EQ(MAKELONG(OVERREACH_VERSION_BUILD, OVERREACH_VERSION_PATCH), fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
    EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);
    wchar_t* text = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\040904B0\\ProductVersion",
                               reinterpret_cast<void**>(&text), &length));
    EXPECT_STREQ(L"" OVERREACH_VERSION_TEXT, text);

    HRSRC manifest = FindResourceW(Module(), CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST);
    ASSERT_NE(nullptr, manifest);
    const auto* xml = static_cast<const char*>(LockResource(LoadResource(Module(), manifest)));
    const std::string identity(xml, SizeofResource(Module(), manifest));
    EXPECT_NE(std::string::npos,
              identity.find("name=\"Corvane.Overreach\" version=\"" OVERREACH_VERSION_TEXT "\""))
        << identity;
}

}  // namespace
