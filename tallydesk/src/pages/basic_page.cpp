#include "pages/basic_page.h"

#include "core/console_context.h"
#include "core/convert.h"
#include "core/clock.h"
#include "core/dialogs.h"
#include "core/handler.h"
#include "core/sdk.h"
#include "ui_basic_page.h"

#include <QEvent>
#include <QListWidget>
#include <QStyle>

using namespace tallydesk;

namespace {
// lstGroups shows its items in this many columns.
constexpr int kGroupColumns = 20;
} // namespace

BasicPage::BasicPage(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::BasicPage>())
{
    ui->setupUi(this);
    // The anti-NFC sector box starts showing "14" with no item selected.
    ui->cbSector->setCurrentIndex(-1);
    ui->cbSector->setEditText(QStringLiteral("14"));
    // Items flow top to bottom and wrap into columns (not settable in the
    // form file).
    ui->lstGroups->setWrapping(true);
    ui->lstGroups->viewport()->installEventFilter(this);

    onClick(ui->Button1, this, &BasicPage::Button1Click);
    onClick(ui->Button2, this, &BasicPage::Button2Click);
    onClick(ui->Button8, this, &BasicPage::Button8Click);
    onClick(ui->Button5, this, &BasicPage::Button5Click);
}

BasicPage::~BasicPage() = default;

void BasicPage::setContext(ConsoleContext *context)
{
    context_ = context;
}

bool BasicPage::requireConnection()
{
    if (context_)
        return context_->requireConnection();
    showMessage(QStringLiteral("请先进行联机！"));
    return false;
}

int32_t BasicPage::handle() const
{
    return context_ ? context_->connHandle() : 0;
}

void BasicPage::Button1Click()
{
    if (!requireConnection())
        return;
    double dateTime = 0;
    if (!sdk().ReadClockTime(handle(), &dateTime))
        return;
    showMessage(formatDateTime(dateTime));
}

void BasicPage::Button2Click()
{
    if (!requireConnection())
        return;
    if (sdk().SetClockTime(handle(), dateTimeToDays(now())))
        showMessage(QStringLiteral("写入当前系统时间成功！"));
}

void BasicPage::Button8Click()
{
    if (!requireConnection())
        return;
    const int32_t clockId = strToIntDef(ui->edClockId->text(), 0);
    if (clockId <= 0) {
        showMessage(QStringLiteral("请输入正确的新机号！"));
        return;
    }
    if (sdk().SetClockID(handle(), clockId))
        showMessage(QStringLiteral("修改机号成功"));
}

void BasicPage::Button5Click()
{
    if (!requireConnection())
        return;
    int32_t model = 0;
    double version = 0;
    int32_t readerType = 0;
    uint8_t phonePay = 0;
    int32_t cardFormat = 0;
    if (!sdk().GetClockModelEx(handle(), &model, &version, &readerType, &phonePay, &cardFormat))
        return;
    const QString text = QStringLiteral("机型：") + QString::number(model) + QStringLiteral("\r\n") +
                         QStringLiteral("版本：") + floatToStr(version) + QStringLiteral("\r\n") +
                         QStringLiteral("读头类型：") + QString::number(readerType) + QStringLiteral("\r\n") +
                         QStringLiteral("是否支持手机刷卡：") +
                         (phonePay != 0 ? QStringLiteral("支持") : QStringLiteral("不支持")) +
                         QStringLiteral("\r\n") + QStringLiteral("卡格式：") + QString::number(cardFormat);
    showMessage(text);
}

void BasicPage::InitGroupList(int highest)
{
    QListWidget *list = ui->lstGroups;
    list->setUpdatesEnabled(false);
    list->clear();
    for (int group = 0; group <= highest; ++group) {
        auto *item = new QListWidgetItem(QString::number(group), list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    list->setUpdatesEnabled(true);
}

namespace {

// Hourglass and no repainting of the list while every mark changes; both
// come back on every way out.
class GroupListUpdate {
public:
    explicit GroupListUpdate(QListWidget *list) : list_(list) { list_->setUpdatesEnabled(false); }
    ~GroupListUpdate() { list_->setUpdatesEnabled(true); }

private:
    HourglassCursor cursor_;
    QListWidget *list_;
};

} // namespace

void BasicPage::CheckAllGroups(bool state)
{
    GroupListUpdate update(ui->lstGroups);
    for (int i = 0; i < ui->lstGroups->count(); ++i)
        ui->lstGroups->item(i)->setCheckState(state ? Qt::Checked : Qt::Unchecked);
    ui->lblGroup->clear();
}

void BasicPage::InvertGroups()
{
    GroupListUpdate update(ui->lstGroups);
    for (int i = 0; i < ui->lstGroups->count(); ++i) {
        QListWidgetItem *item = ui->lstGroups->item(i);
        item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
    ui->lblGroup->clear();
}

bool BasicPage::eventFilter(QObject *watched, QEvent *event)
{
    // lstGroups lays its items out in a fixed number of columns: the column
    // width follows the list's width, but never hides a group number.
    if (watched == ui->lstGroups->viewport() && event->type() == QEvent::Resize) {
        QListWidget *list = ui->lstGroups;
        const QFontMetrics metrics = list->fontMetrics();
        const int needed = list->style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                           metrics.horizontalAdvance(QStringLiteral("255")) + 14;
        const int width = qMax(list->viewport()->width() / kGroupColumns, needed);
        list->setGridSize(QSize(width, metrics.height() + 2));
    }
    return QWidget::eventFilter(watched, event);
}
