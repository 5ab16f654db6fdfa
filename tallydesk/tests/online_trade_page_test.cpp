// The trade registry and server control of "联机交易" and the console's
// answers to the trade server, against a scripted trade library: what a
// launch hands over, when nothing is launched, the button states, and the
// exact texts of the trade log.
#include "console_window_test.h"
#include "core/clock.h"
#include "core/text_codec.h"
#include "core/trade_library.h"
#include "dialogs/clock_dialog.h"
#include "pages/online_trade_page.h"

#include <QApplication>
#include <QLineEdit>
#include <QAbstractTextDocumentLayout>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTextBlock>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace tallydesk;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// A registered terminal as the library received it.
struct LaunchedClock {
    uint32_t clockNo = 0;
    std::string ip;
    uint32_t port = 0;
    bool restZero = false; // Online, Notified, OnlineTime and the bytes after the address text
};

// Stand-in for libtillwire's launch and stop: records what it is given
// (copying the records during the call, as the library does) and answers
// with the chosen results.
struct FakeTradeLibrary {
    static inline FakeTradeLibrary *current = nullptr;

    ScopedTradeLibrary restore;
    uint8_t launchResult = 1;
    uint8_t stopResult = 1;
    int launches = 0;
    int stops = 0;
    std::vector<LaunchedClock> clocks;
    int32_t lastIndex = -99;
    int32_t port = -1;
    TOnTradeRequest onRequest = nullptr;
    TOnTradeResult onResult = nullptr;
    TOnOnlineState onState = reinterpret_cast<TOnOnlineState>(1);

    FakeTradeLibrary()
    {
        current = this;
        tradeLibrary().LaunchOnline = [](TTOnlineClock **records, int32_t last, int32_t p, TOnTradeRequest req,
                                         TOnTradeResult res, TOnOnlineState state) -> uint8_t {
            FakeTradeLibrary &f = *current;
            ++f.launches;
            f.lastIndex = last;
            f.port = p;
            f.onRequest = req;
            f.onResult = res;
            f.onState = state;
            for (int32_t i = 0; i <= last; ++i) {
                TTOnlineClock copy;
                std::memcpy(&copy, records[i], sizeof copy);
                LaunchedClock c;
                c.clockNo = copy.ClockNo;
                c.port = copy.Port;
                const std::size_t len = strnlen(copy.IP, sizeof copy.IP);
                c.ip.assign(copy.IP, len);
                bool zero = len < sizeof copy.IP && copy.Online == 0 && copy.Notified == 0 && copy.OnlineTime == 0;
                for (std::size_t k = len; k < sizeof copy.IP; ++k)
                    zero = zero && copy.IP[k] == 0;
                c.restZero = zero;
                f.clocks.push_back(c);
            }
            return f.launchResult;
        };
        tradeLibrary().StopOnline = []() -> uint8_t {
            ++current->stops;
            return current->stopResult;
        };
    }
    ~FakeTradeLibrary() { current = nullptr; }
};

class OnlineTradePageTest : public tallydesk::testing::ConsoleWindowTest {
protected:
    FakeTradeLibrary trade;

    QTreeWidget *registry() const { return find<QTreeWidget>("lvClocks"); }
    QPlainTextEdit *memo() const { return find<QPlainTextEdit>("Memo3"); }
    // Memo3's text once the waiting texts are in.
    QString memoText() const
    {
        find<OnlineTradePage>("TabSheet7")->flushTradeLog();
        return memo()->toPlainText();
    }
    QStringList memoLines() const { return memoText().split(QLatin1Char('\n')); }
    bool launchEnabled() const { return button("btnLaunch")->isEnabled(); }
    bool stopEnabled() const { return button("btnStop")->isEnabled(); }

