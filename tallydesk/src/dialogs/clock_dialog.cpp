#include "dialogs/clock_dialog.h"

#include "ui_clock_dialog.h"

TfrmDlgClock::TfrmDlgClock(QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::TfrmDlgClock>())
{
    ui->setupUi(this);

    // The dialog is drawn in 宋体 at 12 pixels, whatever the owner's font.
    QFont dialogFont(QStringLiteral("宋体"));
    dialogFont.setPixelSize(12);
    setFont(dialogFont);

    // Fixed border: no resizing, no maximise, no help button.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    connect(ui->btnCancel, &QPushButton::clicked, this, &TfrmDlgClock::btnCancelClick);
}

TfrmDlgClock::~TfrmDlgClock() = default;

void TfrmDlgClock::btnCancelClick()
{
    reject();
}
