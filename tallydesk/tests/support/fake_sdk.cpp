#include "fake_sdk.h"

#include <QApplication>
#include <algorithm>
#include <gtest/gtest.h>
#include <type_traits>

namespace tallydesk::testing {

namespace {

FakeSdk *active = nullptr;

template <std::size_t N> struct Name {
    char text[N];
    constexpr Name(const char (&s)[N]) { std::copy_n(s, N, text); }
};

template <typename Fn, Name name> struct Unexpected;
template <typename R, typename... Args, Name name> struct Unexpected<R(TARNWICK_API *)(Args...), name> {
    static R TARNWICK_API call(Args...)
    {
        FakeSdk::unexpected(name.text);
        if constexpr (!std::is_void_v<R>)
            return R{};
    }
};

FakeSdk &fake()
{
    return *active;
}

void record(std::string call)
{
    fake().calls.push_back(std::move(call));
}

void openCalled()
{
    if (const QCursor *cursor = QApplication::overrideCursor())
        fake().cursorDuringOpen = cursor->shape();
    else
        fake().cursorDuringOpen.reset();
    if (fake().duringOpen)
        fake().duringOpen();
}

} // namespace

FakeSdk::FakeSdk()
{
    active = this;
    SdkTable &t = sdk();
#define TALLYDESK_FAKE_REFUSE(fn) t.fn = &Unexpected<decltype(&::fn), Name(#fn)>::call;
    TALLYDESK_SDK_FUNCTIONS(TALLYDESK_FAKE_REFUSE)
#undef TALLYDESK_FAKE_REFUSE

    t.OpenCommPort = [](int32_t port, int32_t baudRate) -> int32_t {
        record("OpenCommPort(" + std::to_string(port) + "," + std::to_string(baudRate) + ")");
        openCalled();
        return fake().openResult;
    };
    t.OpenClientSocket = [](const char *ip, int32_t port) -> int32_t {
        record("OpenClientSocket(" + std::string(ip ? ip : "<null>") + "," + std::to_string(port) + ")");
        openCalled();
        return fake().openResult;
    };
    t.CallClock = [](int32_t handle, int32_t clockId) -> TBool {
        record("CallClock(" + std::to_string(handle) + "," + std::to_string(clockId) + ")");
        return fake().callClockResult;
    };
    t.ReadClockTime = [](int32_t handle, double *dateTime) -> TBool {
        record("ReadClockTime(" + std::to_string(handle) + ")");
        if (fake().readClockResult)
            *dateTime = fake().clockTime;
        return fake().readClockResult;
    };
    t.UnCallClock = [](int32_t handle) -> int32_t {
        record("UnCallClock(" + std::to_string(handle) + ")");
        return 0;
    };
    t.ClosePortHandle = [](int32_t handle) -> int32_t {
        record("ClosePortHandle(" + std::to_string(handle) + ")");
        return 0;
    };
    t.SetClockTime = [](int32_t handle, double dateTime) -> TBool {
        record("SetClockTime(" + std::to_string(handle) + ")");
        fake().lastSetClockTime = dateTime;
        return fake().setClockTimeResult;
    };
    t.SetClockID = [](int32_t handle, int32_t clockId) -> TBool {
        record("SetClockID(" + std::to_string(handle) + "," + std::to_string(clockId) + ")");
        return fake().setClockIdResult;
    };
    t.GetClockModelEx = [](int32_t handle, int32_t *model, double *version, int32_t *readerType,
                           uint8_t *phonePay, int32_t *cardFormat) -> TBool {
        record("GetClockModelEx(" + std::to_string(handle) + ")");
        if (fake().modelResult) {
            *model = fake().model;
            *version = fake().version;
            *readerType = fake().readerType;
            *phonePay = fake().phonePay;
            *cardFormat = fake().cardFormat;
        }
        return fake().modelResult;
    };
}

FakeSdk::~FakeSdk()
{
    active = nullptr;
}

FakeSdk *FakeSdk::current()
{
    return active;
}

void FakeSdk::unexpected(const char *name)
{
    if (active)
        active->calls.push_back(std::string("unexpected ") + name);
    ADD_FAILURE() << "unexpected call of " << name;
}

} // namespace tallydesk::testing
