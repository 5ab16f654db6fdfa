// Page "采集数据" (TabSheet3): collects every stored record of the terminal,
// recovers records in batches and clears the record store; every line of
// output goes to Memo1, which keeps accumulating until the program ends.
#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class RecordsPage;
}

class RecordsPage : public QWidget
{
    Q_OBJECT

public:
    explicit RecordsPage(QWidget *parent = nullptr);
    ~RecordsPage() override;

private:
    std::unique_ptr<Ui::RecordsPage> ui;
};