    // Fills the add-terminal dialog once it is shown and presses OK (or Cancel).
    void addTerminal(const QString &id, const QString &ip, const QString &port, bool ok = true)
    {
        QTimer::singleShot(0, [=] {
            auto *dialog = qobject_cast<TfrmDlgClock *>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialog->findChild<QLineEdit *>(QStringLiteral("edtClock_id"))->setText(id);
            dialog->findChild<QLineEdit *>(QStringLiteral("edtIP"))->setText(ip);
            dialog->findChild<QLineEdit *>(QStringLiteral("edtPort"))->setText(port);
            dialog->findChild<QPushButton *>(ok ? QStringLiteral("btnOK") : QStringLiteral("btnCancel"))->click();
        });
        button("Button15")->click();
    }
    void setRow(int row, const QString &id, const QString &ip, const QString &port)
    {
        QTreeWidgetItem *item = registry()->topLevelItem(row);
        item->setText(0, id);
        item->setText(1, ip);
        item->setText(2, port);
    }
};

TEST_F(OnlineTradePageTest, LaunchWithTheDefaultRowAndPort)
{
    EXPECT_TRUE(launchEnabled());
    EXPECT_TRUE(stopEnabled());
    const std::string defaultIp = registry()->topLevelItem(0)->text(1).toStdString();

    button("btnLaunch")->click();

    ASSERT_EQ(trade.launches, 1);
    ASSERT_EQ(trade.clocks.size(), 1u);
    EXPECT_EQ(trade.clocks[0].clockNo, 60u);
    EXPECT_EQ(trade.clocks[0].ip, defaultIp);
    EXPECT_EQ(trade.clocks[0].port, 4001u);
    EXPECT_TRUE(trade.clocks[0].restZero);
    EXPECT_EQ(trade.lastIndex, 0);
    EXPECT_EQ(trade.port, 8002);
    EXPECT_EQ(trade.onRequest, &TradeRequestCallback);
    EXPECT_EQ(trade.onResult, &TradeResultCallback);
    EXPECT_EQ(trade.onState, nullptr);
    EXPECT_EQ(memoText(), QStringLiteral("开启联机交易成功...\n"));
    EXPECT_FALSE(launchEnabled());
    EXPECT_TRUE(stopEnabled());
    EXPECT_THAT(dialogs.shown, IsEmpty());

    button("btnStop")->click();
    EXPECT_EQ(trade.stops, 1);
    EXPECT_THAT(memoLines(), ElementsAre("开启联机交易成功...", "", "停止联机交易成功...", ""));
    EXPECT_TRUE(launchEnabled());
    EXPECT_FALSE(stopEnabled());
}

TEST_F(OnlineTradePageTest, LogTextsReachTheMemoByThemselvesAsIfAppendedOneByOne)
{
    OnlineTradePage *page = find<OnlineTradePage>("TabSheet7");
    page->appendTradeLog(QStringLiteral("a\r\nb\r\n"));
    page->appendTradeLog(QStringLiteral("c"));
    page->appendTradeLog(QStringLiteral("\r\n"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !memo()->toPlainText().isEmpty(); }, 2000));
    QPlainTextEdit oneByOne;
    for (const char *text : {"a\nb\n", "c", "\n"})
        oneByOne.appendPlainText(QString::fromUtf8(text));
    EXPECT_EQ(memo()->toPlainText(), oneByOne.toPlainText());
    EXPECT_EQ(memo()->toPlainText(), QStringLiteral("a\nb\n\nc\n\n"));

    // On screen too: as many lines, at the same places.
    window->resize(790, 591);
    window->show();
    find<QTabWidget>("PageControl1")->setCurrentWidget(page);
    oneByOne.setFont(memo()->font());
    oneByOne.resize(memo()->size());
    oneByOne.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&oneByOne));
    const auto *shown = memo()->document()->documentLayout();
    const auto *expected = oneByOne.document()->documentLayout();
    EXPECT_EQ(shown->documentSize().height(), expected->documentSize().height()); // lines, for a plain-text memo
    EXPECT_EQ(shown->documentSize().height(), 6);
    for (const char *line : {"a", "b", "c"}) {
        const QTextCursor atShown = memo()->document()->find(QString::fromUtf8(line));
        const QTextCursor atExpected = oneByOne.document()->find(QString::fromUtf8(line));
        ASSERT_FALSE(atShown.isNull()) << line;
        EXPECT_EQ(memo()->cursorRect(atShown).top(), oneByOne.cursorRect(atExpected).top()) << line;
    }
}

