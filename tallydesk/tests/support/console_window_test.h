// Fixture of the handler tests: the real main window over the scripted fake
// device library, with the message boxes recorded, and helpers that find
// controls by their designer names and open the link.
#pragma once

#include "core/clock.h"
#include "fake_sdk.h"
#include "main_window.h"
#include "recording_dialogs.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <memory>

namespace tallydesk::testing {

class ConsoleWindowTest : public ::testing::Test {
protected:
    RecordingDialogs dialogs;
    FakeSdk fake;
    std::unique_ptr<TForm1> window = std::make_unique<TForm1>();

    ~ConsoleWindowTest() override { setNowSource({}); }

    template <typename T> T *find(const char *name) const
    {
        T *widget = window->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QLineEdit *edit(const char *name) const { return find<QLineEdit>(name); }
    QPushButton *button(const char *name) const { return find<QPushButton>(name); }
    QComboBox *combo(const char *name) const { return find<QComboBox>(name); }

    void useTcp(const QString &ip = QStringLiteral("127.0.0.1"), const QString &port = QStringLiteral("4001"))
    {
        find<QRadioButton>("rbTCP")->setChecked(true);
        edit("edtIP")->setText(ip);
        edit("edtPort")->setText(port);
    }
    void useSerial(int comIndex, int baudIndex)
    {
        find<QRadioButton>("rbCom")->setChecked(true);
        combo("cbbCom")->setCurrentIndex(comIndex);
        combo("cbbBautRate")->setCurrentIndex(baudIndex);
    }
    // Opens the link over TCP to 127.0.0.1 and forgets what that took.
    void connectOk()
    {
        useTcp();
        button("btnConnect")->click();
        ASSERT_EQ(window->connHandle(), fake.openResult);
        dialogs.clear();
        fake.calls.clear();
    }
};

} // namespace tallydesk::testing
