#include "core/sdk.h"

namespace tallydesk {

namespace {

#define TALLYDESK_SDK_COUNT(name) +1
static_assert(0 TALLYDESK_SDK_FUNCTIONS(TALLYDESK_SDK_COUNT) == 59, "the library has 59 functions");
#undef TALLYDESK_SDK_COUNT

SdkTable bindLibrary()
{
    SdkTable table;
#define TALLYDESK_SDK_BIND(name) table.name = &::name;
    TALLYDESK_SDK_FUNCTIONS(TALLYDESK_SDK_BIND)
#undef TALLYDESK_SDK_BIND
    return table;
}

} // namespace

const SdkTable &librarySdk()
{
    static const SdkTable table = bindLibrary();
    return table;
}

SdkTable &sdk()
{
    static SdkTable table = librarySdk();
    return table;
}

ScopedSdk::ScopedSdk() : saved_(sdk())
{
}

ScopedSdk::~ScopedSdk()
{
    sdk() = saved_;
}

} // namespace tallydesk