TEST_F(OnlineTradePageTest, RowsAddedThroughTheDialogAreLaunchedInOrder)
{
    setRow(0, "61", "127.0.0.1", "5001");
    addTerminal("62", "127.0.0.2", "5002");
    addTerminal("99", "127.0.0.9", "5009", /*ok=*/false);   // cancelled: no row
    addTerminal("63", "127.100.100.200", "5003");
    ASSERT_EQ(registry()->topLevelItemCount(), 3);
    EXPECT_EQ(registry()->topLevelItem(2)->text(1), QStringLiteral("127.100.100.200"));
    edit("Edit1")->setText(QStringLiteral("9100"));

    button("btnLaunch")->click();

    ASSERT_EQ(trade.clocks.size(), 3u);
    EXPECT_EQ(trade.lastIndex, 2);
    EXPECT_EQ(trade.port, 9100);
    const std::pair<uint32_t, const char *> expected[] = {{61, "127.0.0.1"}, {62, "127.0.0.2"},
                                                          {63, "127.100.100.200"}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(trade.clocks[i].clockNo, expected[i].first) << i;
        EXPECT_EQ(trade.clocks[i].ip, expected[i].second) << i;
        EXPECT_EQ(trade.clocks[i].port, 5001u + i) << i;
        EXPECT_TRUE(trade.clocks[i].restZero) << i;
    }
}

TEST_F(OnlineTradePageTest, RemoveDeletesOnlyTheSelectedRow)
{
    addTerminal("62", "127.0.0.2", "5002");
    registry()->setCurrentItem(nullptr);
    button("Button16")->click();
    EXPECT_EQ(registry()->topLevelItemCount(), 2); // no selection: nothing happens

    registry()->setCurrentItem(registry()->topLevelItem(0));
    button("Button16")->click();
    ASSERT_EQ(registry()->topLevelItemCount(), 1);
    EXPECT_EQ(registry()->topLevelItem(0)->text(0), QStringLiteral("62"));
    EXPECT_THAT(dialogs.shown, IsEmpty());
}

struct RefusedLaunch {
    const char *what;
    const char *id, *port;  // the default row's cells
    bool emptyRegistry;
    const char *shown;      // the box shown, nullptr for none
};

void PrintTo(const RefusedLaunch &c, std::ostream *os)
{
    *os << c.what;
}

class LaunchRefused : public OnlineTradePageTest, public ::testing::WithParamInterface<RefusedLaunch> {};

