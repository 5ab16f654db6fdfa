// Page "联机交易": the terminals that take part in online trading (lvClocks),
// the trade server's port and start/stop buttons, a terminal's trade mode
// and card-read type, the LAN search, the consumption QR code and its
// encryption factor, and the trade log (Memo3) along the page bottom.
//
// The trade server runs inside libtillwire. It asks the console about every
// trade request and reports every accepted trade's outcome through the two
// callbacks below, on the GUI thread: the page watches the library's event
// descriptor and lets the library dispatch whenever it is readable.
#pragma once

#include <tillwire.h>

#include <QDateTime>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>

class QSocketNotifier;
class QTimer;

namespace Ui {
class OnlineTradePage;
}

namespace tallydesk {
class ConsoleContext;
}

class OnlineTradePage : public QWidget
{
    Q_OBJECT

public:
    explicit OnlineTradePage(QWidget *parent = nullptr);
    ~OnlineTradePage() override;

    // The main window, owner of the add-terminal dialog; set once after
    // construction.
    void setContext(tallydesk::ConsoleContext *context);

    // Terminal registry and trade server.
    void Button15Click(); // add a terminal
    void Button16Click(); // remove the selected terminal
    void btnLaunchClick(); // start the trade server
    void btnStopClick();   // stop it

    // Adds one text to the trade log; the log breaks the line after it.
    // Texts reach Memo3 in batches between repaints, so a busy server is not
    // slowed down by one layout per text; flushTradeLog() shows them now.
    void appendTradeLog(const QString &text);
    void flushTradeLog();

private:
    void watchTradeLibrary();

    std::unique_ptr<Ui::OnlineTradePage> ui;
    tallydesk::ConsoleContext *context_ = nullptr;
    QSocketNotifier *tradeEvents_ = nullptr;
    QString pendingLog_;          // texts not yet in Memo3, each after a line break but the first
    QTimer *logFlush_ = nullptr;  // runs flushTradeLog() once per repaint interval while texts wait
};

// The console's answers to the trade server. Every request is approved with
// the demonstration answer and logged; every outcome is logged.
void TILLWIRE_CALL TradeRequestCallback(TTradeRequest *request, TTradeAnswer *answer, uint8_t *accept);
void TILLWIRE_CALL TradeResultCallback(TTradeRequest *request, int32_t confirmed, uint8_t *flag);

namespace tallydesk {

// The demonstration answer's serial: the local date-time as days since
// 1899-12-30 times ten thousand, rounded down (it steps every 8.64 s).
uint32_t DemonstrationTradeSerial(const QDateTime &at);

} // namespace tallydesk
