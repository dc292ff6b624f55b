#include "setup/testing/InstallerSide.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <type_traits>

namespace setup::test {
namespace {

std::vector<HandMadeManager::Release>& ReleaseLog() {
    static std::vector<HandMadeManager::Release> log;
    return log;
}
int otherSlotCalls = 0;

// The slots take `this` as a plain first argument. On 32-bit, __fastcall with an unused
// second argument is exactly the member-function convention: the first argument in ECX,
// nothing taken from EDX, the rest on the stack and removed by the callee. Free records
// `this` rather than using it, so a wrong one shows up as a failed comparison, not a crash.
#if defined(__i386__)
#define SLOT_CONVENTION __fastcall
#define THIS_ARGUMENT [[maybe_unused]] const void *self, const void * /* EDX */
#else
#define SLOT_CONVENTION
#define THIS_ARGUMENT [[maybe_unused]] const void* self
#endif

void* SLOT_CONVENTION AllocateSlot(THIS_ARGUMENT, int, int) {
    ++otherSlotCalls;
    return nullptr;
}
void SLOT_CONVENTION FreeSlot(THIS_ARGUMENT, CallerStringData* data) {
    ReleaseLog().push_back({self, data});
}
void* SLOT_CONVENTION ReallocateSlot(THIS_ARGUMENT, CallerStringData*, int, int) {
    ++otherSlotCalls;
    return nullptr;
}
void* SLOT_CONVENTION NilStringSlot(THIS_ARGUMENT) {
    ++otherSlotCalls;
    return nullptr;
}
void* SLOT_CONVENTION CloneSlot(THIS_ARGUMENT) {
    ++otherSlotCalls;
    return nullptr;
}

const void* const kManagerTable[] = {
    reinterpret_cast<const void*>(&AllocateSlot), reinterpret_cast<const void*>(&FreeSlot),
    reinterpret_cast<const void*>(&ReallocateSlot), reinterpret_cast<const void*>(&NilStringSlot),
    reinterpret_cast<const void*>(&CloneSlot)};

#if defined(__i386__)
// Calls `function` with three pointer-sized arguments as the platform's compiler does for a
// __cdecl call: pushed right to left onto a stack kept only 4-byte aligned (here `skew`
// bytes below a 16-byte boundary), removed by the caller afterwards. Stores how far ESP
// moved across the call: -12 when the callee left the arguments alone, as it must.
__attribute__((naked)) int CallCdecl3(const void* /* function */, const void* /* first */,
                                      const void* /* second */, const void* /* third */,
                                      int /* skew */, int* /* espMoved */) {
    asm("pushl %ebp\n\t"
        "movl %esp, %ebp\n\t"
        "pushl %esi\n\t"
        "pushl %edi\n\t"
        "andl $-16, %esp\n\t"
        "subl 24(%ebp), %esp\n\t"  // skew
        "movl %esp, %esi\n\t"
        "pushl 20(%ebp)\n\t"  // third
        "pushl 16(%ebp)\n\t"  // second
        "pushl 12(%ebp)\n\t"  // first
        "call *8(%ebp)\n\t"
        "movl %esp, %edi\n\t"
        "subl %esi, %edi\n\t"
        "movl 28(%ebp), %ecx\n\t"  // espMoved
        "movl %edi, (%ecx)\n\t"
        "leal -8(%ebp), %esp\n\t"
        "popl %edi\n\t"
        "popl %esi\n\t"
        "popl %ebp\n\t"
        "ret");
}
#else
// The installer's string as the platform's 64-bit compiler sees it: a class with a copy
// constructor of its own, which makes it non-trivial to copy, so it is passed by value as
// the address of a temporary copy (GCC does the same for such a class). The copy
// constructor counts the reference as the real class does; there is no destructor, because
// the callee gives up the copy's reference.
class CallerString {
public:
    explicit CallerString(wchar_t* characters) : characters_(characters) {}
    CallerString(const CallerString& other) : characters_(other.characters_) {
        if (characters_) ++(reinterpret_cast<CallerStringData*>(characters_) - 1)->refs;
    }
    CallerString& operator=(const CallerString&) = delete;

private:
    wchar_t* characters_;
};
static_assert(!std::is_trivially_copyable_v<CallerString>);
#endif

}  // namespace

HandMadeManager::HandMadeManager()
    : table_(kManagerTable), firstRelease_(ReleaseLog().size()), firstOtherCall_(otherSlotCalls) {
    static_assert(std::is_standard_layout_v<HandMadeManager>);
    static_assert(offsetof(HandMadeManager, table_) == 0);
}

std::vector<HandMadeManager::Release> HandMadeManager::Freed() const {
    return {ReleaseLog().begin() + static_cast<ptrdiff_t>(firstRelease_), ReleaseLog().end()};
}

int HandMadeManager::OtherSlotCalls() const {
    return otherSlotCalls - firstOtherCall_;
}

CallerStringBlock::CallerStringBlock(HandMadeManager& manager, const std::wstring& text, long refs)
    : memory_(sizeof(CallerStringData) + (text.size() + 1) * sizeof(wchar_t)) {
    *Data() = {&manager, static_cast<int>(text.size()), static_cast<int>(text.size()), refs};
    text.copy(Characters(), text.size());
}

int CallUpdate(FARPROC update, const wchar_t* devconPath, const wchar_t* installArguments,
               wchar_t* characters, [[maybe_unused]] int stackSkew) {
#if defined(__i386__)
    int espMoved = 0;
    const int result = CallCdecl3(reinterpret_cast<const void*>(update), devconPath,
                                  installArguments, characters, stackSkew, &espMoved);
    EXPECT_EQ(-12, espMoved) << "Update must leave its three arguments to the caller";
    return result;
#else
    using UpdateFunction = int(__cdecl*)(const wchar_t*, const wchar_t*, CallerString);
    const auto function = reinterpret_cast<UpdateFunction>(reinterpret_cast<void*>(update));
    return function(devconPath, installArguments, CallerString(characters));
#endif
}

ImportPatch::ImportPatch(HMODULE module, const char* function, const void* replacement) {
    auto* base = reinterpret_cast<unsigned char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return;
    for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         dll->Name != 0; ++dll) {
        if (dll->OriginalFirstThunk == 0) continue;  // no names to find it by
        auto* name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
        auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
        for (; name->u1.AddressOfData != 0; ++name, ++slot) {
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) continue;
            const auto* byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
            slot_ = reinterpret_cast<const void**>(&slot->u1.Function);
            original_ = *slot_;
            Write(replacement);
            return;
        }
    }
}

ImportPatch::~ImportPatch() {
    if (slot_) Write(original_);
}

void ImportPatch::Write(const void* value) {
    DWORD protection = 0;
    if (!VirtualProtect(slot_, sizeof(*slot_), PAGE_READWRITE, &protection)) return;
    *slot_ = value;
    VirtualProtect(slot_, sizeof(*slot_), protection, &protection);
}

}  // namespace setup::test
