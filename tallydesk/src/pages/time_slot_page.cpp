#include "pages/time_slot_page.h"

#include "ui_time_slot_page.h"

TimeSlotPage::TimeSlotPage(QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::TimeSlotPage>())
{
    ui->setupUi(this);
    for (int column = 0; column < ui->lv1->columnCount(); ++column)
        ui->lv1->setColumnWidth(column, 70);
}

TimeSlotPage::~TimeSlotPage() = default;
