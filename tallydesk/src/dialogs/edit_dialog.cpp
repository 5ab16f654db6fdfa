#include "dialogs/edit_dialog.h"

#include "ui_edit_dialog.h"

#include <QRadioButton>

TfrmEdit::TfrmEdit(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::TfrmEdit>())
{
    ui->setupUi(this);
    // Fixed dialog border: no resizing, no maximise or help button.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    QRadioButton *const modes[] = {ui->rgType_0, ui->rgType_1, ui->rgType_2, ui->rgType_3,
                                   ui->rgType_4, ui->rgType_5, ui->rgType_6, ui->rgType_7};
    for (int mode = 0; mode < 8; ++mode)
        ui->rgTypeItems->setId(modes[mode], mode);
}

TfrmEdit::~TfrmEdit() = default;
