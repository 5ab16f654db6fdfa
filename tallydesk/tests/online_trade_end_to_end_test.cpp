// Online trading end to end: the console's trade page serving through the
// real libtillwire, with two emulated terminals in online-trade mode over
// UDP on 127.0.0.1. One terminal confirms its trade, the other does not and
// is stopped while its trade is still pending.
#include "console_window_test.h"
#include "core/clock.h"
#include "dialogs/clock_dialog.h"
#include "emulator_process.h"
#include "pages/online_trade_page.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace tallydesk;
using tarnwick::testing::EmulatorProcess;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

namespace {


class OnlineTradeEndToEnd : public tallydesk::testing::ConsoleWindowTest {
protected:
    void SetUp() override
    {
        // The server listens on loopback only.
        setenv("TILLWIRE_LISTEN_ADDRESS", "127.0.0.1", 1);
        serverPort = tarnwick::testing::FreeLoopbackUdpPort();
        ASSERT_GT(serverPort, 0);
    }
    void TearDown() override
    {
        // A test that failed half-way must not leave a server running for
        // the next window.
        if (!button("btnLaunch")->isEnabled())
            button("btnStop")->click();
    }

    bool startTerminal(EmulatorProcess &terminal, int deviceNo, std::vector<std::string> extra = {})
    {
        std::vector<std::string> args{"--clock-id",     std::to_string(deviceNo),
                                      "--trade-mode",   "1",
                                      "--trade-server", "127.0.0.1:" + std::to_string(serverPort),
                                      "--trade-port",   "0"};
        args.insert(args.end(), extra.begin(), extra.end());
        return terminal.Start(args) && terminal.tradePort() > 0;
    }
    void addTerminal(int deviceNo, int port)
    {
        QTimer::singleShot(0, [=] {
            auto *dialog = qobject_cast<TfrmDlgClock *>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialog->findChild<QLineEdit *>(QStringLiteral("edtClock_id"))->setText(QString::number(deviceNo));
            dialog->findChild<QLineEdit *>(QStringLiteral("edtIP"))->setText(QStringLiteral("127.0.0.1"));
            dialog->findChild<QLineEdit *>(QStringLiteral("edtPort"))->setText(QString::number(port));
            dialog->findChild<QPushButton *>(QStringLiteral("btnOK"))->click();
        });
        button("Button15")->click();
    }
    QString memoText() const
    {
        find<OnlineTradePage>("TabSheet7")->flushTradeLog();
        return find<QPlainTextEdit>("Memo3")->toPlainText();
    }
    // Runs the event loop (the console serving) until the terminal printed
    // the text after byte `from` of its output.
    static bool waitForTerminal(const EmulatorProcess &terminal, const std::string &text, std::size_t from,
                                int ms = 5000)
    {
        return QTest::qWaitFor([&] { return terminal.Output().find(text, from) != std::string::npos; }, ms);
    }
    bool waitForMemo(const QString &text, int ms = 5000) const
    {
        return QTest::qWaitFor([&] { return memoText().contains(text); }, ms);
    }

