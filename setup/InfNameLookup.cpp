#include "setup/CommandLines.h"
#include "setup/DriverRecords.h"

namespace setup {

int LookupInfName(DriverRecordSource* services, const std::wstring& hardwareId,
                  std::wstring* infName) {
    if (!services || hardwareId.empty() || !infName) return kErrorInvalidParameter;
    infName->clear();
    std::wstring query;
    if (const uint32_t error = FormatInfNameQuery(hardwareId, query)) return error;

    std::unique_ptr<DriverRecordCursor> records;
    const int32_t hr = services->ExecQuery(query, records);
    if (hr < 0) return FailedHresultCode(hr);
    // Only the first record counts; a hardware id normally has exactly one signed driver.
    std::optional<std::wstring> first;
    if (records && records->Next(first) && first) *infName = *first;
    return 0;
}

}  // namespace setup
