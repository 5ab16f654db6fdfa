#include "pages/records_page.h"

#include "ui_records_page.h"

RecordsPage::RecordsPage(QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::RecordsPage>())
{
    ui->setupUi(this);
}

RecordsPage::~RecordsPage() = default;
