#include "dialogs/clock_dialog.h"

#include "core/dialogs.h"
#include "core/handler.h"
#include "core/text_codec.h"
#include "ui_clock_dialog.h"

using tallydesk::onClick;
using tallydesk::showMessage;

namespace {
// What the trade server's terminal table holds for an address, in bytes.
constexpr int kMaxAddressBytes = 15;
} // namespace

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

    onClick(ui->btnOK, this, &TfrmDlgClock::btnOKClick);
    onClick(ui->btnCancel, this, &TfrmDlgClock::btnCancelClick);
}

TfrmDlgClock::~TfrmDlgClock() = default;

QString TfrmDlgClock::clockIdText() const
{
    return ui->edtClock_id->text();
}

QString TfrmDlgClock::ipText() const
{
    return ui->edtIP->text();
}

QString TfrmDlgClock::portText() const
{
    return ui->edtPort->text();
}

// Emptiness and an address too long for the terminal table are refused
// here: a blank is text, and so is a word. A long address is refused rather
// than cut, so that the registry never shows what the server would not use.
void TfrmDlgClock::btnOKClick()
{
    if (ui->edtClock_id->text().isEmpty())
        showMessage(QStringLiteral("机号不能为空"));
    else if (ui->edtIP->text().isEmpty())
        showMessage(QStringLiteral("IP地址不能为空"));
    else if (tallydesk::toCp936(ui->edtIP->text()).size() > kMaxAddressBytes)
        showMessage(QStringLiteral("IP地址不能超过15个字符"));
    else if (ui->edtPort->text().isEmpty())
        showMessage(QStringLiteral("端口不能为空"));
    else
        accept();
}

void TfrmDlgClock::btnCancelClick()
{
    reject();
}
