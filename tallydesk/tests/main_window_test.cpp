// The main window: its layout, opening and closing the link, the connection
// checks and the pop-up menu of the privilege groups, against the scripted
// fake device library.
#include "core/convert.h"
#include "console_window_test.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

using namespace tallydesk;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class MainWindow : public tallydesk::testing::ConsoleWindowTest {
protected:
    bool connectedButtons() const
    {
        return !button("btnConnect")->isEnabled() && button("btnDisConnect")->isEnabled();
    }
    bool idleButtons() const { return button("btnConnect")->isEnabled() && !button("btnDisConnect")->isEnabled(); }
};

TEST_F(MainWindow, WindowAndConnectionGroupAsDesigned)
{
    EXPECT_EQ(window->objectName(), QStringLiteral("Form1"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("T06,T10,T01,T04参数设置"));
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(find<QGroupBox>("grp1")->title(), QStringLiteral("联机操作"));
    EXPECT_EQ(find<QGroupBox>("grp1")->maximumHeight(), 92);

    EXPECT_EQ(edit("edtClockId")->text(), QStringLiteral("24"));
    EXPECT_EQ(edit("edtPort")->text(), QStringLiteral("4001"));
    EXPECT_FALSE(edit("edtIP")->text().isEmpty());
    EXPECT_FALSE(find<QRadioButton>("rbCom")->isChecked());
    EXPECT_TRUE(find<QRadioButton>("rbTCP")->isChecked());
    EXPECT_EQ(find<QRadioButton>("rbCom")->text(), QStringLiteral("串口连接"));
    EXPECT_EQ(find<QRadioButton>("rbTCP")->text(), QStringLiteral("网络连接"));
    EXPECT_EQ(button("btnConnect")->text(), QStringLiteral("1、联机"));
    EXPECT_EQ(button("btnDisConnect")->text(), QStringLiteral("4、脱机"));

    auto texts = [](QComboBox *box) {
        QStringList list;
        for (int i = 0; i < box->count(); ++i)
            list << box->itemText(i);
        return list;
    };
    EXPECT_EQ(texts(combo("cbbCom")), QStringList({"COM1", "COM2", "COM3", "COM4", "COM5"}));
    EXPECT_EQ(texts(combo("cbbBautRate")), QStringList({"9600", "19200", "38400", "57600", "115200"}));
    EXPECT_EQ(combo("cbbCom")->currentIndex(), 0);
    EXPECT_EQ(combo("cbbBautRate")->currentIndex(), 0);
    EXPECT_FALSE(combo("cbbCom")->isEditable());
    EXPECT_FALSE(combo("cbbBautRate")->isEditable());

    // Every label of the group names its input.
    const std::pair<const char *, const char *> buddies[] = {{"lbl5", "edtClockId"}, {"lbl1", "cbbCom"},
                                                             {"lbl4", "cbbBautRate"}, {"lbl2", "edtIP"},
                                                             {"lbl3", "edtPort"}};
    for (const auto &[labelName, inputName] : buddies)
        EXPECT_EQ(find<QLabel>(labelName)->buddy(), window->findChild<QWidget *>(QString::fromLatin1(inputName)))
            << labelName;
}

TEST_F(MainWindow, EightPagesInOrderFirstActiveAndNotConnected)
{
    QTabWidget *pages = find<QTabWidget>("PageControl1");
    const std::pair<const char *, const char *> expected[] = {
        {"TabSheet1", "基础设置"},   {"TabSheet2", "刷卡设置"}, {"TabSheet3", "采集数据"},
        {"TabSheet4", "名单管理"},   {"TabSheet5", "时段消费模式"}, {"TabSheet6", "主动上传"},
        {"TabSheet7", "联机交易"},   {"TabSheet10", "水控机"}};
    ASSERT_EQ(pages->count(), 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(pages->widget(i)->objectName(), QString::fromLatin1(expected[i].first)) << i;
        EXPECT_EQ(pages->tabText(i), QString::fromUtf8(expected[i].second)) << i;
    }
    EXPECT_EQ(pages->currentIndex(), 0);
    EXPECT_EQ(window->connHandle(), 0);
    EXPECT_EQ(window->tradeMode(), 0);
    EXPECT_EQ(window->workModel(), 0);
    EXPECT_TRUE(idleButtons());
    EXPECT_THAT(fake.calls, IsEmpty());
    EXPECT_THAT(dialogs.shown, IsEmpty());
}

TEST_F(MainWindow, CreationEmptiesTheLogsAndResetsPagesAndGroups)
{
    QTabWidget *pages = find<QTabWidget>("PageControl1");
    QListWidget *groups = find<QListWidget>("lstGroups");
    for (const char *memo : {"Memo1", "Memo3", "Memo4"})
        find<QPlainTextEdit>(memo)->setPlainText(QStringLiteral("left over"));
    pages->setCurrentIndex(5);
    groups->item(9)->setCheckState(Qt::Checked);
    groups->addItem(QStringLiteral("extra"));

    window->FormCreate();
    for (const char *memo : {"Memo1", "Memo3", "Memo4"})
        EXPECT_TRUE(find<QPlainTextEdit>(memo)->toPlainText().isEmpty()) << memo;
    EXPECT_EQ(pages->currentIndex(), 0);
    ASSERT_EQ(groups->count(), 256);
    EXPECT_EQ(groups->item(9)->checkState(), Qt::Unchecked);
    EXPECT_TRUE(idleButtons());
}

TEST_F(MainWindow, PrivilegeGroupListHolds256UntickedGroups)
{
    QListWidget *groups = find<QListWidget>("lstGroups");
    ASSERT_EQ(groups->count(), 256);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(groups->item(i)->text(), QString::number(i));
        EXPECT_EQ(groups->item(i)->checkState(), Qt::Unchecked);
    }
}

