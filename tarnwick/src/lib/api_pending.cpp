// Calls this library does not provide yet. Each answers with its failure
// result (false, a nonzero status, no records) and leaves every output
// untouched, except that a returned count is set to 0 so a caller that
// pages until the count runs out stops at once.

#include "lib/results.h"

#include <tarnwick.h>

using tarnwick::kResultNotSupported;

extern "C" {

int32_t TARNWICK_API SetManagerCardEx(int32_t /*handle*/, int32_t /*cardKind*/, int32_t /*length*/, const char * /*card*/, int32_t /*flags*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API ReadManagerCardEx(int32_t /*handle*/, int32_t /*cardKind*/, int32_t * /*value*/, char * /*card*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API ReadBasicSector(int32_t /*handle*/, int32_t * /*sector*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API SetBasicSector(int32_t /*handle*/, int32_t /*sector*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API SetUserKey(int32_t /*handle*/, const char * /*password*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API SetUserPasswordNew(int32_t /*handle*/, int32_t /*keyKind*/, const char * /*key*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API SetEnterPriseID(int32_t /*handle*/, int32_t /*enterpriseId*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API ReadEnterPriseID(int32_t /*handle*/, int32_t * /*enterpriseId*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API GetNFCCodeKey(int32_t /*handle*/, int32_t * /*sectorCode*/, char ** /*key*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API SetNFCCodeKey(int32_t /*handle*/, int32_t /*sectorCode*/, const char * /*key*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API ReadPrivillege(int32_t /*handle*/, uint8_t * /*enabled*/, char ** /*groups*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API SetPrivillege(int32_t /*handle*/, uint8_t /*enabled*/, const char * /*groups*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API ReadAllDeviceWorkMode(int32_t /*handle*/, int32_t * /*mode1*/, int32_t * /*mode2*/, int32_t * /*mode3*/, int32_t * /*mode4*/, int32_t * /*mode5*/, int32_t * /*mode6*/, int32_t * /*mode7*/, int32_t * /*mode8*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API SetAllDeviceWorkMode(int32_t /*handle*/, int32_t /*mode1*/, int32_t /*mode2*/, int32_t /*mode3*/, int32_t /*mode4*/, int32_t /*mode5*/, int32_t /*mode6*/, int32_t /*mode7*/, int32_t /*mode8*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API ReadCardTimeInterval_4G(int32_t /*handle*/, int32_t * /*sameCard*/, int32_t * /*otherCard*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API SetCardTimeInterval_4G(int32_t /*handle*/, int32_t /*sameCard*/, int32_t /*otherCard*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API ReadAllRecord(int32_t /*handle*/, TClockInfo * /*info*/, TReadRecordProc /*onRecord*/, TReadProgressProc /*onProgress*/) {
    return 0;
}

TBool TARNWICK_API ClearAllReadCard(int32_t /*handle*/) {
    return 0;
}

int32_t TARNWICK_API RecoveryRecord(int32_t /*handle*/, int32_t /*phase*/, int32_t * count, TConsumeRecord * /*batch*/) {
    if (count) *count = 0;
    return kResultNotSupported;
}

TBool TARNWICK_API ReadListCardTotalB(int32_t /*handle*/, int32_t * /*capacity*/, int32_t * /*whiteTotal*/, int32_t * /*blackTotal*/, int32_t * /*otherTotal*/) {
    return 0;
}

int32_t TARNWICK_API ReadNameListFormatEx(int32_t /*handle*/, int32_t * /*format*/, char * /*text*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API DownLoadNameList(int32_t /*handle*/, int32_t /*count*/, TNameListRecord * /*entries*/) {
    return kResultNotSupported;
}

TBool TARNWICK_API DeleteNameList(int32_t /*handle*/, int32_t /*listType*/, int32_t /*reserved*/, const char * /*cardNo*/) {
    return 0;
}

TBool TARNWICK_API ReadDeviceListCard(int32_t /*handle*/, int32_t /*first*/, int32_t * count, TNameListRecord * /*entries*/) {
    if (count) *count = 0;
    return 0;
}

TBool TARNWICK_API ReadDeviceListCardAsString(int32_t /*handle*/, int32_t /*first*/, int32_t * count, char * /*text*/) {
    if (count) *count = 0;
    return 0;
}

int32_t TARNWICK_API ClearAllNamelist(int32_t /*handle*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API SetRemoteIP(int32_t /*handle*/, const char * /*ip*/, int32_t /*port*/, int32_t /*mode*/, const char * /*domain*/, int32_t /*reserved*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API ReadRemoteIP(int32_t /*handle*/, char * /*ip*/, int32_t * /*port*/, int32_t * /*mode*/, char * /*domain*/, int32_t * /*reserved*/) {
    return kResultNotSupported;
}

TBool TARNWICK_API StartUpLoad(int32_t /*port*/) {
    return 0;
}

int32_t TARNWICK_API SetUpLoadProc(TOnUploadLogin /*onLogin*/, TOnUploadState /*onState*/, TOnUploadRecords /*onRecords*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API SetUpLoadProcStr(TOnUploadLogin /*onLogin*/, TOnUploadState /*onState*/, TOnUploadText /*onText*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API StopUpLoad(void) {
    return kResultNotSupported;
}

int32_t TARNWICK_API SetSpanTimeofPrice(int32_t /*handle*/, const TSpanTimeSlot * /*slots*/, int32_t /*count*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API ReadSpanTimeofPrice(int32_t /*handle*/, TSpanTimeSlot * /*slots*/, int32_t * count) {
    if (count) *count = 0;
    return kResultNotSupported;
}

int32_t TARNWICK_API SetConsumetimeParam(int32_t /*handle*/, int32_t /*runInTimeMode*/, int32_t /*allowOutOfTime*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API GetConsumetimeParam(int32_t /*handle*/, int32_t * /*runInTimeMode*/, int32_t * /*allowOutOfTime*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API SetWorkModelSta(int32_t /*handle*/, int32_t /*workModel*/, int32_t /*tradeMode*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API GetCurrentWorkModelSta(int32_t /*handle*/, int32_t * /*workModel*/, int32_t * /*tradeMode*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API SetRealTimeCardType(int32_t /*handle*/, int32_t /*cardType*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API ReadRealTimeCardType(int32_t /*handle*/, int32_t * /*cardType*/) {
    return kResultNotSupported;
}

TBool TARNWICK_API SearchLanDevice(TLanDevice * /*devices*/, int32_t * count) {
    if (count) *count = 0;
    return 0;
}

int32_t TARNWICK_API GetQRCode(const char * /*request*/, char ** /*content*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API SetQRCodeKey(int32_t /*handle*/, const char * /*factor*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API SetWaterDevSector(int32_t /*handle*/, int32_t /*sector*/, int32_t /*keyType*/, const char * /*key*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API GetWaterDevSector(int32_t /*handle*/, int32_t * /*sector*/, int32_t * /*keyType*/, char ** /*key*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API SetWaterDevTradeModel(int32_t /*handle*/, int32_t /*tradeMode*/, int32_t /*tradeMethod*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API GetWaterDevTradeModel(int32_t /*handle*/, int32_t * /*tradeMode*/, int32_t * /*tradeMethod*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API GetWaterDevParam(int32_t /*handle*/, char ** /*json*/) {
    return kResultNotSupported;
}

int32_t TARNWICK_API SetWaterDevParam(int32_t /*handle*/, const char * /*json*/) {
    return kResultNotSupported;
}

} // extern "C"
