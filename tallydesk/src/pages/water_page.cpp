#include "pages/water_page.h"

#include "ui_water_page.h"

WaterPage::WaterPage(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::WaterPage>())
{
    ui->setupUi(this);

    // The trade method box starts showing "计量" without any item chosen:
    // until the operator picks one, the method sent is "none" (-1).
    ui->ComboBox3->setCurrentIndex(-1);
    ui->ComboBox3->setEditText(QStringLiteral("计量"));
}

WaterPage::~WaterPage() = default;
