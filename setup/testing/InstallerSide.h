// The installer's side of the calls into Rigwell.dll, laid out here independently of the
// library's own headers and of our compiler's choices: the installer's reference-counted
// wide string, the string manager it points to, the way the platform's compiler passes such
// a string by value, and a way to make one of the library's imports fail.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace setup::test {

// The header in front of a string's characters.
struct CallerStringData {
    void* manager;
    int dataLength;
    int allocLength;
    long refs;
};

// A string manager whose table of five slots (allocate, free, reallocate, empty string,
// clone) is built by hand from plain functions, so that each slot sees what the library
// really passes rather than what our own compiler would pass for a virtual call. The
// installer's compiler calls them as member functions: on 32-bit `this` in ECX, the other
// arguments on the stack, removed by the callee; on 64-bit `this` in RCX.
class HandMadeManager {
public:
    // One call of the free slot: the manager it arrived at (`this` as the slot received
    // it) and the block it was handed.
    struct Release {
        const void* self;
        CallerStringData* data;
        bool operator==(const Release&) const = default;
    };

    HandMadeManager();
    HandMadeManager(const HandMadeManager&) = delete;
    HandMadeManager& operator=(const HandMadeManager&) = delete;

    // Every free slot call since this manager was made, whichever `this` it carried.
    std::vector<Release> Freed() const;
    // Calls of any other slot since this manager was made; the library needs none.
    int OtherSlotCalls() const;

private:
    const void* const* table_;  // first, where a C++ object keeps its table
    size_t firstRelease_;
    int firstOtherCall_;
};

// Header and characters in one block, as the installer's string class allocates them.
class CallerStringBlock {
public:
    CallerStringBlock(HandMadeManager& manager, const std::wstring& text, long refs);
    CallerStringData* Data() { return reinterpret_cast<CallerStringData*>(memory_.data()); }
    wchar_t* Characters() { return reinterpret_cast<wchar_t*>(Data() + 1); }

private:
    std::vector<unsigned char> memory_;  // zero-filled: the terminator is there
};

// Calls the Update export as code of the platform's compiler does, handing it a string
// object that holds one of the block's counted references (null `characters`: a null
// string). On 32-bit the object (the pointer to the characters) goes in the third stack
// slot, the stack offset by `stackSkew` bytes from a 16-byte boundary (that compiler keeps
// only 4), and the call fails the test unless the callee leaves its arguments to the
// caller. On 64-bit the compiler is made to pass the address of a temporary copy.
int CallUpdate(FARPROC update, const wchar_t* devconPath, const wchar_t* installArguments,
               wchar_t* characters, int stackSkew = 4);

// Points one import of `module`, found by function name, at `replacement` until it ends.
class ImportPatch {
public:
    ImportPatch(HMODULE module, const char* function, const void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    bool Applied() const { return slot_ != nullptr; }
    const void* Original() const { return original_; }

private:
    void Write(const void* value);
    const void** slot_ = nullptr;
    const void* original_ = nullptr;
};

}  // namespace setup::test
