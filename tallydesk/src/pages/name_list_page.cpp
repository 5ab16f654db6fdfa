#include "pages/name_list_page.h"

#include "ui_name_list_page.h"

#include <iterator>

NameListPage::NameListPage(QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::NameListPage>())
{
    ui->setupUi(this);
    // Four columns without headings: list type, card number, name, spare.
    for (int column = 0; column < ui->Lv2->columnCount(); ++column)
        ui->Lv2->setColumnWidth(column, 100);
    // Each list type item carries the terminal's list type code: the item
    // index, except the allowance list, which the terminal numbers 12.
    const int listCodes[] = {0, 1, 2, 3, 4, 12};
    for (int index = 0; index < int(std::size(listCodes)) && index < ui->NLType->count(); ++index)
        ui->NLType->setItemData(index, listCodes[index]);
}

NameListPage::~NameListPage() = default;
