#include "setup/WmiDriverRecords.h"

namespace setup {
namespace {

class WmiRecordCursor : public DriverRecordCursor {
public:
    explicit WmiRecordCursor(ComRef<IEnumWbemClassObject> records) : records_(std::move(records)) {}

    bool Next(std::optional<std::wstring>& infName) override {
        infName.reset();
        ComRef<IWbemClassObject> record;
        ULONG returned = 0;
        // Only the count matters: a time-out or failure simply returns no record.
        records_->Next(static_cast<long>(WBEM_INFINITE), 1, record.Receive(), &returned);
        if (returned == 0 || !record) return false;
        VariantValue value;
        if (SUCCEEDED(record->Get(L"InfName", 0, value.Get(), nullptr, nullptr)))
            infName = StringFromVariant(*value.Get());
        return true;
    }

private:
    ComRef<IEnumWbemClassObject> records_;
};

}  // namespace

std::optional<std::wstring> StringFromVariant(const VARIANT& value) {
    if (value.vt != VT_BSTR) return std::nullopt;
    if (!value.bstrVal) return std::wstring();
    return std::wstring(value.bstrVal, SysStringLen(value.bstrVal));
}

int32_t WmiDriverRecordSource::ExecQuery(const std::wstring& wql,
                                         std::unique_ptr<DriverRecordCursor>& records) {
    records.reset();
    Bstr language(L"WQL");
    Bstr query(wql.c_str());
    ComRef<IEnumWbemClassObject> found;
    const HRESULT hr = services_->ExecQuery(language.Get(), query.Get(),
                                            WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                            nullptr, found.Receive());
    if (FAILED(hr)) return hr;
    if (found) records = std::make_unique<WmiRecordCursor>(std::move(found));
    return hr;
}

HRESULT OpenWmiNamespace(std::unique_ptr<WmiDriverRecordSource>& source) {
    source.reset();
    auto opened = std::make_unique<WmiDriverRecordSource>();
    HRESULT hr = CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWbemLocator, opened->locator_.ReceiveVoid());
    if (FAILED(hr)) return hr;
    Bstr resource(L"ROOT\\CIMV2");
    hr = opened->locator_->ConnectServer(resource.Get(), nullptr, nullptr, nullptr,
                                         WBEM_FLAG_CONNECT_USE_MAX_WAIT, nullptr, nullptr,
                                         opened->services_.Receive());
    if (FAILED(hr)) return hr;
    hr = CoSetProxyBlanket(opened->services_.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                           RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
    if (FAILED(hr)) return hr;
    source = std::move(opened);
    return hr;
}

}  // namespace setup
