// Page "时段消费模式" (TabSheet5): the table of daily time slots (begin, end,
// consumption work mode, fixed amount, limited count) in lv1, edited locally
// with TfrmEdit, plus the two terminal-wide switches for time-slot mode.
#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class TimeSlotPage;
}

class TimeSlotPage : public QWidget
{
    Q_OBJECT

public:
    explicit TimeSlotPage(QWidget *parent = nullptr);
    ~TimeSlotPage() override;

private:
    std::unique_ptr<Ui::TimeSlotPage> ui;
};
