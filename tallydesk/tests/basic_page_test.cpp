// The top row of "基础设置": reading and setting the terminal's clock,
// changing the device number and the device information, against the
// scripted fake device library.
#include "core/clock.h"
#include "core/convert.h"
#include "console_window_test.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using namespace tallydesk;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class BasicPageTest : public tallydesk::testing::ConsoleWindowTest {};

TEST_F(BasicPageTest, TopRowAndGroupsAsDesigned)
{
    QWidget *page = window->findChild<QWidget *>(QStringLiteral("TabSheet1"));
    ASSERT_NE(page, nullptr);
    const std::pair<const char *, const char *> buttons[] = {
        {"Button1", "读取时间"},       {"Button2", "校对时间"},       {"Button8", "变更机号"},
        {"Button5", "获取设备信息"},   {"Button6", "设置管理卡"},     {"Button7", "读取管理卡"},
        {"btnReadSection", "读取扇区"}, {"btnWriteSection", "设置扇区"}, {"Button9", "设置"},
        {"Button24", "设置"},          {"Button3", "设置企业ID"},     {"Button12", "读取企业ID"},
        {"btnGetNFCCodeKey", "读"},    {"Button47", "写"},            {"Button13", "设置权限组"},
        {"Button14", "读取权限组"}};
    for (const auto &[name, text] : buttons) {
        QPushButton *b = page->findChild<QPushButton *>(QString::fromLatin1(name));
        ASSERT_NE(b, nullptr) << name;
        EXPECT_EQ(b->text(), QString::fromUtf8(text)) << name;
        EXPECT_TRUE(b->isEnabled()) << name;
    }
    // The top row reads left to right.
    window->resize(790, 591);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const int y = button("Button1")->mapTo(page, QPoint()).y();
    int x = -1;
    for (QWidget *w : {static_cast<QWidget *>(button("Button1")), static_cast<QWidget *>(button("Button2")),
                       static_cast<QWidget *>(button("Button8")), static_cast<QWidget *>(edit("edClockId")),
                       static_cast<QWidget *>(button("Button5"))}) {
        const QPoint at = w->mapTo(page, QPoint());
        EXPECT_GT(at.x(), x) << w->objectName().toStdString();
        EXPECT_NEAR(at.y(), y, 4) << w->objectName().toStdString();
        x = at.x();
    }
    EXPECT_TRUE(edit("edClockId")->text().isEmpty());

    QComboBox *sector = page->findChild<QComboBox *>(QStringLiteral("cbSector"));
    ASSERT_NE(sector, nullptr);
    EXPECT_EQ(sector->count(), 17);
    EXPECT_EQ(sector->itemText(16), QStringLiteral("关闭"));
    EXPECT_EQ(sector->currentIndex(), -1);
    EXPECT_EQ(sector->currentText(), QStringLiteral("14"));
    EXPECT_EQ(edit("Edit42")->text(), QStringLiteral("5E71C0D9B346"));
    EXPECT_EQ(edit("Edit42")->maxLength(), 12);
    QLabel *note = page->findChild<QLabel *>(QStringLiteral("Label1"));
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(note->text(), QStringLiteral("注：实际应用中企业ID、基础扇区、用户密码一旦系统发卡就不能再修改"));
    EXPECT_EQ(page->findChild<QLabel *>(QStringLiteral("lblGroup"))->text(), QStringLiteral("当前权限组："));
}

// Every handler of the row checks the link first: "请先进行联机！", no call.
class NotConnected : public BasicPageTest, public ::testing::WithParamInterface<const char *> {};

TEST_P(NotConnected, RefusesWithoutCallingTheLibrary)
{
    edit("edClockId")->setText(QStringLiteral("5"));
    button(GetParam())->click();
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("message: 请先进行联机！")});
    EXPECT_THAT(fake.calls, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(TopRow, NotConnected, ::testing::Values("Button1", "Button2", "Button8", "Button5"));

struct ClockCase {
    double days;
    const char *shown;
};

void PrintTo(const ClockCase &c, std::ostream *os)
{
    *os << c.shown;
}

class ReadTime : public BasicPageTest, public ::testing::WithParamInterface<ClockCase> {};

TEST_P(ReadTime, ShowsTheTerminalClock)
{
    connectOk();
    fake.clockTime = GetParam().days;
    button("Button1")->click();
    EXPECT_THAT(fake.calls, ElementsAre("ReadClockTime(7)"));
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("message: ") + QString::fromLatin1(GetParam().shown)});
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReadTime,
    ::testing::Values(ClockCase{45358.0 + (9 * 3600 + 5 * 60 + 3) / 86400.0, "2024-03-07 09:05:03"},
                      ClockCase{45658.0 + 13.0 / 24.0 + 59.0 / 1440.0 + 59.4 / 86400.0, "2025-01-01 13:59:59"},
                      ClockCase{0.0, "1899-12-30 00:00:00"}));

TEST_F(BasicPageTest, ReadTimeFailureIsSilent)
{
    connectOk();
    fake.readClockResult = false;
    button("Button1")->click();
    EXPECT_THAT(fake.calls, ElementsAre("ReadClockTime(7)"));
    EXPECT_THAT(dialogs.shown, IsEmpty());
}

