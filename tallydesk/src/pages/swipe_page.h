// Page "刷卡设置" (TabSheet2): the terminal's card-swipe behaviour, i.e. the
// list checks, record storage and buzzer switches kept in the terminal's
// work-mode values, and the swipe intervals for the same and different cards.
#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class SwipePage;
}

class SwipePage : public QWidget
{
    Q_OBJECT

public:
    explicit SwipePage(QWidget *parent = nullptr);
    ~SwipePage() override;

private:
    std::unique_ptr<Ui::SwipePage> ui;
};
