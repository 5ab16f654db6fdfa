// The device library as the console calls it: one table of function
// pointers, one entry per function of tarnwick.h, bound to libTarnwick.so
// when the program is loaded. Every page calls the library through sdk();
// tests replace single entries with scripted fakes (ScopedSdk).
#pragma once

#include <tarnwick.h>

namespace tallydesk {

// X(name) for each of the library's 59 functions.
#define TALLYDESK_SDK_FUNCTIONS(X) \
    X(OpenCommPort) \
    X(OpenClientSocket) \
    X(CallClock) \
    X(UnCallClock) \
    X(ClosePortHandle) \
    X(CloseClientSocket) \
    X(ReadClockTime) \
    X(SetClockTime) \
    X(SetClockID) \
    X(GetClockModelEx) \
    X(SetManagerCardEx) \
    X(ReadManagerCardEx) \
    X(ReadBasicSector) \
    X(SetBasicSector) \
    X(SetUserKey) \
    X(SetUserPasswordNew) \
    X(SetEnterPriseID) \
    X(ReadEnterPriseID) \
    X(GetNFCCodeKey) \
    X(SetNFCCodeKey) \
    X(ReadPrivillege) \
    X(SetPrivillege) \
    X(ReadAllDeviceWorkMode) \
    X(SetAllDeviceWorkMode) \
    X(ReadCardTimeInterval_4G) \
    X(SetCardTimeInterval_4G) \
    X(ReadAllRecord) \
    X(ClearAllReadCard) \
    X(RecoveryRecord) \
    X(ReadListCardTotalB) \
    X(ReadNameListFormatEx) \
    X(DownLoadNameList) \
    X(DeleteNameList) \
    X(ReadDeviceListCard) \
    X(ReadDeviceListCardAsString) \
    X(ClearAllNamelist) \
    X(SetRemoteIP) \
    X(ReadRemoteIP) \
    X(StartUpLoad) \
    X(SetUpLoadProc) \
    X(SetUpLoadProcStr) \
    X(StopUpLoad) \
    X(SetSpanTimeofPrice) \
    X(ReadSpanTimeofPrice) \
    X(SetConsumetimeParam) \
    X(GetConsumetimeParam) \
    X(SetWorkModelSta) \
    X(GetCurrentWorkModelSta) \
    X(SetRealTimeCardType) \
    X(ReadRealTimeCardType) \
    X(SearchLanDevice) \
    X(GetQRCode) \
    X(SetQRCodeKey) \
    X(SetWaterDevSector) \
    X(GetWaterDevSector) \
    X(SetWaterDevTradeModel) \
    X(GetWaterDevTradeModel) \
    X(GetWaterDevParam) \
    X(SetWaterDevParam) \

struct SdkTable {
#define TALLYDESK_SDK_ENTRY(name) decltype(&::name) name = nullptr;
    TALLYDESK_SDK_FUNCTIONS(TALLYDESK_SDK_ENTRY)
#undef TALLYDESK_SDK_ENTRY
};

// The library's own functions.
const SdkTable &librarySdk();
// The table in use (the library's unless a test replaced entries).
SdkTable &sdk();

// Restores the table in use when it goes out of scope; a test changes
// entries of sdk() while it lives.
class ScopedSdk {
public:
    ScopedSdk();
    ~ScopedSdk();
    ScopedSdk(const ScopedSdk &) = delete;
    ScopedSdk &operator=(const ScopedSdk &) = delete;

private:
    SdkTable saved_;
};

} // namespace tallydesk