TEST_F(BasicPageTest, SetTimeSendsThePcTimeWithMilliseconds)
{
    connectOk();
    const QDateTime pcTime(QDate(2024, 3, 7), QTime(9, 5, 3, 250));
    setNowSource([pcTime] { return pcTime; });
    button("Button2")->click();
    EXPECT_THAT(fake.calls, ElementsAre("SetClockTime(7)"));
    const double expected = 45358.0 + (9 * 3600 + 5 * 60 + 3.25) / 86400.0;
    EXPECT_NEAR(fake.lastSetClockTime, expected, 1e-9);
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("message: 写入当前系统时间成功！")});

    dialogs.clear();
    fake.setClockTimeResult = false;
    button("Button2")->click();
    EXPECT_THAT(dialogs.shown, IsEmpty());
}

struct ClockIdCase {
    const char *text;
    int32_t sent; // 0: refused
};

void PrintTo(const ClockIdCase &c, std::ostream *os)
{
    *os << '"' << c.text << '"';
}

class ChangeDeviceNumber : public BasicPageTest, public ::testing::WithParamInterface<ClockIdCase> {};

TEST_P(ChangeDeviceNumber, SendsOnlyNumbersAboveZero)
{
    connectOk();
    edit("edClockId")->setText(QString::fromUtf8(GetParam().text));
    button("Button8")->click();
    if (GetParam().sent > 0) {
        EXPECT_THAT(fake.calls, ElementsAre("SetClockID(7," + std::to_string(GetParam().sent) + ")"));
        EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("message: 修改机号成功")});
    } else {
        EXPECT_THAT(fake.calls, IsEmpty());
        EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("message: 请输入正确的新机号！")});
    }
    // The connection group keeps the number it connected with.
    EXPECT_EQ(edit("edtClockId")->text(), QStringLiteral("24"));
}

INSTANTIATE_TEST_SUITE_P(Table, ChangeDeviceNumber,
                         ::testing::Values(ClockIdCase{"25", 25}, ClockIdCase{"1", 1}, ClockIdCase{" 9", 9},
                                           ClockIdCase{"2147483647", 2147483647}, ClockIdCase{"0", 0},
                                           ClockIdCase{"-1", 0}, ClockIdCase{"a", 0}, ClockIdCase{"", 0},
                                           ClockIdCase{"9 ", 0}, ClockIdCase{"2147483648", 0}));

TEST_F(BasicPageTest, ChangeDeviceNumberFailureIsSilent)
{
    connectOk();
    fake.setClockIdResult = false;
    edit("edClockId")->setText(QStringLiteral("30"));
    button("Button8")->click();
    EXPECT_THAT(fake.calls, ElementsAre("SetClockID(7,30)"));
    EXPECT_THAT(dialogs.shown, IsEmpty());
}

struct InfoCase {
    int32_t model;
    double version;
    int32_t readerType;
    uint8_t phonePay;
    int32_t cardFormat;
    const char *text;
};

void PrintTo(const InfoCase &c, std::ostream *os)
{
    *os << "model " << c.model << " version " << c.version;
}

class DeviceInformation : public BasicPageTest, public ::testing::WithParamInterface<InfoCase> {};

TEST_P(DeviceInformation, FiveLinesInOneBox)
{
    connectOk();
    const InfoCase c = GetParam();
    fake.model = c.model;
    fake.version = c.version;
    fake.readerType = c.readerType;
    fake.phonePay = c.phonePay;
    fake.cardFormat = c.cardFormat;
    button("Button5")->click();
    EXPECT_THAT(fake.calls, ElementsAre("GetClockModelEx(7)"));
    EXPECT_EQ(dialogs.messages, QStringList{QString::fromUtf8(c.text)});
}

INSTANTIATE_TEST_SUITE_P(
    Table, DeviceInformation,
    ::testing::Values(
        InfoCase{6, 3.0, 1, 0, 2, "机型：6\r\n版本：3\r\n读头类型：1\r\n是否支持手机刷卡：不支持\r\n卡格式：2"},
        InfoCase{0, 0.0, 0, 1, 0, "机型：0\r\n版本：0\r\n读头类型：0\r\n是否支持手机刷卡：支持\r\n卡格式：0"},
        InfoCase{10, 2.5, 3, 255, 1, "机型：10\r\n版本：2.5\r\n读头类型：3\r\n是否支持手机刷卡：支持\r\n卡格式：1"},
        InfoCase{22, 4.12, -1, 2, 3, "机型：22\r\n版本：4.12\r\n读头类型：-1\r\n是否支持手机刷卡：支持\r\n卡格式：3"}));

TEST_F(BasicPageTest, DeviceInformationFailureIsSilent)
{
    connectOk();
    fake.modelResult = false;
    button("Button5")->click();
    EXPECT_THAT(fake.calls, ElementsAre("GetClockModelEx(7)"));
    EXPECT_THAT(dialogs.shown, IsEmpty());
}

} // namespace