TEST_P(LaunchRefused, NothingIsLaunchedAndTheButtonsStay)
{
    const RefusedLaunch &c = GetParam();
    if (c.emptyRegistry)
        registry()->clear();
    else
        setRow(0, QString::fromUtf8(c.id), QStringLiteral("127.0.0.1"), QString::fromUtf8(c.port));

    button("btnLaunch")->click();

    EXPECT_EQ(trade.launches, 0);
    EXPECT_THAT(dialogs.shown, ElementsAre(QString::fromUtf8(c.shown)));
    EXPECT_TRUE(memoText().isEmpty());
    EXPECT_TRUE(launchEnabled());
    EXPECT_TRUE(stopEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LaunchRefused,
    ::testing::Values(RefusedLaunch{"empty registry", "", "", true, "message: 请先登记设备"},
                      RefusedLaunch{"port is a word", "60", "abc", false, "error: 'abc' is not a valid integer value"},
                      RefusedLaunch{"device number is a word", "six", "4001", false,
                                    "error: 'six' is not a valid integer value"},
                      RefusedLaunch{"blank port", "60", " ", false, "error: ' ' is not a valid integer value"}),
    [](const auto &info) {
        std::string name = info.param.what;
        for (char &ch : name)
            if (ch == ' ')
                ch = '_';
        return name;
    });

TEST_F(OnlineTradePageTest, ListenPortFallsBackTo8002)
{
    for (const char *text : {"abc", "", "80 02"}) {
        edit("Edit1")->setText(QString::fromUtf8(text));
        trade.launchResult = 0; // stay idle so the next click launches again
        button("btnLaunch")->click();
        EXPECT_EQ(trade.port, 8002) << text;
    }
    EXPECT_EQ(trade.launches, 3);
}

TEST_F(OnlineTradePageTest, FailedLaunchOrStopShowsNothingAndKeepsTheButtons)
{
    trade.launchResult = 0;
    button("btnLaunch")->click();
    EXPECT_EQ(trade.launches, 1);
    EXPECT_TRUE(memoText().isEmpty());
    EXPECT_TRUE(launchEnabled());
    EXPECT_TRUE(stopEnabled());

    trade.launchResult = 1;
    button("btnLaunch")->click();
    trade.stopResult = 0;
    button("btnStop")->click();
    EXPECT_EQ(trade.stops, 1);
    EXPECT_THAT(memoLines(), ElementsAre("开启联机交易成功...", ""));
    EXPECT_FALSE(launchEnabled());
    EXPECT_TRUE(stopEnabled());
    EXPECT_THAT(dialogs.shown, IsEmpty());
}

// A request as the server hands it up.
TTradeRequest request(uint32_t machineNo, uint32_t amount)
{
    TTradeRequest r;
    std::memset(&r, 0, sizeof r);
    std::strcpy(r.DeviceIP, "127.0.0.1");
    r.ClockNo = 60;
    std::strcpy(r.CardNo, "0011223344556677");
    r.MachineNo = machineNo;
    r.Amount = amount;
    return r;
}

TEST_F(OnlineTradePageTest, RequestIsLoggedApprovedWithTheDemonstrationAnswerAndAccepted)
{
    const QDateTime at(QDate(2026, 12, 11), QTime(9, 5, 3, 250));
    setNowSource([at] { return at; });
    TTradeRequest r = request(7, 1250);
    TTradeAnswer answer;
    std::memset(&answer, 0, sizeof answer);
    uint8_t accept = 0;

    TradeRequestCallback(&r, &answer, &accept);

    EXPECT_EQ(accept, 1);
    const uint32_t serial = answer.TradeSerial;
    EXPECT_EQ(serial, DemonstrationTradeSerial(at));
    const int32_t resultCode = answer.ResultCode;
    const uint32_t balance = answer.Balance, extraValue = answer.ExtraValue;
    EXPECT_EQ(resultCode, 0);
    EXPECT_EQ(balance, 150u);
    EXPECT_EQ(extraValue, 30u);
    EXPECT_EQ(fromCp936(answer.Text, sizeof answer.Text), QStringLiteral("卡户姓名"));
    const QByteArray name = toCp936(QStringLiteral("卡户姓名"));
    for (std::size_t i = static_cast<std::size_t>(name.size()); i < sizeof answer.Text; ++i)
        ASSERT_EQ(answer.Text[i], 0) << i;
    for (char ch : answer.ExtraText)
        ASSERT_EQ(ch, 0);

    const QString serialText = QString::number(serial);
    EXPECT_THAT(memoLines(),
                ElementsAre(QString(72, QLatin1Char('-')), "09:05:03收到交易请求", "  设备IP:127.0.0.1", "  机号:7",
                            "  卡号:0011223344556677", "  交易金额:12.50", "", "09:05:03交易请求通过",
                            QStringLiteral("  交易流水号:") + serialText, "  当前卡余额:1.50", ""));
}

TEST_F(OnlineTradePageTest, OutcomeIsLoggedWithTheSerialOfItsApproval)
{
    setNowSource([] { return QDateTime(QDate(2026, 12, 11), QTime(9, 5, 3)); });
    TTradeRequest r = request(7, 1250);
    TTradeAnswer answer;
    std::memset(&answer, 0, sizeof answer);
    uint8_t accept = 0;
    TradeRequestCallback(&r, &answer, &accept);
    r.TradeSerial = answer.TradeSerial; // the server copies it into the request
    memoText();
    memo()->clear();

    // Only the low byte of the confirmation counts.
    const std::pair<int32_t, const char *> outcomes[] = {
        {0, "交易失败"}, {1, "交易成功"}, {0x100, "交易失败"}, {0x101, "交易成功"}};
    setNowSource([] { return QDateTime(QDate(2026, 12, 11), QTime(9, 5, 13)); });
    for (const auto &[confirmed, verdict] : outcomes) {
        memoText();
        memo()->clear();
        uint8_t flag = 0;
        TradeResultCallback(&r, confirmed, &flag);
        EXPECT_EQ(flag, 1);
        EXPECT_THAT(memoLines(),
                    ElementsAre(QStringLiteral("09:05:13交易") + QString::number(answer.TradeSerial)
                                    + QString::fromUtf8(verdict),
                                "  设备IP:127.0.0.1", "  机号:7", "  卡号:0011223344556677", "  交易金额:12.50",
                                QString(65, QLatin1Char('-')), ""))
            << confirmed;
    }
}

TEST(DemonstrationTradeSerial, DayCountTimesTenThousandInStepsOf8640Ms)
{
    const QDate day(2026, 12, 11);
    const uint32_t dayCount = static_cast<uint32_t>(QDate(1899, 12, 30).daysTo(day));
    const struct {
        QTime time;
        uint32_t steps;
    } cases[] = {
        {QTime(0, 0), 0},
        {QTime(0, 0, 8, 639), 0},
        {QTime(0, 0, 8, 640), 1},
        {QTime(12, 0), 5000}, // noon: the day count plus one half
        {QTime(23, 59, 59, 999), 9999},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DemonstrationTradeSerial(QDateTime(day, c.time)), dayCount * 10000 + c.steps)
            << c.time.toString().toStdString();
    // Requests within one step share their serial; the step 4167 runs from
    // 10:00:02.880 to 10:00:11.519.
    EXPECT_EQ(DemonstrationTradeSerial(QDateTime(day, QTime(10, 0, 2, 880))), dayCount * 10000 + 4167);
    EXPECT_EQ(DemonstrationTradeSerial(QDateTime(day, QTime(10, 0, 11, 519))), dayCount * 10000 + 4167);
    EXPECT_EQ(DemonstrationTradeSerial(QDateTime(day, QTime(10, 0, 11, 520))), dayCount * 10000 + 4168);
}

TEST_F(OnlineTradePageTest, AmountsAndMachineNumbersAtTheirLimits)
{
    setNowSource([] { return QDateTime(QDate(2026, 12, 11), QTime(9, 5, 3)); });
    const struct {
        uint32_t machine, amount;
        const char *machineText, *amountText;
    } cases[] = {{0, 0, "0", "0.00"}, {255, 5, "255", "0.05"}, {7, 4294967295u, "7", "42949672.95"}};
    for (const auto &c : cases) {
        memoText();
        memo()->clear();
        TTradeRequest r = request(c.machine, c.amount);
        TTradeAnswer answer;
        std::memset(&answer, 0, sizeof answer);
        uint8_t accept = 0;
        TradeRequestCallback(&r, &answer, &accept);
        const QStringList lines = memoLines();
        ASSERT_GE(lines.size(), 6);
        EXPECT_EQ(lines[3], QStringLiteral("  机号:") + QString::fromUtf8(c.machineText));
        EXPECT_EQ(lines[5], QStringLiteral("  交易金额:") + QString::fromUtf8(c.amountText));
    }
}

} // namespace
