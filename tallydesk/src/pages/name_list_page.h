// Page "名单管理" (TabSheet4): the terminal's name lists (black, white,
// attendance/access, access, attendance and allowance lists): totals,
// downloading one entry, deleting by card number, reading entries back,
// the list format, and clearing every list.
#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class NameListPage;
}

class NameListPage : public QWidget
{
    Q_OBJECT

public:
    explicit NameListPage(QWidget *parent = nullptr);
    ~NameListPage() override;

private:
    std::unique_ptr<Ui::NameListPage> ui;
};