// Refused input: a message, no call into the library, the state as it was.
struct RefusedCase {
    const char *name;
    bool serial;
    const char *clockId;
    const char *ip;
    const char *port;
    int comIndex;
    const char *message;
};

void PrintTo(const RefusedCase &c, std::ostream *os)
{
    *os << c.name;
}

class RefusedConnect : public MainWindow, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedConnect, ShowsTheMessageWithoutCallingTheLibrary)
{
    const RefusedCase c = GetParam();
    edit("edtClockId")->setText(QString::fromUtf8(c.clockId));
    if (c.serial) {
        useSerial(0, 0);
        combo("cbbCom")->setCurrentIndex(c.comIndex);
    } else {
        useTcp(QString::fromUtf8(c.ip), QString::fromUtf8(c.port));
    }
    button("btnConnect")->click();
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("message: ") + QString::fromUtf8(c.message)});
    EXPECT_THAT(fake.calls, IsEmpty());
    EXPECT_EQ(window->connHandle(), 0);
    EXPECT_TRUE(idleButtons());
}

INSTANTIATE_TEST_SUITE_P(
    Table, RefusedConnect,
    ::testing::Values(RefusedCase{"ZeroTcp", false, "0", "127.0.0.1", "4001", 0, "请输入正确的机号！"},
                      RefusedCase{"NegativeTcp", false, "-3", "127.0.0.1", "4001", 0, "请输入正确的机号！"},
                      RefusedCase{"LettersTcp", false, "abc", "127.0.0.1", "4001", 0, "请输入正确的机号！"},
                      RefusedCase{"EmptyTcp", false, "", "127.0.0.1", "4001", 0, "请输入正确的机号！"},
                      RefusedCase{"ZeroSerial", true, "0", "", "", 0, "请输入正确的机号！"},
                      RefusedCase{"LettersSerial", true, "a1", "", "", 0, "请输入正确的机号！"},
                      RefusedCase{"EmptySerial", true, "", "", "", 0, "请输入正确的机号！"},
                      RefusedCase{"BlankIp", false, "24", "   ", "4001", 0, "请输入正确的联机参数！"},
                      RefusedCase{"EmptyIp", false, "24", "", "4001", 0, "请输入正确的联机参数！"},
                      RefusedCase{"PortZero", false, "24", "127.0.0.1", "0", 0, "请输入正确的联机参数！"},
                      RefusedCase{"PortNegative", false, "24", "127.0.0.1", "-1", 0, "请输入正确的联机参数！"},
                      RefusedCase{"PortLetters", false, "24", "127.0.0.1", "abc", 0, "请输入正确的联机参数！"},
                      RefusedCase{"PortEmpty", false, "24", "127.0.0.1", "", 0, "请输入正确的联机参数！"},
                      RefusedCase{"NoSerialPort", true, "24", "", "", -1, "请输入正确的联机参数！"}),
    [](const auto &info) { return std::string(info.param.name); });

// Accepted input: the exact arguments of the open call, then CallClock with
// the device number and ReadClockTime.
struct OpenCase {
    const char *name;
    bool serial;
    int comIndex;
    int baudIndex;
    const char *clockId;
    const char *ip;
    const char *port;
    const char *openCall;
    const char *callClock;
};

void PrintTo(const OpenCase &c, std::ostream *os)
{
    *os << c.name;
}

