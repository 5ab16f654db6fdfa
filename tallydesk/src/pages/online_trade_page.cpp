#include "pages/online_trade_page.h"

#include "ui_online_trade_page.h"

#include <QPalette>

OnlineTradePage::OnlineTradePage(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::OnlineTradePage>())
{
    ui->setupUi(this);

    // Registry: device number, address, port. The selected row stays
    // highlighted when the list loses the focus, since the buttons beside it
    // act on that row.
    ui->lvClocks->setColumnWidth(1, 120);
    ui->lvClocks->setColumnWidth(2, 100);
    QPalette registryPalette = ui->lvClocks->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        registryPalette.setColor(QPalette::Inactive, role, registryPalette.color(QPalette::Active, role));
    ui->lvClocks->setPalette(registryPalette);

    // Card-read types: the key of each item is the value exchanged with the
    // terminal.
    ui->dbReadCardType->setItemData(0, 0);
    ui->dbReadCardType->setItemData(1, 1);
}

OnlineTradePage::~OnlineTradePage() = default;
