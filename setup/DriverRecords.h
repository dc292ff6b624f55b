// What the INF name lookup needs of WMI, narrowed to one query and its records, so that the
// lookup's rules can be tried against driver records a test makes up as well as against
// the system's WMI.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace setup {

// The signed-driver records a query returned, in the order WMI hands them out.
class DriverRecordCursor {
public:
    virtual ~DriverRecordCursor() = default;
    // Fetches the next record, waiting as long as WMI takes. False when none came back.
    // Otherwise `infName` holds the record's InfName when WMI returned it as a string, and
    // is empty (no value) when the property could not be read or had another type.
    virtual bool Next(std::optional<std::wstring>& infName) = 0;
};

class DriverRecordSource {
public:
    virtual ~DriverRecordSource() = default;
    // Runs a WQL query. Returns its HRESULT; on success `records` may still be null when WMI
    // gave no enumerator.
    virtual int32_t ExecQuery(const std::wstring& wql,
                              std::unique_ptr<DriverRecordCursor>& records) = 0;
};

// Fills `infName` with the INF name of the first signed-driver record of `hardwareId` and
// returns 0; with no such record, or one without a string InfName, the name is empty and
// the result still 0. Returns 87 when `services` or `infName` is null or the id is empty or
// has no backslash (WMI is then not asked), and FailedHresultCode of the HRESULT when
// the query fails.
int LookupInfName(DriverRecordSource* services, const std::wstring& hardwareId,
                  std::wstring* infName);

// What the exports report for a failed COM or WMI step: the low 16 bits of its HRESULT,
// which installers already know (0x100E for a namespace WMI does not have, 0x0154 for a
// class that is not registered). A failure whose low half is 0 (0x80070000, 0x80040000)
// would read as success and let the removal go on, so it is reported as
// kErrorUnidentifiedHresult instead. Only for HRESULTs that failed.
constexpr int kErrorUnidentifiedHresult = 1287;  // ERROR_UNIDENTIFIED_ERROR
constexpr int FailedHresultCode(int32_t hresult) {
    const int low = static_cast<uint16_t>(hresult);
    return low != 0 ? low : kErrorUnidentifiedHresult;
}

}  // namespace setup
