#include "core/trade_library.h"

namespace tallydesk {

TradeLibraryTable &tradeLibrary()
{
    static TradeLibraryTable table;
    return table;
}

} // namespace tallydesk
