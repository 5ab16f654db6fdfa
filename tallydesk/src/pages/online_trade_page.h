// Page "联机交易": the terminals that take part in online trading (lvClocks),
// the trade server's port and start/stop buttons, a terminal's trade mode
// and card-read type, the LAN search, the consumption QR code and its
// encryption factor, and the trade log (Memo3) along the page bottom.
#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class OnlineTradePage;
}

class OnlineTradePage : public QWidget
{
    Q_OBJECT

public:
    explicit OnlineTradePage(QWidget *parent = nullptr);
    ~OnlineTradePage() override;

private:
    std::unique_ptr<Ui::OnlineTradePage> ui;
};
