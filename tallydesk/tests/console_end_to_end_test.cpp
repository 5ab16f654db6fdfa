// The console against the real device library and the terminal emulator,
// over TCP on 127.0.0.1 and over the emulator's serial pseudo-terminal:
// connect, the top row of "基础设置", disconnect; and a terminal that does
// not answer.
#include "core/clock.h"
#include "emulator_process.h"
#include "main_window.h"
#include "recording_dialogs.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace tallydesk;
using tarnwick::testing::EmulatorProcess;
using tallydesk::testing::RecordingDialogs;

namespace {

enum class Link { Tcp, Serial };

class EndToEnd : public ::testing::TestWithParam<Link> {
protected:
    RecordingDialogs dialogs;
    EmulatorProcess emulator;
    std::unique_ptr<TForm1> window;

    void SetUp() override
    {
        qputenv("TARNWICK_TIMEOUT_MS", "2000");
        ASSERT_TRUE(emulator.Start(startArguments())) << emulator.Output();
        window = std::make_unique<TForm1>();
    }
    void TearDown() override
    {
        window.reset();
        setNowSource({});
    }
    virtual std::vector<std::string> startArguments() const
    {
        return GetParam() == Link::Serial ? std::vector<std::string>{"--pty"} : std::vector<std::string>{};
    }

    template <typename T> T *find(const char *name) const
    {
        T *widget = window->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QPushButton *button(const char *name) const { return find<QPushButton>(name); }

    // Points the connection group at the emulator: COM3 mapped to its
    // pseudo-terminal, or 127.0.0.1 and its port.
    void aimAtEmulator(Link link)
    {
        // Never the sample address of the form: loopback first.
        find<QLineEdit>("edtIP")->setText(QStringLiteral("127.0.0.1"));
        if (link == Link::Serial) {
            ASSERT_FALSE(emulator.ptyPath().empty());
            qputenv("TARNWICK_COM3", QByteArray::fromStdString(emulator.ptyPath()));
            find<QRadioButton>("rbCom")->setChecked(true);
            find<QComboBox>("cbbCom")->setCurrentIndex(2);
            find<QComboBox>("cbbBautRate")->setCurrentIndex(4);
        } else {
            find<QRadioButton>("rbTCP")->setChecked(true);
            find<QLineEdit>("edtPort")->setText(QString::number(emulator.port()));
        }
    }

    QString lastMessage() const { return dialogs.messages.isEmpty() ? QString() : dialogs.messages.last(); }
};

TEST_P(EndToEnd, ConnectTopRowAndDisconnect)
{
    aimAtEmulator(GetParam());
    button("btnConnect")->click();
    ASSERT_EQ(dialogs.shown, QStringList{QStringLiteral("message: 联机成功！")}) << emulator.Output();
    EXPECT_FALSE(button("btnConnect")->isEnabled());
    EXPECT_TRUE(button("btnDisConnect")->isEnabled());

    // Set the terminal to a PC time far from today, then read it back.
    const QDateTime pcTime(QDate(2030, 5, 6), QTime(7, 8, 9, 0));
    setNowSource([pcTime] { return pcTime; });
    button("Button2")->click();
    EXPECT_EQ(lastMessage(), QStringLiteral("写入当前系统时间成功！"));
    button("Button1")->click();
    const QDateTime read = QDateTime::fromString(lastMessage(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    ASSERT_TRUE(read.isValid()) << lastMessage().toStdString();
    EXPECT_GE(read.toSecsSinceEpoch(), QDateTime(pcTime.date(), pcTime.time()).toSecsSinceEpoch());
    EXPECT_LE(read.toSecsSinceEpoch(), QDateTime(pcTime.date(), pcTime.time()).toSecsSinceEpoch() + 3);

    button("Button5")->click();
    EXPECT_EQ(lastMessage(),
              QStringLiteral("机型：6\r\n版本：3.5\r\n读头类型：1\r\n是否支持手机刷卡：支持\r\n卡格式：0"));

    find<QLineEdit>("edClockId")->setText(QStringLiteral("25"));
    button("Button8")->click();
    EXPECT_EQ(lastMessage(), QStringLiteral("修改机号成功"));
    EXPECT_TRUE(emulator.Command("status", "device 25,"));
    EXPECT_EQ(find<QLineEdit>("edtClockId")->text(), QStringLiteral("24"));

    button("btnDisConnect")->click();
    EXPECT_EQ(lastMessage(), QStringLiteral("脱机成功！"));
    EXPECT_TRUE(button("btnConnect")->isEnabled());
    EXPECT_FALSE(button("btnDisConnect")->isEnabled());
    EXPECT_EQ(window->connHandle(), 0);
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Links, EndToEnd, ::testing::Values(Link::Tcp, Link::Serial),
                         [](const auto &info) { return info.param == Link::Tcp ? "Tcp" : "Serial"; });

// A terminal that keeps silent: the attempt fails, the port is released, and
// once the terminal answers the same port opens again.
class SilentTerminal : public EndToEnd {
protected:
    void SetUp() override
    {
        qputenv("TARNWICK_TIMEOUT_MS", "300");
        ASSERT_TRUE(emulator.Start({"--pty", "--mute"})) << emulator.Output();
        window = std::make_unique<TForm1>();
    }
};

TEST_P(SilentTerminal, FailsReleasesAndConnectsLater)
{
    aimAtEmulator(GetParam());
    button("btnConnect")->click();
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("message: 联机失败！")});
    EXPECT_EQ(window->connHandle(), 0);
    EXPECT_TRUE(button("btnConnect")->isEnabled());
    EXPECT_FALSE(button("btnDisConnect")->isEnabled());

    ASSERT_TRUE(emulator.Command("unmute", "answering"));
    dialogs.clear();
    button("btnConnect")->click();
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("message: 联机成功！")}) << emulator.Output();
    button("btnDisConnect")->click();
    EXPECT_EQ(lastMessage(), QStringLiteral("脱机成功！"));
}

INSTANTIATE_TEST_SUITE_P(Links, SilentTerminal, ::testing::Values(Link::Serial, Link::Tcp),
                         [](const auto &info) { return info.param == Link::Tcp ? "Tcp" : "Serial"; });

} // namespace
