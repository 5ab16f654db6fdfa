#include "pages/swipe_page.h"

#include "ui_swipe_page.h"

SwipePage::SwipePage(QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::SwipePage>())
{
    ui->setupUi(this);
    // The model choice is a radio group whose item index is the button id.
    ui->RadioGroup1Items->setId(ui->RadioGroup1_0, 0);
    ui->RadioGroup1Items->setId(ui->RadioGroup1_1, 1);
}

SwipePage::~SwipePage() = default;
