// The library as the console binds it: by name, all 59 calls; the calls not
// provided yet answer with their failure result.

#include <tarnwick.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace {

const char *const kExports[] = {
    "OpenCommPort",
    "OpenClientSocket",
    "CallClock",
    "UnCallClock",
    "ClosePortHandle",
    "CloseClientSocket",
    "ReadClockTime",
    "SetClockTime",
    "SetClockID",
    "GetClockModelEx",
    "SetManagerCardEx",
    "ReadManagerCardEx",
    "ReadBasicSector",
    "SetBasicSector",
    "SetUserKey",
    "SetUserPasswordNew",
    "SetEnterPriseID",
    "ReadEnterPriseID",
    "GetNFCCodeKey",
    "SetNFCCodeKey",
    "ReadPrivillege",
    "SetPrivillege",
    "ReadAllDeviceWorkMode",
    "SetAllDeviceWorkMode",
    "ReadCardTimeInterval_4G",
    "SetCardTimeInterval_4G",
    "ReadAllRecord",
    "ClearAllReadCard",
    "RecoveryRecord",
    "ReadListCardTotalB",
    "ReadNameListFormatEx",
    "DownLoadNameList",
    "DeleteNameList",
    "ReadDeviceListCard",
    "ReadDeviceListCardAsString",
    "ClearAllNamelist",
    "SetRemoteIP",
    "ReadRemoteIP",
    "StartUpLoad",
    "SetUpLoadProc",
    "SetUpLoadProcStr",
    "StopUpLoad",
    "SetSpanTimeofPrice",
    "ReadSpanTimeofPrice",
    "SetConsumetimeParam",
    "GetConsumetimeParam",
    "SetWorkModelSta",
    "GetCurrentWorkModelSta",
    "SetRealTimeCardType",
    "ReadRealTimeCardType",
    "SearchLanDevice",
    "GetQRCode",
    "SetQRCodeKey",
    "SetWaterDevSector",
    "GetWaterDevSector",
    "SetWaterDevTradeModel",
    "GetWaterDevTradeModel",
    "GetWaterDevParam",
    "SetWaterDevParam",
};

TEST(Exports, EveryCallIsFoundByName) {
    static_assert(sizeof kExports / sizeof kExports[0] == 59);
    void *lib = dlopen(TARNWICK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    for (const char *name : kExports) EXPECT_NE(dlsym(lib, name), nullptr) << name;
    dlclose(lib);
}

// Calls that hand back a count say 0 when they fail, so that a caller paging
// until the count runs out stops instead of asking forever.
TEST(Exports, CallsNotProvidedYetFailAndReportNoRecords) {
    int32_t count = 16;
    TNameListRecord entries[TARNWICK_PAGE_RECORDS]{};
    EXPECT_FALSE(ReadDeviceListCard(1, 0, &count, entries));
    EXPECT_EQ(count, 0);
    count = 16;
    char text[TARNWICK_LIST_TEXT_BUFFER]{};
    EXPECT_FALSE(ReadDeviceListCardAsString(1, 0, &count, text));
    EXPECT_EQ(count, 0);
    count = 16;
    TConsumeRecord batch[TARNWICK_PAGE_RECORDS]{};
    EXPECT_NE(RecoveryRecord(1, 1, &count, batch), 0);
    EXPECT_EQ(count, 0);
    count = 5;
    TLanDevice devices[4]{};
    EXPECT_FALSE(SearchLanDevice(devices, &count));
    EXPECT_EQ(count, 0);
    count = 12;
    TSpanTimeSlot slots[MaxSpanTimeSlots]{};
    EXPECT_NE(ReadSpanTimeofPrice(1, slots, &count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(ReadAllRecord(1, nullptr, nullptr, nullptr), 0);
    EXPECT_FALSE(ClearAllReadCard(1));
    EXPECT_FALSE(StartUpLoad(8001));
    EXPECT_NE(SetWaterDevParam(1, "{}"), 0);
    char *content = nullptr;
    EXPECT_NE(GetQRCode("{}", &content), 0);
    EXPECT_EQ(content, nullptr);
}

} // namespace
