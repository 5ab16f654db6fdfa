#include "pages/online_trade_page.h"

#include "core/clock.h"
#include "core/console_context.h"
#include "core/convert.h"
#include "core/dialogs.h"
#include "core/handler.h"
#include "core/text_codec.h"
#include "core/trade_library.h"
#include "dialogs/clock_dialog.h"
#include "ui_online_trade_page.h"

#include <QPalette>
#include <QPlainTextEdit>
#include <QSocketNotifier>
#include <QTimer>
#include <QTreeWidgetItem>
#include <algorithm>
#include <cstring>
#include <vector>

using namespace tallydesk;

namespace {

// The callbacks come from the library without a context of their own; they
// reach the page through this one reference (the page created last).
OnlineTradePage *g_tradeLogPage = nullptr;

constexpr int32_t kDefaultTradePort = 8002;
// How long a text may wait for Memo3: about one repaint of the screen.
constexpr int kLogFlushMs = 20;

// The demonstration answer.
constexpr uint32_t kDemoBalance = 150;   // cents
constexpr uint32_t kDemoExtraValue = 30;

QString money(uint32_t cents)
{
    return formatFixed(cents / 100.0, 2);
}

// The lines that describe the request's terminal, card and amount.
QString requestLines(const TTradeRequest &request)
{
    return QStringLiteral("  设备IP:") + fromCp936(request.DeviceIP, sizeof request.DeviceIP) + QStringLiteral("\r\n")
           + QStringLiteral("  机号:") + QString::number(request.MachineNo) + QStringLiteral("\r\n")
           + QStringLiteral("  卡号:") + fromCp936(request.CardNo, sizeof request.CardNo) + QStringLiteral("\r\n")
           + QStringLiteral("  交易金额:") + money(request.Amount) + QStringLiteral("\r\n");
}

void appendToLog(const QString &text)
{
    if (g_tradeLogPage)
        g_tradeLogPage->appendTradeLog(text);
}

} // namespace

namespace tallydesk {

uint32_t DemonstrationTradeSerial(const QDateTime &at)
{
    // Whole days times 10^4 plus the elapsed 8.64-second steps of the day,
    // in integers so that a step boundary is never missed by rounding.
    static const QDate epoch(1899, 12, 30);
    const qint64 days = epoch.daysTo(at.date());
    const qint64 steps = at.time().msecsSinceStartOfDay() / 8640;
    return static_cast<uint32_t>(days * 10000 + steps);
}

} // namespace tallydesk

void TILLWIRE_CALL TradeRequestCallback(TTradeRequest *request, TTradeAnswer *answer, uint8_t *accept)
{
    // One instant for the stamps and the serial: the request is decided at once.
    const QDateTime at = now();
    const QString stamp = formatTime(at);
    appendToLog(QString(72, QLatin1Char('-')) + QStringLiteral("\r\n") + stamp + QStringLiteral("收到交易请求\r\n")
                + requestLines(*request));

    answer->TradeSerial = DemonstrationTradeSerial(at);
    answer->ResultCode = 0;
    // The holder's name travels as code page 936 bytes.
    static const QByteArray holderName = toCp936(QStringLiteral("卡户姓名"));
    std::memcpy(answer->Text, holderName.constData(), std::min<std::size_t>(holderName.size(), sizeof answer->Text - 1));
    answer->Balance = kDemoBalance;
    answer->ExtraValue = kDemoExtraValue;

    appendToLog(stamp + QStringLiteral("交易请求通过\r\n") + QStringLiteral("  交易流水号:")
                + QString::number(answer->TradeSerial) + QStringLiteral("\r\n") + QStringLiteral("  当前卡余额:")
                + money(answer->Balance) + QStringLiteral("\r\n"));
    *accept = 1;
}

void TILLWIRE_CALL TradeResultCallback(TTradeRequest *request, int32_t confirmed, uint8_t *flag)
{
    const bool success = static_cast<uint8_t>(confirmed) != 0;
    appendToLog(formatTime(now()) + QStringLiteral("交易") + QString::number(request->TradeSerial)
                + (success ? QStringLiteral("交易成功\r\n") : QStringLiteral("交易失败\r\n")) + requestLines(*request)
                + QString(65, QLatin1Char('-')) + QStringLiteral("\r\n"));
    *flag = 1;
}

OnlineTradePage::OnlineTradePage(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::OnlineTradePage>())
{
    ui->setupUi(this);

    // Registry: device number, address, port. The selected row stays
    // highlighted when the list loses the focus, since the buttons beside it
    // act on that row.
    ui->lvClocks->setColumnWidth(1, 120);
    ui->lvClocks->setColumnWidth(2, 100);
    QPalette registryPalette = ui->lvClocks->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        registryPalette.setColor(QPalette::Inactive, role, registryPalette.color(QPalette::Active, role));
    ui->lvClocks->setPalette(registryPalette);

    // Card-read types: the key of each item is the value exchanged with the
    // terminal.
    ui->dbReadCardType->setItemData(0, 0);
    ui->dbReadCardType->setItemData(1, 1);

    onClick(ui->Button15, this, &OnlineTradePage::Button15Click);
    onClick(ui->Button16, this, &OnlineTradePage::Button16Click);
    onClick(ui->btnLaunch, this, &OnlineTradePage::btnLaunchClick);
    onClick(ui->btnStop, this, &OnlineTradePage::btnStopClick);

    logFlush_ = new QTimer(this);
    logFlush_->setSingleShot(true);
    logFlush_->setInterval(kLogFlushMs);
    connect(logFlush_, &QTimer::timeout, this, &OnlineTradePage::flushTradeLog);

    g_tradeLogPage = this;
    watchTradeLibrary();
}