    int serverPort = 0;
};

QStringList requestBlock(const QString &time, int machine, const QString &serial)
{
    return {QString(72, QLatin1Char('-')),
            time + QStringLiteral("收到交易请求"),
            QStringLiteral("  设备IP:127.0.0.1"),
            QStringLiteral("  机号:") + QString::number(machine),
            QStringLiteral("  卡号:0011223344556677"),
            QStringLiteral("  交易金额:12.50"),
            QString(),
            time + QStringLiteral("交易请求通过"),
            QStringLiteral("  交易流水号:") + serial,
            QStringLiteral("  当前卡余额:1.50"),
            QString()};
}

QStringList resultBlock(const QString &time, const QString &serial, bool confirmed, int machine)
{
    return {time + QStringLiteral("交易") + serial
                + (confirmed ? QStringLiteral("交易成功") : QStringLiteral("交易失败")),
            QStringLiteral("  设备IP:127.0.0.1"),
            QStringLiteral("  机号:") + QString::number(machine),
            QStringLiteral("  卡号:0011223344556677"),
            QStringLiteral("  交易金额:12.50"),
            QString(65, QLatin1Char('-')),
            QString()};
}

TEST_F(OnlineTradeEndToEnd, ConfirmedAndUnconfirmedTradesAreLoggedAndStopSettlesThePendingOne)
{
    EmulatorProcess confirming, silent;
    ASSERT_TRUE(startTerminal(confirming, 61, {"--machine-no", "7"}));
    ASSERT_TRUE(startTerminal(silent, 62, {"--machine-no", "8", "--no-confirm"}));

    // A fixed "now" makes the serial and the time stamps known.
    const QDateTime at(QDate(2026, 12, 11), QTime(9, 5, 3));
    setNowSource([at] { return at; });
    const QString serial = QString::number(DemonstrationTradeSerial(at));
    const QString time = QStringLiteral("09:05:03");

    // The registry as an operator builds it: the sample row replaced by the
    // first terminal, the second added with the dialog.
    auto *registry = find<QTreeWidget>("lvClocks");
    registry->setCurrentItem(registry->topLevelItem(0));
    button("Button16")->click();
    addTerminal(61, confirming.tradePort());
    addTerminal(62, silent.tradePort());
    ASSERT_EQ(registry->topLevelItemCount(), 2);
    edit("Edit1")->setText(QString::number(serverPort));

    button("btnLaunch")->click();
    ASSERT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join(QLatin1Char('|')).toStdString();
    ASSERT_EQ(memoText(), QStringLiteral("开启联机交易成功...\n"));
    EXPECT_FALSE(button("btnLaunch")->isEnabled());
    EXPECT_TRUE(button("btnStop")->isEnabled());

    // The confirming terminal: approved with the demonstration answer, then
    // confirmed, then reported as a success.
    std::size_t mark = confirming.Output().size();
    ASSERT_TRUE(confirming.Command("swipe 0011223344556677 1250"));
    ASSERT_TRUE(waitForTerminal(confirming, "trade confirmed serial=" + serial.toStdString(), mark))
        << confirming.Output().substr(mark);
    EXPECT_THAT(confirming.Output().substr(mark), HasSubstr("balance=1.50"));
    EXPECT_THAT(confirming.Output().substr(mark), HasSubstr("name=卡户姓名"));
    ASSERT_TRUE(waitForMemo(QStringLiteral("交易") + serial + QStringLiteral("交易成功")))
        << memoText().toStdString();

    // The silent terminal: approved, never confirmed. Stopping now waits for
    // its trade to be settled as a failure, about ten seconds later.
    mark = silent.Output().size();
    ASSERT_TRUE(silent.Command("swipe 0011223344556677 1250"));
    ASSERT_TRUE(waitForTerminal(silent, "trade unconfirmed serial=" + serial.toStdString(), mark))
        << silent.Output().substr(mark);
    ASSERT_TRUE(QTest::qWaitFor([&] { return memoText().count(QStringLiteral("交易请求通过")) == 2; }, 5000))
        << memoText().toStdString();
    QElapsedTimer stopping;
    stopping.start();
    button("btnStop")->click();
    EXPECT_GT(stopping.elapsed(), 5000); // it waited for the pending trade
    EXPECT_TRUE(button("btnLaunch")->isEnabled());
    EXPECT_FALSE(button("btnStop")->isEnabled());

    QStringList expected{QStringLiteral("开启联机交易成功..."), QString()};
    expected << requestBlock(time, 7, serial) << resultBlock(time, serial, true, 7);
    expected << requestBlock(time, 8, serial) << resultBlock(time, serial, false, 8);
    expected << QStringLiteral("停止联机交易成功...") << QString();
    EXPECT_THAT(memoText().split(QLatin1Char('\n')), ElementsAreArray(expected)) << memoText().toStdString();
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(OnlineTradeEndToEnd, RequestsFromUnregisteredTerminalsAreNeitherAnsweredNorLogged)
{
    EmulatorProcess stranger;
    ASSERT_TRUE(startTerminal(stranger, 77, {"--trade-timeout-ms", "300"}));
    // The registry holds one terminal, and the stranger is not it.
    QTreeWidgetItem *row = find<QTreeWidget>("lvClocks")->topLevelItem(0);
    row->setText(1, QStringLiteral("127.0.0.1"));
    edit("Edit1")->setText(QString::number(serverPort));
    button("btnLaunch")->click();
    ASSERT_EQ(memoText(), QStringLiteral("开启联机交易成功...\n"));

    const std::size_t mark = stranger.Output().size();
    ASSERT_TRUE(stranger.Command("swipe 0011223344556677 1250"));
    ASSERT_TRUE(waitForTerminal(stranger, "trade timeout", mark)) << stranger.Output().substr(mark);
    EXPECT_EQ(memoText(), QStringLiteral("开启联机交易成功...\n"));

    button("btnStop")->click();
    EXPECT_EQ(memoText(), QStringLiteral("开启联机交易成功...\n\n停止联机交易成功...\n"));
}

} // namespace
