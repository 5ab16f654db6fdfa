#include "pages/upload_page.h"

#include "ui_upload_page.h"

#include <QHeaderView>
#include <QTreeWidget>

UploadPage::UploadPage(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::UploadPage>())
{
    ui->setupUi(this);

    // lvClock: device number, serial number, address, port, state. Rows are
    // added as terminals log in, each with an (unused) check box; the cells
    // are drawn with grid lines.
    QTreeWidget *lvClock = ui->lvClock;
    lvClock->setColumnWidth(1, 120);
    lvClock->setColumnWidth(2, 120);
    lvClock->setStyleSheet(QStringLiteral(
        "QTreeWidget#lvClock::item { border-right: 1px solid palette(midlight);"
        " border-bottom: 1px solid palette(midlight); }"
        "QTreeWidget#lvClock::item:selected { background: palette(highlight);"
        " color: palette(highlighted-text); }"));
}

UploadPage::~UploadPage() = default;
