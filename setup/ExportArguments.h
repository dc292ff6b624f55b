// The arguments as the installer passes them to the exports: narrow text in the ANSI code
// page, and for Update a reference-counted wide string object.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace setup {

// Converts narrow text from `codePage` (CP_ACP for the exports) without a length limit.
// 0, or 87 when the text is null or holds bytes the code page cannot convert.
uint32_t ConvertArgument(const char* text, UINT codePage, std::wstring& wide);

struct WideStringData;

// The allocator every wide string object points to. Its virtual slots, in this order:
//   0 Allocate(characters, character size) -> new data block
//   1 Free(data block)
//   2 Reallocate(data block, characters, character size) -> data block
//   3 GetNilString() -> the shared empty data block
//   4 Clone() -> a manager for copies
// Only Free is called here. No virtual destructor, so the table holds just these slots;
// the compiler calls them with the system's member-function convention (on 32-bit, this in
// ECX), the one the installer's string code was built with.
class WideStringManager {
public:
    virtual WideStringData* Allocate(int characterCount, int characterSize) = 0;
    virtual void Free(WideStringData* data) = 0;
    virtual WideStringData* Reallocate(WideStringData* data, int characterCount,
                                       int characterSize) = 0;
    virtual WideStringData* GetNilString() = 0;
    virtual WideStringManager* Clone() = 0;

protected:
    ~WideStringManager() = default;
};

// The header in front of the characters; the characters follow at (this + 1).
struct WideStringData {
    WideStringManager* manager;
    int dataLength;   // characters, without the terminating zero
    int allocLength;  // characters the block has room for
    LONG refs;        // owners of the block; below zero while a writer has it locked
    wchar_t* Characters() { return reinterpret_cast<wchar_t*>(this + 1); }
};

// Characters start right after the header: 16 bytes on 32-bit, 24 on 64-bit (padded).
static_assert(sizeof(WideStringData) == 2 * sizeof(void*) + 8);

// The object itself: nothing but the pointer to the characters.
struct WideStringObject {
    wchar_t* characters;
};

// How the installer's compiler passes such an object by value. The class has a copy
// constructor, so on 64-bit the caller makes a temporary copy and passes its address; on
// 32-bit the copy sits in the argument's stack slot itself. Either way the callee owns the
// copy and gives up its reference.
#ifdef _WIN64
using WideStringByValue = WideStringObject*;
#else
using WideStringByValue = WideStringObject;
#endif

// Holds the text of a wide string object passed by value and gives up that copy's
// reference when it goes away: the count is decremented, and the block goes back to its
// manager when no owner is left.
class WideStringArgument {
public:
    explicit WideStringArgument(WideStringObject object);
    // The 64-bit form: the copy is at `object`; a null address is taken as a null string.
    explicit WideStringArgument(const WideStringObject* object)
        : WideStringArgument(object ? *object : WideStringObject{nullptr}) {}
    WideStringArgument(const WideStringArgument&) = delete;
    WideStringArgument& operator=(const WideStringArgument&) = delete;

    const std::wstring& Text() const { return text_; }

private:
    // A member of its own, so the reference is given up even when copying the text fails.
    struct Reference {
        WideStringData* data = nullptr;
        ~Reference();
    };
    Reference reference_;
    std::wstring text_;
};

}  // namespace setup