OnlineTradePage::~OnlineTradePage()
{
    if (g_tradeLogPage == this)
        g_tradeLogPage = nullptr;
}

void OnlineTradePage::setContext(ConsoleContext *context)
{
    context_ = context;
}

// The library's calls for this thread (trade requests, outcomes) wait until
// the thread runs them; its descriptor is readable meanwhile.
void OnlineTradePage::watchTradeLibrary()
{
    const int fd = tradeLibrary().TillwireEventFd();
    if (fd < 0)
        return;
    tradeEvents_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(tradeEvents_, &QSocketNotifier::activated, this, [] { tradeLibrary().TillwireDispatch(); });
}

// Each text becomes one paragraph of Memo3 whose own line breaks are line
// separators: the memo shows and gives back ("\n" in its plain text) the same
// lines as with a paragraph per line, for a third of the cost per text and
// of the memory, which counts in a log that is never trimmed.
void OnlineTradePage::appendTradeLog(const QString &text)
{
    if (!pendingLog_.isEmpty())
        pendingLog_ += QLatin1Char('\n');
    QString paragraph = text;
    paragraph.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
    pendingLog_ += paragraph;
    if (!logFlush_->isActive())
        logFlush_->start();
}

void OnlineTradePage::flushTradeLog()
{
    logFlush_->stop();
    if (pendingLog_.isEmpty())
        return;
    // The waiting paragraphs in one append: the same lines as one append
    // per text, with one layout pass instead of many.
    ui->Memo3->appendPlainText(pendingLog_);
    pendingLog_.clear();
}

void OnlineTradePage::Button15Click()
{
    TfrmDlgClock dialog(context_ ? context_->mainWindow() : window());
    if (dialog.exec() != QDialog::Accepted)
        return;
    auto *row = new QTreeWidgetItem(ui->lvClocks);
    row->setText(0, dialog.clockIdText());
    row->setText(1, dialog.ipText());
    row->setText(2, dialog.portText());
}

void OnlineTradePage::Button16Click()
{
    delete ui->lvClocks->currentItem();
}

void OnlineTradePage::btnLaunchClick()
{
    const int rowCount = ui->lvClocks->topLevelItemCount();
    if (rowCount == 0) {
        showMessage(QStringLiteral("请先登记设备"));
        return;
    }

    // Every row is converted before anything is launched: a cell that is not
    // an integer ends the start with the conversion error.
    std::vector<TTOnlineClock> clocks(static_cast<std::size_t>(rowCount));
    for (int i = 0; i < rowCount; ++i) {
        const QTreeWidgetItem *row = ui->lvClocks->topLevelItem(i);
        TTOnlineClock &clock = clocks[static_cast<std::size_t>(i)];
        std::memset(&clock, 0, sizeof clock);
        clock.ClockNo = static_cast<uint32_t>(strToInt(row->text(0)));
        // The dialog refuses longer addresses; the field keeps its zero in
        // any case.
        const QByteArray ip = toCp936(row->text(1));
        std::memcpy(clock.IP, ip.constData(), std::min<std::size_t>(ip.size(), sizeof clock.IP - 1));
        clock.Port = static_cast<uint32_t>(strToInt(row->text(2)));
    }
    std::vector<TTOnlineClock *> pointers;
    pointers.reserve(clocks.size());
    for (TTOnlineClock &clock : clocks)
        pointers.push_back(&clock);

    const int32_t port = strToIntDef(ui->Edit1->text(), kDefaultTradePort);
    // The library copies the records during the call.
    if (tradeLibrary().LaunchOnline(pointers.data(), rowCount - 1, port, &TradeRequestCallback,
                                    &TradeResultCallback, nullptr)) {
        appendTradeLog(QStringLiteral("开启联机交易成功...\r\n"));
        ui->btnLaunch->setEnabled(false);
        ui->btnStop->setEnabled(true);
    }
}

void OnlineTradePage::btnStopClick()
{
    // The server settles every pending trade first (up to about ten seconds
    // after the last one); their outcomes are logged meanwhile.
    HourglassCursor hourglass;
    if (tradeLibrary().StopOnline()) {
        appendTradeLog(QStringLiteral("停止联机交易成功...\r\n"));
        ui->btnLaunch->setEnabled(true);
        ui->btnStop->setEnabled(false);
    }
}
