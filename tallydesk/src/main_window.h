// The console's main window: the connection group "联机操作" on top, which
// opens and closes the one link to a terminal, and the eight pages below.
#pragma once

#include "core/console_context.h"

#include <QWidget>
#include <cstdint>
#include <memory>

class QAction;
class QMenu;
class QTabWidget;
class BasicPage;

namespace Ui {
class TForm1;
}

class TForm1 : public QWidget, public tallydesk::ConsoleContext {
    Q_OBJECT

public:
    explicit TForm1(QWidget *parent = nullptr);
    // Runs FormDestroy: an open link is closed without a message.
    ~TForm1() override;

    // ConsoleContext
    int32_t connHandle() const override { return FConnHandle; }
    bool requireConnection() override;
    bool requireHandle() override;
    tallydesk::ConnectionParams connectionParams() const override;
    int32_t tradeMode() const override { return FTradeMode; }
    void setTradeMode(int32_t mode) override { FTradeMode = mode; }
    int32_t workModel() const override { return FWorkModel; }
    void setWorkModel(int32_t model) override { FWorkModel = model; }
    QWidget *mainWindow() override { return this; }

    static bool IsConnected(int32_t handle) { return tallydesk::IsConnected(handle); }
    void UpdateConnectButtons();

    void FormCreate();
    void FormDestroy();
    void btnConnectClick();
    void btnDisConnectClick();
    void N1Click();
    void N2Click();

    QTabWidget *pageControl() const;
    QMenu *popupMenu() const { return PopupMenu1; }

private:
    template <typename Page> Page *addPage(const QString &caption);

    std::unique_ptr<Ui::TForm1> ui;
    QMenu *PopupMenu1 = nullptr;
    QAction *N1 = nullptr;
    QAction *N2 = nullptr;
    BasicPage *basicPage_ = nullptr;

    int32_t FConnHandle = 0;
    int32_t FTradeMode = 0;
    int32_t FWorkModel = 0;
};
