// Add-terminal dialog of the online-trade page: device number, address and
// port of one terminal taking part in online trading. The address box takes
// at most 15 characters: a dotted IPv4 address, and all that the trade
// server's terminal table holds for one address.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TfrmDlgClock;
}

class TfrmDlgClock : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmDlgClock(QWidget *parent = nullptr);
    ~TfrmDlgClock() override;

private:
    void btnCancelClick();

    std::unique_ptr<Ui::TfrmDlgClock> ui;
};
