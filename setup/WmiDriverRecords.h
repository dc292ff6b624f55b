// The driver records of the system's WMI, namespace ROOT\CIMV2.
#pragma once

// windows.h first: the other system headers build on it.
#include <windows.h>

#include <wbemcli.h>

#include <memory>
#include <optional>
#include <string>

#include "setup/ComOwners.h"
#include "setup/DriverRecords.h"

namespace setup {

class WmiDriverRecordSource : public DriverRecordSource {
public:
    int32_t ExecQuery(const std::wstring& wql,
                      std::unique_ptr<DriverRecordCursor>& records) override;

private:
    friend HRESULT OpenWmiNamespace(std::unique_ptr<WmiDriverRecordSource>& source);
    ComRef<IWbemLocator> locator_;
    ComRef<IWbemServices> services_;
};

// Creates the locator, connects to ROOT\CIMV2 and sets the proxy's security. Returns the
// HRESULT of the first step that failed (then `source` stays null) or of the last step.
// COM must be initialised on the calling thread.
HRESULT OpenWmiNamespace(std::unique_ptr<WmiDriverRecordSource>& source);

// A property's text when WMI returned it as a string; anything else has no text.
std::optional<std::wstring> StringFromVariant(const VARIANT& value);

}  // namespace setup
