// Rigwell.dll: the five entry points an installer calls to install, remove and update the
// bus driver's package with devcon.exe.
#include <objbase.h>
#include <windows.h>

#include <exception>
#include <string>

#include "setup/DevconOperations.h"
#include "setup/ExportArguments.h"

namespace {

constexpr int kErrorNotEnoughMemory = 8;

// The library's process-wide set-up. It waits for the first export call rather than
// running at load: COM must not be started under the loader lock.
class CRigwellApp {
public:
    // The first caller runs the set-up; any other caller that arrives meanwhile waits until it
    // has finished, or it could reach WMI before the security is set, which then can no
    // longer be set at all. A spin on one interlocked word, because the one-time
    // initialisation calls of the system are newer than Windows XP.
    void EnsureInitialised() {
        if (state_ == kDone) return;
        if (InterlockedCompareExchange(&state_, kRunning, kNotStarted) == kNotStarted) {
            InitInstance();
            InterlockedExchange(&state_, kDone);
            return;
        }
        while (InterlockedCompareExchange(&state_, kDone, kDone) != kDone) Sleep(1);
    }

private:
    static constexpr LONG kNotStarted = 0, kRunning = 1, kDone = 2;

    // Both results are left alone on purpose: a thread already in another apartment, or a
    // process whose COM security is already set, keeps what it has and the exports still
    // work. This COM initialisation is never undone; it keeps the security set-up alive.
    static void InitInstance() {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT_PRIVACY,
                             RPC_C_IMP_LEVEL_IDENTIFY, nullptr, EOAC_NONE, nullptr);
    }

    volatile LONG state_ = kNotStarted;
};

CRigwellApp theApp;

// The installer that calls us may not be C++ at all, so no exception may leave an export;
// the only ones possible come from running out of memory while building text.
template <class Work>
int Guarded(Work work) {
    try {
        theApp.EnsureInitialised();
        return static_cast<int>(work());
    } catch (const std::exception&) {
        return kErrorNotEnoughMemory;
    }
}

// The narrow exports: every argument converted from the ANSI code page before anything runs.
int WithConverted(const char* text, uint32_t (*operation)(const std::wstring&)) {
    return Guarded([&]() -> uint32_t {
        std::wstring wide;
        if (const uint32_t error = setup::ConvertArgument(text, CP_ACP, wide)) return error;
        return operation(wide);
    });
}

int WithConverted(const char* first, const char* second,
                  uint32_t (*operation)(const std::wstring&, const std::wstring&)) {
    return Guarded([&]() -> uint32_t {
        std::wstring wideFirst, wideSecond;
        if (const uint32_t error = setup::ConvertArgument(first, CP_ACP, wideFirst)) return error;
        if (const uint32_t error = setup::ConvertArgument(second, CP_ACP, wideSecond)) return error;
        return operation(wideFirst, wideSecond);
    });
}

}  // namespace

extern "C" {

int __cdecl Install(const char* devconPath, const char* installArguments) {
    return WithConverted(devconPath, installArguments, setup::InstallDriver);
}

int __cdecl Install_1(const char* installArguments) {
    return WithConverted(installArguments, setup::RunDevconInstall);
}

int __cdecl Uninstall(const char* devconPath, const char* hardwareId) {
    return WithConverted(devconPath, hardwareId, setup::RemoveDriver);
}

int __cdecl Uninstall_1(const char* hardwareId) {
    return WithConverted(hardwareId, setup::RemoveDriverWithDefaultTool);
}

// hardwareId is the caller's string object passed by value: this copy's reference is ours
// to give up, on every path.
int __cdecl Update(const wchar_t* devconPath, const wchar_t* installArguments,
                   setup::WideStringByValue hardwareId) {
    return Guarded([&]() -> uint32_t {
        const setup::WideStringArgument id(hardwareId);
        if (!devconPath || !installArguments) return ERROR_INVALID_PARAMETER;
        if (const uint32_t error = setup::RemoveDriver(devconPath, id.Text())) return error;
        return setup::InstallDriver(devconPath, installArguments);
    });
}

}  // extern "C"