class AcceptedConnect : public MainWindow, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(AcceptedConnect, OpensCallsAndReadsTheClock)
{
    const OpenCase c = GetParam();
    edit("edtClockId")->setText(QString::fromUtf8(c.clockId));
    if (c.serial) {
        // The network boxes are not looked at on a serial link.
        edit("edtIP")->setText(QString::fromUtf8(c.ip));
        edit("edtPort")->setText(QString::fromUtf8(c.port));
        useSerial(c.comIndex, c.baudIndex);
    } else {
        useTcp(QString::fromUtf8(c.ip), QString::fromUtf8(c.port));
    }
    button("btnConnect")->click();
    EXPECT_THAT(fake.calls, ElementsAre(c.openCall, c.callClock, "ReadClockTime(7)"));
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("message: 联机成功！")});
    EXPECT_EQ(window->connHandle(), 7);
    EXPECT_TRUE(connectedButtons());
    // The connection controls stay editable while connected.
    EXPECT_TRUE(edit("edtIP")->isEnabled());
    EXPECT_TRUE(combo("cbbCom")->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Table, AcceptedConnect,
    ::testing::Values(
        OpenCase{"Com3At38400", true, 2, 2, "24", "", "", "OpenCommPort(3,38400)", "CallClock(7,24)"},
        OpenCase{"Com1At9600", true, 0, 0, "1", "", "", "OpenCommPort(1,9600)", "CallClock(7,1)"},
        OpenCase{"Com5At115200", true, 4, 4, "2", "   ", "abc", "OpenCommPort(5,115200)", "CallClock(7,2)"},
        OpenCase{"TcpPlain", false, 0, 0, "24", "127.0.0.1", "4001", "OpenClientSocket(127.0.0.1,4001)",
                 "CallClock(7,24)"},
        // The address passes the check trimmed but travels as typed.
        OpenCase{"TcpAddressWithBlanks", false, 0, 0, "24", " 127.0.0.1 ", "4002",
                 "OpenClientSocket( 127.0.0.1 ,4002)", "CallClock(7,24)"},
        OpenCase{"TcpHexDeviceNumber", false, 0, 0, "$1F", "127.0.0.1", "4001",
                 "OpenClientSocket(127.0.0.1,4001)", "CallClock(7,31)"}),
    [](const auto &info) { return std::string(info.param.name); });

// Failed connects: "联机失败！", not connected, and a link that was opened is
// released again.
struct FailureCase {
    const char *name;
    int32_t openResult;
    bool callClock;
    bool readClock;
    std::vector<std::string> calls;
};

void PrintTo(const FailureCase &c, std::ostream *os)
{
    *os << c.name;
}

class FailedConnect : public MainWindow, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailedConnect, ReportsFailureAndReleasesTheLink)
{
    const FailureCase c = GetParam();
    fake.openResult = c.openResult;
    fake.callClockResult = c.callClock;
    fake.readClockResult = c.readClock;
    useSerial(2, 0);
    button("btnConnect")->click();
    EXPECT_EQ(fake.calls, c.calls);
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("message: 联机失败！")});
    EXPECT_EQ(window->connHandle(), 0);
    EXPECT_TRUE(idleButtons());
}

INSTANTIATE_TEST_SUITE_P(
    Table, FailedConnect,
    ::testing::Values(FailureCase{"OpenGivesZero", 0, true, true, {"OpenCommPort(3,9600)"}},
                      FailureCase{"OpenGivesMinusOne", -1, true, true, {"OpenCommPort(3,9600)"}},
                      FailureCase{"NoAnswerToCallClock",
                                  9,
                                  false,
                                  true,
                                  {"OpenCommPort(3,9600)", "CallClock(9,24)", "ClosePortHandle(9)"}},
                      FailureCase{"ClockNotReadable",
                                  9,
                                  true,
                                  false,
                                  {"OpenCommPort(3,9600)", "CallClock(9,24)", "ReadClockTime(9)",
                                   "ClosePortHandle(9)"}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(MainWindow, RetryAfterAFailedConnectOpensAgain)
{
    fake.callClockResult = false;
    useSerial(2, 2);
    button("btnConnect")->click();
    fake.callClockResult = true;
    button("btnConnect")->click();
    EXPECT_THAT(fake.calls, ElementsAre("OpenCommPort(3,38400)", "CallClock(7,24)", "ClosePortHandle(7)",
                                        "OpenCommPort(3,38400)", "CallClock(7,24)", "ReadClockTime(7)"));
    EXPECT_EQ(dialogs.messages, QStringList({"联机失败！", "联机成功！"}));
    EXPECT_TRUE(connectedButtons());
}

TEST_F(MainWindow, DisconnectClosesTheLinkAndSaysSo)
{
    connectOk();
    button("btnDisConnect")->click();
    EXPECT_THAT(fake.calls, ElementsAre("UnCallClock(7)", "ClosePortHandle(7)"));
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("message: 脱机成功！")});
    EXPECT_EQ(window->connHandle(), 0);
    EXPECT_TRUE(idleButtons());

    // Without a link the handler does nothing at all.
    dialogs.clear();
    fake.calls.clear();
    window->btnDisConnectClick();
    EXPECT_THAT(fake.calls, IsEmpty());
    EXPECT_THAT(dialogs.shown, IsEmpty());
}

TEST_F(MainWindow, ClosingTheWindowWhileConnectedClosesTheLinkSilently)
{
    connectOk();
    window->close();
    window.reset();
    EXPECT_THAT(fake.calls, ElementsAre("UnCallClock(7)", "ClosePortHandle(7)"));
    EXPECT_THAT(dialogs.shown, IsEmpty());
}

TEST_F(MainWindow, ClosingTheWindowWithoutALinkCallsNothing)
{
    window.reset();
    EXPECT_THAT(fake.calls, IsEmpty());
}

TEST_F(MainWindow, HourglassWhileOpeningAndDefaultCursorAfterwards)
{
    useTcp();
    button("btnConnect")->click();
    ASSERT_TRUE(fake.cursorDuringOpen.has_value());
    EXPECT_EQ(*fake.cursorDuringOpen, Qt::WaitCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MainWindow, FailureInsideTheOpenRestoresTheCursorAndShowsTheErrorBox)
{
    fake.duringOpen = [] { throw EConvertError(QStringLiteral("'x' is not a valid integer value")); };
    useTcp();
    button("btnConnect")->click();
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("error: 'x' is not a valid integer value")});
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(window->connHandle(), 0);
    EXPECT_TRUE(idleButtons());
}

