#include "setup/DevconOperations.h"

#include <windows.h>

#include <shellapi.h>  // after windows.h, which it needs

#include <memory>

#include "setup/ComOwners.h"
#include "setup/CommandLines.h"
#include "setup/RunProcess.h"
#include "setup/WmiDriverRecords.h"

namespace setup {
namespace {

constexpr wchar_t kDefaultTool[] = L"devcon.exe";

uint32_t RunHiddenAndWait(const std::wstring& command) {
    uint32_t exitCode = 0;
    return RunProcessAndWait(command, std::wstring(), kRunHidden, kRunAndWait, &exitCode);
}

uint32_t RemoveWithTool(const std::wstring& tool, const std::wstring& hardwareId) {
    // The WMI interfaces are released inside the sequence, before COM may be undone here.
    ComThreadScope com;
    std::unique_ptr<WmiDriverRecordSource> wmi;
    const HRESULT hr = OpenWmiNamespace(wmi);
    if (FAILED(hr)) return FailedHresultCode(hr);
    return RunRemovalSequence(*wmi, tool, hardwareId);
}

}  // namespace

uint32_t RunDevconInstall(const std::wstring& installArguments) {
    std::wstring parameters;
    if (const uint32_t error = FormatInstallParameters(installArguments, parameters)) return error;
    SHELLEXECUTEINFOW execute{};
    execute.cbSize = sizeof(execute);
    // No error box from the shell: the exports report through their result only. And no
    // start left to a shell thread, which an installer that unloads us or exits right after
    // the call would cut short.
    execute.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    execute.lpVerb = L"open";
    execute.lpFile = kDefaultTool;
    execute.lpParameters = parameters.c_str();
    execute.nShow = SW_HIDE;
    return ShellExecuteExW(&execute) ? 0 : LastFailureCode();
}

uint32_t InstallDriver(const std::wstring& devconPath, const std::wstring& installArguments) {
    if (const uint32_t error = CheckToolPath(devconPath)) return error;
    return RunHiddenAndWait(FormatInstallCommand(QuoteToolPath(devconPath), installArguments));
}

uint32_t RemoveDriver(const std::wstring& devconPath, const std::wstring& hardwareId) {
    if (const uint32_t error = CheckToolPath(devconPath)) return error;
    if (const uint32_t error = CheckHardwareId(hardwareId)) return error;
    return RemoveWithTool(QuoteToolPath(devconPath), hardwareId);
}

uint32_t RemoveDriverWithDefaultTool(const std::wstring& hardwareId) {
    if (const uint32_t error = CheckHardwareId(hardwareId)) return error;
    return RemoveWithTool(kDefaultTool, hardwareId);
}

uint32_t RunRemovalSequence(DriverRecordSource& records, const std::wstring& tool,
                            const std::wstring& hardwareId) {
    std::wstring infName;
    if (const int error = LookupInfName(&records, hardwareId, &infName)) return error;
    // Whatever else WMI reports (nothing, a system INF such as disk.inf, a name with blanks
    // or a zero inside) is no package of ours: the device is still removed, nothing deleted.
    if (!IsDriverStoreInfName(infName)) infName.clear();
    std::wstring removeCommand, deleteCommand;
    if (const uint32_t error =
            FormatRemovalCommands(tool, hardwareId, infName, removeCommand, deleteCommand))
        return error;
    // A device that could not be removed keeps its package.
    if (const uint32_t error = RunHiddenAndWait(removeCommand)) return error;
    return deleteCommand.empty() ? 0 : RunHiddenAndWait(deleteCommand);
}

}  // namespace setup
