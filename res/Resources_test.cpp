// Reads the main program's resources back as the system stores them: every string of the
// three tables and every control of dialog 310.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "res/resource.h"

namespace {

// The string id from a block of 16 counted strings, or nothing when absent.
bool ReadString(UINT id, WORD language, std::wstring& out) {
    HRSRC info = FindResourceExW(nullptr, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
    if (!info) return false;
    const auto* p = static_cast<const WCHAR*>(LockResource(LoadResource(nullptr, info)));
    for (UINT i = 0; i < id % 16; ++i) p += 1 + *p;
    out.assign(p + 1, *p);
    return *p != 0;
}

constexpr WORD kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr WORD kTraditional = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_TRADITIONAL);
constexpr WORD kSimplified = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);

TEST(ResourcesTest, StringTablesHoldTheTextsOfEachLanguage) {
    std::wstring s;
    ASSERT_TRUE(ReadString(IDS_AVAILABLE_DRIVES, kEnglish, s));
    EXPECT_EQ(L"Available Drives", s);
    ASSERT_TRUE(ReadString(IDS_RESCAN_DESCRIPTION, kEnglish, s));
    EXPECT_EQ(L"Rescan the virtual drive.", s);
    ASSERT_TRUE(ReadString(IDS_RESCAN, kTraditional, s));
    EXPECT_EQ(L"\u91cd\u65b0\u641c\u5c0b", s);  // 重新搜尋
    ASSERT_TRUE(ReadString(IDS_RESCAN, kSimplified, s));
    EXPECT_EQ(L"\u91cd\u65b0\u5bfb\u627e", s);  // 重新寻找
    ASSERT_TRUE(ReadString(IDS_RECOVER_WARNING, kSimplified, s));
    EXPECT_EQ(L"\u6267\u884c\u300c\u8fd8\u539f\u300d\u78c1\u76d8\u5185\u7684\u6570\u636e\u5c06"
              L"\u4f1a\u9057\u5931\u3002\u786e\u5b9a\u8981\u6267\u884c\u5417\uff1f",
              s);
    // The English-only texts stay English in every table; the product name is English only.
    for (WORD language : {kEnglish, kTraditional, kSimplified}) {
        ASSERT_TRUE(ReadString(IDS_MAX_USABLE_SIZE, language, s));
        EXPECT_EQ(L"Max. Usable Size(GB):", s);
        ASSERT_TRUE(ReadString(IDS_TOTAL_SIZE, language, s));
        EXPECT_EQ(L"Total Size(GB):", s);
        for (UINT id = 129; id <= 142; ++id) EXPECT_TRUE(ReadString(id, language, s)) << id;
        EXPECT_TRUE(ReadString(300, language, s));
        EXPECT_TRUE(ReadString(301, language, s));
    }
    EXPECT_TRUE(ReadString(IDS_PRODUCT, kEnglish, s));
    EXPECT_FALSE(ReadString(IDS_PRODUCT, kTraditional, s));
    EXPECT_FALSE(ReadString(IDS_PRODUCT, kSimplified, s));
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
    HRSRC info = FindResourceW(nullptr, MAKEINTRESOURCEW(id), RT_DIALOG);
    const auto* base = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, info)));
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
    EXPECT_EQ(DWORD{WS_POPUP | WS_SYSMENU}, style & (WS_POPUP | WS_SYSMENU | WS_CAPTION | WS_BORDER));
    EXPECT_TRUE(style & DS_SETFONT);
    EXPECT_EQ(33u, items.size());

    const struct {
        WORD id;
        short x, y, cx, cy;
        WORD windowClass;
        bool visible, enabled;
    } placed[] = {
        {1021, 276, 0, 17, 12, 0x80, true, true},  {1022, 259, 0, 17, 12, 0x80, true, true},
        {1047, 232, 2, 11, 10, 0x80, true, true},  {1048, 246, 2, 11, 10, 0x80, true, true},
        {1036, 108, 12, 110, 12, 0x82, true, true}, {1002, 22, 100, 199, 14, 0x82, true, true},
        {1026, 21, 113, 253, 64, 0x83, true, true}, {1014, 21, 184, 56, 15, 0x80, true, false},
        {1033, 79, 184, 176, 18, 0x82, true, true}, {1019, 21, 203, 56, 15, 0x80, true, false},
        {1034, 79, 203, 176, 18, 0x82, true, true}, {1004, 21, 224, 253, 68, 0x80, true, true},
        {1020, 21, 297, 56, 15, 0x80, true, false}, {1037, 79, 297, 176, 18, 0x82, true, true},
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
    const DWORD list = items.at(1026).style;
    EXPECT_TRUE(list & LBS_NOTIFY);
    EXPECT_TRUE(list & LBS_NOINTEGRALHEIGHT);
    EXPECT_TRUE(list & WS_VSCROLL);
    EXPECT_TRUE(list & WS_BORDER);
    EXPECT_EQ(DWORD{BS_GROUPBOX}, items.at(1004).style & 0xF);
    EXPECT_TRUE(items.at(1004).exStyle & WS_EX_CLIENTEDGE);

    // The capacity panel starts hidden: bars disabled, value labels enabled.
    for (WORD id = 1035; id <= 1046; ++id) {
        if (id == 1036 || id == 1037) continue;
        const Item& item = items.at(id);
        EXPECT_FALSE(item.style & WS_VISIBLE) << id;
        const bool bar = id == 1035 || id % 2 == 1;
        EXPECT_EQ(bar, (item.style & WS_DISABLED) != 0) << id;
    }
    for (WORD id : {1000, 1001, 1006, 1008, 1009, 1015, 1016, 1017, 1029})
        EXPECT_FALSE(items.at(id).style & WS_VISIBLE) << id;
}

