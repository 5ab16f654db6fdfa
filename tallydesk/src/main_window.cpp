#include "main_window.h"

#include "core/convert.h"
#include "core/dialogs.h"
#include "core/handler.h"
#include "core/sdk.h"
#include "core/text_codec.h"
#include "pages/basic_page.h"
#include "pages/name_list_page.h"
#include "pages/online_trade_page.h"
#include "pages/records_page.h"
#include "pages/swipe_page.h"
#include "pages/time_slot_page.h"
#include "pages/upload_page.h"
#include "pages/water_page.h"
#include "ui_main_window.h"

#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>

using namespace tallydesk;

TForm1::TForm1(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::TForm1>())
{
    ui->setupUi(this);
    // System menu and minimise only; the border stays sizeable.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    // The eight pages in their order; each takes the window as its context
    // when it offers setContext().
    basicPage_ = addPage<BasicPage>(QStringLiteral("基础设置"));
    addPage<SwipePage>(QStringLiteral("刷卡设置"));
    addPage<RecordsPage>(QStringLiteral("采集数据"));
    addPage<NameListPage>(QStringLiteral("名单管理"));
    addPage<TimeSlotPage>(QStringLiteral("时段消费模式"));
    addPage<UploadPage>(QStringLiteral("主动上传"));
    addPage<OnlineTradePage>(QStringLiteral("联机交易"));
    addPage<WaterPage>(QStringLiteral("水控机"));

    // Pop-up menu of the privilege-group list.
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    N1 = PopupMenu1->addAction(QStringLiteral("全选"));
    N1->setObjectName(QStringLiteral("N1"));
    N2 = PopupMenu1->addAction(QStringLiteral("反选"));
    N2->setObjectName(QStringLiteral("N2"));
    connect(N1, &QAction::triggered, this, [this] { runHandler([this] { N1Click(); }); });
    connect(N2, &QAction::triggered, this, [this] { runHandler([this] { N2Click(); }); });
    if (auto *groups = findChild<QListWidget *>(QStringLiteral("lstGroups"))) {
        groups->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(groups, &QWidget::customContextMenuRequested, this, [this, groups](const QPoint &pos) {
            PopupMenu1->popup(groups->viewport()->mapToGlobal(pos));
        });
    }

    onClick(ui->btnConnect, this, &TForm1::btnConnectClick);
    onClick(ui->btnDisConnect, this, &TForm1::btnDisConnectClick);

    FormCreate();
}

TForm1::~TForm1()
{
    FormDestroy();
}

template <typename Page> Page *TForm1::addPage(const QString &caption)
{
    auto *page = new Page(ui->PageControl1);
    if constexpr (requires(Page *p, ConsoleContext *c) { p->setContext(c); })
        page->setContext(this);
    ui->PageControl1->addTab(page, caption);
    return page;
}

QTabWidget *TForm1::pageControl() const
{
    return ui->PageControl1;
}

void TForm1::FormCreate()
{
    for (const char *name : {"Memo1", "Memo4", "Memo3"}) {
        if (auto *memo = findChild<QPlainTextEdit *>(QString::fromLatin1(name)))
            memo->clear();
    }
    ui->PageControl1->setCurrentIndex(0);
    FConnHandle = 0;
    UpdateConnectButtons();
    if (basicPage_)
        basicPage_->InitGroupList(255);
}

void TForm1::FormDestroy()
{
    if (IsConnected(FConnHandle)) {
        sdk().UnCallClock(FConnHandle);
        sdk().ClosePortHandle(FConnHandle);
        FConnHandle = 0;
    }
}

void TForm1::UpdateConnectButtons()
{
    ui->btnConnect->setEnabled(FConnHandle == 0);
    ui->btnDisConnect->setEnabled(!ui->btnConnect->isEnabled());
}

bool TForm1::requireConnection()
{
    if (IsConnected(FConnHandle))
        return true;
    showMessage(QStringLiteral("请先进行联机！"));
    return false;
}

bool TForm1::requireHandle()
{
    if (FConnHandle != 0)
        return true;
    showMessage(QStringLiteral("请先进行联机"));
    return false;
}

ConnectionParams TForm1::connectionParams() const
{
    ConnectionParams params;
    params.serial = ui->rbCom->isChecked();
    params.comIndex = ui->cbbCom->currentIndex();
    params.baudRateText = ui->cbbBautRate->currentText();
    params.clockIdText = ui->edtClockId->text();
    params.ipText = ui->edtIP->text();
    params.portText = ui->edtPort->text();
    return params;
}

void TForm1::btnConnectClick()
{
    const int32_t clockId = strToIntDef(ui->edtClockId->text(), 0);
    if (clockId <= 0) {
        showMessage(QStringLiteral("请输入正确的机号！"));
        return;
    }
    const bool serial = ui->rbCom->isChecked();
    if (serial && (ui->cbbCom->currentIndex() < 0 || ui->cbbBautRate->currentIndex() < 0)) {
        showMessage(QStringLiteral("请输入正确的联机参数！"));
        return;
    }
    if (!serial && (trimBlanks(ui->edtIP->text()).isEmpty() || strToIntDef(ui->edtPort->text(), 0) <= 0)) {
        showMessage(QStringLiteral("请输入正确的联机参数！"));
        return;
    }

    HourglassCursor hourglass;
    if (serial) {
        FConnHandle = sdk().OpenCommPort(ui->cbbCom->currentIndex() + 1,
                                         strToIntDef(ui->cbbBautRate->currentText(), 0));
    } else {
        const QByteArray ip = toCp936(ui->edtIP->text());
        FConnHandle = sdk().OpenClientSocket(ip.constData(), strToIntDef(ui->edtPort->text(), 0));
    }
    if (!IsConnected(FConnHandle)) {
        FConnHandle = 0;
        showMessage(QStringLiteral("联机失败！"));
        return;
    }
    double clockTime = 0;
    if (sdk().CallClock(FConnHandle, clockId) && sdk().ReadClockTime(FConnHandle, &clockTime)) {
        showMessage(QStringLiteral("联机成功！"));
    } else {
        // Release the half-open link so the port can be opened again.
        sdk().ClosePortHandle(FConnHandle);
        FConnHandle = 0;
        showMessage(QStringLiteral("联机失败！"));
    }
    UpdateConnectButtons();
}

void TForm1::btnDisConnectClick()
{
    if (!IsConnected(FConnHandle))
        return;
    sdk().UnCallClock(FConnHandle);
    sdk().ClosePortHandle(FConnHandle);
    FConnHandle = 0;
    UpdateConnectButtons();
    showMessage(QStringLiteral("脱机成功！"));
}

void TForm1::N1Click()
{
    if (basicPage_)
        basicPage_->CheckAllGroups(true);
}

void TForm1::N2Click()
{
    if (basicPage_)
        basicPage_->InvertGroups();
}
