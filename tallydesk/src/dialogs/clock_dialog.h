// Add-terminal dialog of the online-trade page: device number, address and
// port of one terminal taking part in online trading. OK closes it only when
// all three boxes hold some text and the address fits the trade server's
// terminal table (15 bytes, a dotted IPv4 address); what the numbers mean is
// checked when the trade server is started.
#pragma once

#include <QDialog>
#include <QString>
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

    // The three texts as typed (edtClock_id, edtIP, edtPort).
    QString clockIdText() const;
    QString ipText() const;
    QString portText() const;

private:
    void btnOKClick();
    void btnCancelClick();

    std::unique_ptr<Ui::TfrmDlgClock> ui;
};