// Each bitmap's size and depth, and the background's key-coloured corners.
TEST(ResourcesTest, BitmapsHaveTheirSizesDepthsAndCorners) {
    const struct {
        WORD id;
        LONG w, h;
        WORD bits;
    } bitmaps[] = {
        {313, 440, 560, 24}, {318, 83, 23, 24}, {319, 83, 23, 24}, {320, 83, 23, 24},
        {321, 83, 23, 24},   {322, 83, 23, 24}, {323, 83, 23, 24}, {324, 25, 19, 24},
        {325, 25, 19, 24},   {329, 16, 16, 24}, {330, 16, 16, 24}, {331, 16, 16, 24},
        {332, 16, 16, 24},   {333, 24, 19, 8},  {334, 24, 19, 8},
    };
    for (const auto& b : bitmaps) {
        HRSRC info = FindResourceW(nullptr, MAKEINTRESOURCEW(b.id), RT_BITMAP);
        ASSERT_NE(nullptr, info) << b.id;
        const auto* header =
            static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(nullptr, info)));
        EXPECT_EQ(b.w, header->biWidth) << b.id;
        EXPECT_EQ(b.h, header->biHeight) << b.id;
        EXPECT_EQ(b.bits, header->biBitCount) << b.id;
    }

    HBITMAP background = static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(313), IMAGE_BITMAP, 0, 0, 0));
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

TEST(ResourcesTest, VersionIs1001AndTheManifestIsEmbedded) {
    wchar_t path[MAX_PATH];
    ASSERT_NE(0u, GetModuleFileNameW(nullptr, path, MAX_PATH));
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    ASSERT_NE(0u, size);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(MAKELONG(0, 1), fixed->dwFileVersionMS);
    EXPECT_EQ(MAKELONG(1, 0), fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
    EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);
    wchar_t* text = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\040904B0\\ProductVersion",
                               reinterpret_cast<void**>(&text), &length));
    EXPECT_STREQ(L"1.0.0.1", text);
    EXPECT_NE(nullptr, FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)));
}

}  // namespace
