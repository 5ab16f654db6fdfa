// What a page needs from the main window: the one open link to a terminal,
// the two connection checks, the connection group's current values and the
// online-trade state shared with the window. TForm1 implements it and hands
// it to each page after construction (setContext).
#pragma once

#include <QString>
#include <cstdint>

class QWidget;

namespace tallydesk {

// The connection group's controls as they stand now.
struct ConnectionParams {
    bool serial = false;    // rbCom selected (else rbTCP)
    int comIndex = -1;      // cbbCom item index, -1 for none
    QString baudRateText;   // cbbBautRate text
    QString clockIdText;    // edtClockId text
    QString ipText;         // edtIP text as typed
    QString portText;       // edtPort text
};

class ConsoleContext {
public:
    virtual ~ConsoleContext() = default;

    // FConnHandle: 0 when not connected.
    virtual int32_t connHandle() const = 0;
    // The check "请先进行联机！": false (after the message) when there is no link.
    virtual bool requireConnection() = 0;
    // The check "请先进行联机": the same states, the text without "！".
    virtual bool requireHandle() = 0;

    virtual ConnectionParams connectionParams() const = 0;

    // FTradeMode and FWorkModel of the online-trade page.
    virtual int32_t tradeMode() const = 0;
    virtual void setTradeMode(int32_t mode) = 0;
    virtual int32_t workModel() const = 0;
    virtual void setWorkModel(int32_t model) = 0;

    // The main window, e.g. as owner of dialogs.
    virtual QWidget *mainWindow() = 0;
};

// true when the handle is neither 0 nor -1.
inline bool IsConnected(int32_t handle)
{
    return handle != 0 && handle != -1;
}

} // namespace tallydesk