TEST_F(MainWindow, ConnectionChecksRefuseWithTheirOwnTexts)
{
    EXPECT_FALSE(window->requireConnection());
    EXPECT_FALSE(window->requireHandle());
    EXPECT_EQ(dialogs.messages, QStringList({"请先进行联机！", "请先进行联机"}));

    connectOk();
    EXPECT_TRUE(window->requireConnection());
    EXPECT_TRUE(window->requireHandle());
    EXPECT_THAT(dialogs.shown, IsEmpty());
    EXPECT_THAT(fake.calls, IsEmpty());
}

TEST_F(MainWindow, ConnectionParamsFollowTheGroup)
{
    useSerial(3, 1);
    edit("edtClockId")->setText(QStringLiteral("12"));
    ConnectionParams p = window->connectionParams();
    EXPECT_TRUE(p.serial);
    EXPECT_EQ(p.comIndex, 3);
    EXPECT_EQ(p.baudRateText, QStringLiteral("19200"));
    EXPECT_EQ(p.clockIdText, QStringLiteral("12"));
    useTcp(QStringLiteral(" 127.0.0.1"), QStringLiteral("4005"));
    p = window->connectionParams();
    EXPECT_FALSE(p.serial);
    EXPECT_EQ(p.ipText, QStringLiteral(" 127.0.0.1"));
    EXPECT_EQ(p.portText, QStringLiteral("4005"));
}

TEST_F(MainWindow, PopupMenuTicksAllAndInverts)
{
    QMenu *menu = window->popupMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->objectName(), QStringLiteral("PopupMenu1"));
    QAction *n1 = window->findChild<QAction *>(QStringLiteral("N1"));
    QAction *n2 = window->findChild<QAction *>(QStringLiteral("N2"));
    ASSERT_TRUE(n1 && n2);
    EXPECT_EQ(n1->text(), QStringLiteral("全选"));
    EXPECT_EQ(n2->text(), QStringLiteral("反选"));
    QListWidget *groups = find<QListWidget>("lstGroups");
    EXPECT_EQ(groups->contextMenuPolicy(), Qt::CustomContextMenu);
    QLabel *current = find<QLabel>("lblGroup");

    auto ticked = [groups] {
        std::vector<int> list;
        for (int i = 0; i < groups->count(); ++i)
            if (groups->item(i)->checkState() == Qt::Checked)
                list.push_back(i);
        return list;
    };
    groups->item(3)->setCheckState(Qt::Checked);
    groups->item(200)->setCheckState(Qt::Checked);
    current->setText(QStringLiteral("FF00"));

    n2->trigger();
    EXPECT_EQ(ticked().size(), 254u);
    EXPECT_TRUE(current->text().isEmpty());
    current->setText(QStringLiteral("FF00"));
    n2->trigger();
    EXPECT_EQ(ticked(), (std::vector<int>{3, 200}));
    EXPECT_TRUE(current->text().isEmpty());

    current->setText(QStringLiteral("FF00"));
    n1->trigger();
    EXPECT_EQ(ticked().size(), 256u);
    EXPECT_TRUE(current->text().isEmpty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(groups->updatesEnabled());
    EXPECT_THAT(fake.calls, IsEmpty());
}

} // namespace
