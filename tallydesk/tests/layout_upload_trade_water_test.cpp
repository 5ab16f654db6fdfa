// Layout of the pages "主动上传", "联机交易" and "水控机" and of the
// add-terminal dialog: what an operator sees and relies on when the console
// starts (captions, default texts, items, ranges, hints, enabled state,
// columns, default rows, length limits) and that each page fits its tab.
#include "core/dialogs.h"
#include "dialogs/clock_dialog.h"
#include "pages/online_trade_page.h"
#include "pages/upload_page.h"
#include "pages/water_page.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

enum class Owner { Upload, Trade, Water, Dialog };

const char *ownerName(Owner owner)
{
    switch (owner) {
    case Owner::Upload: return "Upload";
    case Owner::Trade: return "Trade";
    case Owner::Water: return "Water";
    case Owner::Dialog: return "Dialog";
    }
    return "?";
}

// The page as the main window shows it: inside a tab, in the page control's
// font (宋体, 13 pixels).
std::unique_ptr<QWidget> makeOwner(Owner owner)
{
    std::unique_ptr<QWidget> widget;
    switch (owner) {
    case Owner::Upload: widget = std::make_unique<UploadPage>(); break;
    case Owner::Trade: widget = std::make_unique<OnlineTradePage>(); break;
    case Owner::Water: widget = std::make_unique<WaterPage>(); break;
    case Owner::Dialog: return std::make_unique<TfrmDlgClock>();
    }
    QFont pageFont(QStringLiteral("宋体"));
    pageFont.setPixelSize(13);
    widget->setFont(pageFont);
    return widget;
}

QLabel *buddyLabelOf(QWidget *root, const QWidget *control)
{
    for (QLabel *label : root->findChildren<QLabel *>())
        if (label->buddy() == control)
            return label;
    return nullptr;
}

// The visible text of a control: caption, title, default text or current text.
QString shownText(QWidget *w)
{
    if (auto *b = qobject_cast<QAbstractButton *>(w)) return b->text();
    if (auto *l = qobject_cast<QLabel *>(w)) return l->text();
    if (auto *e = qobject_cast<QLineEdit *>(w)) return e->text();
    if (auto *g = qobject_cast<QGroupBox *>(w)) return g->title();
    if (auto *c = qobject_cast<QComboBox *>(w)) return c->currentText();
    if (auto *s = qobject_cast<QSpinBox *>(w)) return QString::number(s->value());
    if (auto *m = qobject_cast<QPlainTextEdit *>(w)) return m->toPlainText();
    return {};
}

// ---------------------------------------------------------------------------
// Table 1: every named control with its kind, text, label, hint, enabled
// state and length limit.

struct ControlCase {
    Owner owner;
    const char *name;
    const char *kind;           // Qt class the control is (or inherits)
    const char *text;           // caption / default text; nullptr: not checked
    const char *label = nullptr; // text of the label standing beside it (its buddy)
    const char *hint = nullptr;  // tooltip
    const char *unit = nullptr;  // unit label right of it in its grid row
    bool enabled = true;
    int maxLength = 0;           // 0: no limit of its own
};

void PrintTo(const ControlCase &c, std::ostream *os)
{
    *os << ownerName(c.owner) << "/" << c.name;
}

const ControlCase kFixedControls[] = {
    // 主动上传
    {Owner::Upload, "GroupBox6", "QGroupBox", "设置远程IP"},
    {Owner::Upload, "Edit2", "QLineEdit", "", "设置远程IP"},
    {Owner::Upload, "Edit3", "QLineEdit", "", "端口"},
    {Owner::Upload, "Button18", "QPushButton", "读取"},
    {Owner::Upload, "Button17", "QPushButton", "设置"},
    {Owner::Upload, "Label15", "QLabel", ""},
    {Owner::Upload, "btnStart", "QPushButton", "启动主动上传"},
    {Owner::Upload, "BtnStart2", "QPushButton", "启动主动上传2"},
    {Owner::Upload, "BitBtn3", "QPushButton", "停止主动上传", nullptr, nullptr, nullptr, false},
    {Owner::Upload, "Edit6", "QLineEdit", "8001", "监听端口:"},
    {Owner::Upload, "lvClock", "QTreeWidget", nullptr},
    {Owner::Upload, "Memo4", "QPlainTextEdit", ""},
    // 联机交易
    {Owner::Trade, "lvClocks", "QTreeWidget", nullptr, nullptr, "选中联机，并读取交易、读卡方式"},
    {Owner::Trade, "Edit1", "QLineEdit", "8002", "联机交易监听端口："},
    {Owner::Trade, "Button15", "QPushButton", "新增设备"},
    {Owner::Trade, "Button16", "QPushButton", "删除设备"},
    {Owner::Trade, "btnLaunch", "QPushButton", "开启联机交易"},
    {Owner::Trade, "btnStop", "QPushButton", "停止联机交易"},
    {Owner::Trade, "Memo3", "QPlainTextEdit", ""},
    {Owner::Trade, "btnSetOnlineIP", "QPushButton", "设置设备的联机交易IP和端口"},
    {Owner::Trade, "GroupBox5", "QGroupBox", ""},
    {Owner::Trade, "cbsta", "QComboBox", "", "交易方式"},
    {Owner::Trade, "dbReadCardType", "QComboBox", "", "机具读卡方式:"},
    {Owner::Trade, "BitBtn5", "QPushButton", "读取"},
    {Owner::Trade, "BitBtn2", "QPushButton", "设置"},
    {Owner::Trade, "Label11", "QLabel", "123"},
    {Owner::Trade, "Button32", "QPushButton", "搜机"},
    {Owner::Trade, "Bevel1", "QFrame", nullptr},
    {Owner::Trade, "Image1", "QLabel", ""},
    {Owner::Trade, "Button25", "QPushButton", "生成消费二维码"},
    {Owner::Trade, "Edit15", "QLineEdit", "86420975", nullptr, nullptr, nullptr, true, 8},
    {Owner::Trade, "Button28", "QPushButton", "设置二维码加密因子"},
    // 水控机
    {Owner::Water, "Label24", "QLabel",
     "水控机采用TCP转485方式联机，实际连接的IP/端口是转换器的IP/端口，除了本页的参数不同外，其他接口跟消费机基本一致"},
    {Owner::Water, "GroupBox8", "QGroupBox", "读卡参数"},
    {Owner::Water, "Edit12", "QLineEdit", "1", "扇区"},
    {Owner::Water, "ComboBox1", "QComboBox", "A秘钥", "密钥类型"},
    {Owner::Water, "Edit13", "QLineEdit", "7C3E9A1B5D20", "密钥", nullptr, nullptr, true, 12},
    {Owner::Water, "Button19", "QPushButton", "设置"},
    {Owner::Water, "Button20", "QPushButton", "读取"},
    {Owner::Water, "GroupBox9", "QGroupBox", "交易模式/方式"},
    {Owner::Water, "ComboBox2", "QComboBox", "正常交易", "模式"},
    {Owner::Water, "ComboBox3", "QComboBox", "计量", "方式"},
    {Owner::Water, "Button21", "QPushButton", "设置"},
    {Owner::Water, "Button23", "QPushButton", "读取"},
    {Owner::Water, "PageControl2", "QTabWidget", nullptr},
    {Owner::Water, "Label25", "QLabel", "可使用发参数卡的方式设置本页参数"},
    {Owner::Water, "Label26", "QLabel", "可使用发费率卡的方式设置本页参数"},
    {Owner::Water, "ComboBox6", "QComboBox", "否", "新费率"},
    {Owner::Water, "ComboBox4", "QComboBox", "否", "限制年限"},
    {Owner::Water, "ComboBox5", "QComboBox", "否", "循环存储"},
    {Owner::Water, "Button27", "QPushButton", "读取"},
    {Owner::Water, "Button26", "QPushButton", "设置"},
    // 新增设备
    {Owner::Dialog, "edtClock_id", "QLineEdit", "", "机号："},
    {Owner::Dialog, "edtIP", "QLineEdit", "", "IP：", nullptr, nullptr, true, 0},
    {Owner::Dialog, "edtPort", "QLineEdit", "4001", "端口："},
    {Owner::Dialog, "btnOK", "QPushButton", "确定"},
    {Owner::Dialog, "btnCancel", "QPushButton", "取消"},
};

// The parameter sheet: spin box, label, unit label, hint.
struct SpinRow {
    const char *name, *label, *unit, *hint;
};
const SpinRow kSpins[] = {
    {"SpinEdit1", "混合模式计时时间", "秒", "混合消费模式下计时时间,2字节, 单位秒, 超过此时间开始计量"},
    {"SpinEdit4", "计量扣款水量单位", "升", "计量模式的扣款水量单位，2字节，单位为L, 每多少L升水扣一次费"},
    {"SpinEdit5", "计时扣款时间单位", "秒", "计时模式的扣款时间单位，2字节，单位为秒, 每多少秒扣一次费"},
    {"SpinEdit6", "计次消费扣款金额", "分", "计次消费的扣费金额, 单位分"},
    {"SpinEdit8", "计次消费最大时间", "秒", "计次消费一次消费的最大时间, 单位秒，为0表示不限制"},
    {"SpinEdit9", "计次消费最大水量", "升", "计次消费一次消费的最大水量, 单位L，为0表示不限制"},
    {"SpinEdit2", "1升水的脉冲数", nullptr, nullptr},
    {"SpinEdit10", "日消费限制次数", nullptr, nullptr},
    {"SpinEdit12", "日最大消费额", "分", "每天最大消费的金额，单位为分"},
    {"SpinEdit11", "单次最大消费额", "分", "单次消费的最大金额，单位为分"},
    {"SpinEdit13", "日最大消费额", "分钟", "每天最大消费的时间，单位为分钟"},
    {"SpinEdit14", "日最大流量", "升", "计次消费一次消费的最大水量, 单位L，为0表示不限制"},
    {"SpinEdit3", "转账金额", "分", "每次从主钱包转移的现金金额,单位为分"},
    {"SpinEdit7", "同卡间隔", "秒", "同一张卡重复刷卡间隔时间，单位为秒"},
};

// The rate sheet: one row, volume rate on the left, time rate on the right.
struct RateRow {
    const char *flowLabel, *flowBox, *timeLabel, *timeBox, *defaultText;
};
const RateRow kRates[] = {
    {"计量模式费率", "Edit109", "计时模式费率", "Edit110", "0.01"},
    {"权限1卡计量模式费率", "Edit93", "权限1卡计时模式费率", "Edit94", "0.01"},
    {"权限2卡计量模式费率", "Edit95", "权限2卡计时模式费率", "Edit96", "0.02"},
    {"权限3卡计量模式费率", "Edit97", "权限3卡计时模式费率", "Edit98", "0.03"},
    {"权限4卡计量模式费率", "Edit99", "权限4卡计时模式费率", "Edit100", "0.04"},
    {"权限5卡计量模式费率", "Edit101", "权限5卡计时模式费率", "Edit104", "0.05"},
    {"权限6卡计量模式费率", "Edit102", "权限6卡计时模式费率", "Edit103", "0.06"},
    {"权限7卡计量模式费率", "Edit105", "权限7卡计时模式费率", "Edit106", "0.07"},
    {"权限8卡计量模式费率", "Edit107", "权限8卡计时模式费率", "Edit108", "0.08"},
};

std::vector<ControlCase> allControls()
{
    std::vector<ControlCase> cases(std::begin(kFixedControls), std::end(kFixedControls));
    for (const SpinRow &s : kSpins)
        cases.push_back({Owner::Water, s.name, "QSpinBox", "0", s.label, s.hint, s.unit});
    for (const RateRow &r : kRates) {
        cases.push_back({Owner::Water, r.flowBox, "QLineEdit", r.defaultText, r.flowLabel,
                         "计量模式下的费率,2字节, 单位0.001元/L", "元/升"});
        cases.push_back({Owner::Water, r.timeBox, "QLineEdit", r.defaultText, r.timeLabel,
                         "计时模式下的费率,2字节, 单位0.001元/秒", "元/秒"});
    }
    return cases;
}

// The label right of a control in the grid that places it, if any.
QString textRightOf(QWidget *control)
{
    for (QGridLayout *grid : control->parentWidget()->findChildren<QGridLayout *>()) {
        const int index = grid->indexOf(control);
        if (index < 0)
            continue;
        int row, column, rowSpan, columnSpan;
        grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
        QLayoutItem *right = grid->itemAtPosition(row, column + columnSpan);
        auto *label = right ? qobject_cast<QLabel *>(right->widget()) : nullptr;
        return label ? label->text() : QString();
    }
    return {};
}

class ControlLayout : public ::testing::TestWithParam<ControlCase> {};

TEST_P(ControlLayout, ShowsWhatTheOperatorExpectsAtStart)
{
    const ControlCase &c = GetParam();
    std::unique_ptr<QWidget> root = makeOwner(c.owner);
    QWidget *w = root->findChild<QWidget *>(QString::fromUtf8(c.name));
    ASSERT_NE(w, nullptr) << c.name << " missing";
    EXPECT_TRUE(w->inherits(c.kind)) << c.name << " is a " << w->metaObject()->className();
    if (c.text) {
        EXPECT_EQ(shownText(w), QString::fromUtf8(c.text));
    }
    if (c.label) {
        QLabel *label = buddyLabelOf(root.get(), w);
        ASSERT_NE(label, nullptr) << "no label beside " << c.name;
        EXPECT_EQ(label->text(), QString::fromUtf8(c.label));
    }
    EXPECT_EQ(w->toolTip(), c.hint ? QString::fromUtf8(c.hint) : QString());
    if (c.unit) {
        EXPECT_EQ(textRightOf(w), QString::fromUtf8(c.unit));
    }
    EXPECT_EQ(w->isEnabled(), c.enabled);
    if (auto *edit = qobject_cast<QLineEdit *>(w)) {
        EXPECT_EQ(edit->maxLength(), c.maxLength ? c.maxLength : 32767);
        EXPECT_FALSE(edit->isReadOnly());
    }
    if (auto *spin = qobject_cast<QSpinBox *>(w)) {
        EXPECT_EQ(spin->minimum(), 0);
        EXPECT_EQ(spin->maximum(), 65535);
        EXPECT_EQ(spin->singleStep(), 1);
        EXPECT_EQ(spin->value(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Pages, ControlLayout, ::testing::ValuesIn(allControls()),
                         [](const ::testing::TestParamInfo<ControlCase> &info) {
                             return std::string(ownerName(info.param.owner)) + "_" + info.param.name;
                         });

// ---------------------------------------------------------------------------
// Table 2: combo boxes, their items, what they show at start, and the keys of
// the card-read types.

struct ComboCase {
    Owner owner;
    const char *name;
    std::vector<const char *> items;
    int currentIndex;
    const char *editText;
    bool editable;
    std::vector<int> keys; // item data; empty: none expected
};

void PrintTo(const ComboCase &c, std::ostream *os)
{
    *os << ownerName(c.owner) << "/" << c.name;
}

const ComboCase kCombos[] = {
    {Owner::Trade, "cbsta", {"普通交易", "联机交易", "记账交易"}, -1, "", true, {}},
    {Owner::Trade, "dbReadCardType", {"读序列号", "Tarnwick读卡方式"}, -1, "", false, {0, 1}},
    {Owner::Water, "ComboBox1", {"A秘钥", "B秘钥"}, 0, "A秘钥", true, {}},
    {Owner::Water, "ComboBox2", {"正常交易", "联机交易"}, 0, "正常交易", true, {}},
    // shows "计量" although nothing is chosen yet
    {Owner::Water, "ComboBox3", {"计量", "计时", "混合", "计费", "计次"}, -1, "计量", true, {}},
    {Owner::Water, "ComboBox6", {"否", "是"}, 0, "否", true, {}},
    {Owner::Water, "ComboBox4", {"否", "是"}, 0, "否", true, {}},
    {Owner::Water, "ComboBox5", {"否", "是"}, 0, "否", true, {}},
};

class ComboLayout : public ::testing::TestWithParam<ComboCase> {};

TEST_P(ComboLayout, ItemsAndStartingChoice)
{
    const ComboCase &c = GetParam();
    std::unique_ptr<QWidget> root = makeOwner(c.owner);
    auto *combo = root->findChild<QComboBox *>(QString::fromUtf8(c.name));
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->count(), int(c.items.size()));
    for (int i = 0; i < combo->count(); ++i)
        EXPECT_EQ(combo->itemText(i), QString::fromUtf8(c.items[i])) << "item " << i;
    EXPECT_EQ(combo->currentIndex(), c.currentIndex);
    EXPECT_EQ(combo->currentText(), QString::fromUtf8(c.editText));
    EXPECT_EQ(combo->isEditable(), c.editable);
    for (size_t i = 0; i < c.keys.size(); ++i) {
        bool ok = false;
        EXPECT_EQ(combo->itemData(int(i)).toInt(&ok), c.keys[i]);
        EXPECT_TRUE(ok) << "item " << i << " has no key";
    }
}

INSTANTIATE_TEST_SUITE_P(Pages, ComboLayout, ::testing::ValuesIn(kCombos),
                         [](const ::testing::TestParamInfo<ComboCase> &info) {
                             return std::string(ownerName(info.param.owner)) + "_" + info.param.name;
                         });

// ---------------------------------------------------------------------------
// Lists, memos, notes in red, the QR picture, positions.

bool isPrivateAddress(const QString &text)
{
    const QHostAddress a(text);
    return a.protocol() == QAbstractSocket::IPv4Protocol
        && (a.isInSubnet(QHostAddress(QStringLiteral("10.0.0.0")), 8)
            || a.isInSubnet(QHostAddress(QStringLiteral("172.16.0.0")), 12)
            || a.isInSubnet(QHostAddress(QStringLiteral("192.168.0.0")), 16));
}

void expectColumns(QTreeWidget *list, const std::vector<std::pair<const char *, int>> &columns)
{
    ASSERT_EQ(list->columnCount(), int(columns.size()));
    for (int i = 0; i < list->columnCount(); ++i) {
        EXPECT_EQ(list->headerItem()->text(i), QString::fromUtf8(columns[i].first)) << "column " << i;
        if (columns[i].second > 0) {
            EXPECT_EQ(list->columnWidth(i), columns[i].second) << "column " << i;
        }
    }
    EXPECT_FALSE(list->rootIsDecorated());
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
}

TEST(TradeRegistry, ColumnsAndTheOneTerminalRegisteredAtStart)
{
    OnlineTradePage page;
    auto *list = page.findChild<QTreeWidget *>(QStringLiteral("lvClocks"));
    ASSERT_NE(list, nullptr);
    expectColumns(list, {{"机号", 0}, {"设备IP", 120}, {"设备端口", 100}});
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
    ASSERT_EQ(list->topLevelItemCount(), 1);
    QTreeWidgetItem *row = list->topLevelItem(0);
    EXPECT_EQ(row->text(0), QStringLiteral("60"));
    EXPECT_TRUE(isPrivateAddress(row->text(1))) << row->text(1).toStdString();
    EXPECT_EQ(row->text(2), QStringLiteral("4001"));
    // The selection stays visible while another control has the focus.
    EXPECT_EQ(list->palette().color(QPalette::Inactive, QPalette::Highlight),
              list->palette().color(QPalette::Active, QPalette::Highlight));
}

TEST(UploadList, ColumnsAndEmptyAtStart)
{
    UploadPage page;
    auto *list = page.findChild<QTreeWidget *>(QStringLiteral("lvClock"));
    ASSERT_NE(list, nullptr);
    expectColumns(list, {{"机号", 0}, {"Serial_no", 120}, {"IP", 120}, {"Port", 0}, {"状态", 0}});
    EXPECT_EQ(list->topLevelItemCount(), 0);
}

TEST(TradeLog, RunsAlongThePageBottomWithAScrollBar)
{
    OnlineTradePage page;
    page.resize(780, 460);
    page.show();
    auto *memo = page.findChild<QPlainTextEdit *>(QStringLiteral("Memo3"));
    ASSERT_NE(memo, nullptr);
    EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    const QRect area = page.contentsRect().marginsRemoved(page.layout()->contentsMargins());
    EXPECT_EQ(memo->geometry().bottom(), area.bottom());
    EXPECT_EQ(memo->geometry().left(), area.left());
    EXPECT_EQ(memo->geometry().right(), area.right());
    for (QWidget *w : page.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (w != memo && w->isVisible()) {
            EXPECT_LE(w->geometry().bottom(), memo->geometry().top()) << w->objectName().toStdString();
        }
    }
}

TEST(WaterSheets, ParameterSheetFirstRateSheetSecondButtonsBelow)
{
    WaterPage page;
    page.resize(780, 460);
    page.show();
    auto *sheets = page.findChild<QTabWidget *>(QStringLiteral("PageControl2"));
    ASSERT_NE(sheets, nullptr);
    ASSERT_EQ(sheets->count(), 2);
    EXPECT_EQ(sheets->widget(0)->objectName(), QStringLiteral("TabSheet8"));
    EXPECT_EQ(sheets->tabText(0), QStringLiteral("水控参数"));
    EXPECT_EQ(sheets->widget(1)->objectName(), QStringLiteral("TabSheet9"));
    EXPECT_EQ(sheets->tabText(1), QStringLiteral("水控费率"));
    EXPECT_EQ(sheets->currentIndex(), 0);
    // The sheet notes sit on their own sheets, the rate boxes on the rate sheet.
    EXPECT_NE(sheets->widget(0)->findChild<QLabel *>(QStringLiteral("Label25")), nullptr);
    EXPECT_NE(sheets->widget(1)->findChild<QLabel *>(QStringLiteral("Label26")), nullptr);
    EXPECT_NE(sheets->widget(1)->findChild<QLineEdit *>(QStringLiteral("Edit108")), nullptr);
    EXPECT_NE(sheets->widget(0)->findChild<QComboBox *>(QStringLiteral("ComboBox5")), nullptr);
    for (const char *name : {"Button27", "Button26"}) {
        auto *button = page.findChild<QPushButton *>(QString::fromUtf8(name));
        ASSERT_NE(button, nullptr);
        EXPECT_GE(button->geometry().top(), sheets->geometry().bottom()) << name;
    }
}

TEST(RedNotes, StatusLabelsAreRed)
{
    UploadPage upload;
    OnlineTradePage trade;
    for (QLabel *label : {upload.findChild<QLabel *>(QStringLiteral("Label15")),
                          trade.findChild<QLabel *>(QStringLiteral("Label11"))}) {
        ASSERT_NE(label, nullptr);
        label->ensurePolished();
        EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::red))
            << label->objectName().toStdString();
    }
    auto *status = trade.findChild<QLabel *>(QStringLiteral("Label11"));
    EXPECT_EQ(status->font().pixelSize(), 14);
}

TEST(QrPicture, IsASquareOf137PixelsThatStretchesItsImage)
{
    OnlineTradePage page;
    page.resize(780, 460);
    page.show();
    auto *image = page.findChild<QLabel *>(QStringLiteral("Image1"));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->size(), QSize(137, 137));
    EXPECT_TRUE(image->hasScaledContents());
    EXPECT_TRUE(image->pixmap().isNull());
    ASSERT_NE(image->parentWidget(), nullptr);
    EXPECT_EQ(image->parentWidget()->objectName(), QStringLiteral("Bevel1"));
}

// Every input either has a label beside it or an accessible name, so a screen
// reader (and a driver through the accessibility interface) can find it.
TEST(Accessibility, EveryInputIsNamed)
{
    for (Owner owner : {Owner::Upload, Owner::Trade, Owner::Water, Owner::Dialog}) {
        std::unique_ptr<QWidget> root = makeOwner(owner);
        for (QWidget *w : root->findChildren<QWidget *>()) {
            const bool input = qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w)
                || qobject_cast<QAbstractSpinBox *>(w) || qobject_cast<QPlainTextEdit *>(w)
                || qobject_cast<QTreeWidget *>(w);
            if (!input || w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_")))
                continue;
            if (qobject_cast<QComboBox *>(w->parentWidget()) || qobject_cast<QAbstractSpinBox *>(w->parentWidget()))
                continue; // the edit inside a combo or spin box
            EXPECT_TRUE(buddyLabelOf(root.get(), w) || !w->accessibleName().isEmpty())
                << ownerName(owner) << "/" << w->objectName().toStdString();
        }
    }
}

TEST(PageFit, EveryPageFitsItsTabInTheMainWindow)
{
    for (Owner owner : {Owner::Upload, Owner::Trade, Owner::Water}) {
        std::unique_ptr<QWidget> page = makeOwner(owner);
        const QSize needed = page->minimumSizeHint();
        EXPECT_LE(needed.width(), 780) << ownerName(owner);
        EXPECT_LE(needed.height(), 460) << ownerName(owner);
    }
}

TEST(PageNames, EachPageCarriesItsDesignerNameAndCaption)
{
    const struct {
        Owner owner;
        const char *name, *caption;
    } pages[] = {{Owner::Upload, "TabSheet6", "主动上传"},
                 {Owner::Trade, "TabSheet7", "联机交易"},
                 {Owner::Water, "TabSheet10", "水控机"}};
    for (const auto &p : pages) {
        std::unique_ptr<QWidget> page = makeOwner(p.owner);
        EXPECT_EQ(page->objectName(), QString::fromUtf8(p.name));
        EXPECT_EQ(page->windowTitle(), QString::fromUtf8(p.caption));
    }
}

// ---------------------------------------------------------------------------
// The add-terminal dialog.

class RecordingDialogs final : public tallydesk::Dialogs {
public:
    void message(const QString &text) override { messages.push_back(text); }
    void warning(const QString &text) override { messages.push_back(text); }
    bool question(const QString &, const QString &) override { return false; }
    void conversionError(const QString &text) override { messages.push_back(text); }
    std::vector<QString> messages;
};

class DialogsGuard {
public:
    explicit DialogsGuard(tallydesk::Dialogs *d) : previous(tallydesk::setDialogs(d)) {}
    ~DialogsGuard() { tallydesk::setDialogs(previous); }

private:
    tallydesk::Dialogs *previous;
};

TEST(ClockDialog, CaptionFixedBorderAndFont)
{
    TfrmDlgClock dialog;
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("新增设备"));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(dialog.font().pixelSize(), 12);
    EXPECT_EQ(dialog.font().family(), QStringLiteral("宋体"));
    dialog.reject();
}

struct OkCase {
    const char *id, *ip, *port;
    const char *message; // nullptr: the dialog closes with OK
};

void PrintTo(const OkCase &c, std::ostream *os)
{
    *os << "id='" << c.id << "' ip='" << c.ip << "' port='" << c.port << "'";
}

class ClockDialogOk : public ::testing::TestWithParam<OkCase> {};

TEST_P(ClockDialogOk, RefusesOnlyEmptyBoxesInOrder)
{
    const OkCase &c = GetParam();
    RecordingDialogs recorded;
    DialogsGuard guard(&recorded);
    TfrmDlgClock dialog;
    dialog.show();
    dialog.findChild<QLineEdit *>(QStringLiteral("edtClock_id"))->setText(QString::fromUtf8(c.id));
    dialog.findChild<QLineEdit *>(QStringLiteral("edtIP"))->setText(QString::fromUtf8(c.ip));
    dialog.findChild<QLineEdit *>(QStringLiteral("edtPort"))->setText(QString::fromUtf8(c.port));
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("btnOK")), Qt::LeftButton);
    if (c.message) {
        ASSERT_EQ(recorded.messages.size(), 1u);
        EXPECT_EQ(recorded.messages[0], QString::fromUtf8(c.message));
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), 0);
    } else {
        EXPECT_TRUE(recorded.messages.empty());
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.clockIdText(), QString::fromUtf8(c.id));
        EXPECT_EQ(dialog.ipText(), QString::fromUtf8(c.ip));
        EXPECT_EQ(dialog.portText(), QString::fromUtf8(c.port));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, ClockDialogOk,
    ::testing::Values(OkCase{"", "", "", "机号不能为空"},           // first empty box wins
                      OkCase{"", "127.0.0.1", "4001", "机号不能为空"},
                      OkCase{"61", "", "", "IP地址不能为空"},
                      OkCase{"61", "127.0.0.1", "", "端口不能为空"},
                      OkCase{"61", "127.0.0.1", "4001", nullptr},
                      OkCase{" ", " ", " ", nullptr},                // a blank is text
                      OkCase{"abc", "host", "port", nullptr},        // numbers are checked at launch
                      // the terminal table holds 15 address bytes: longer is refused, not cut
                      OkCase{"61", "127.100.100.200", "4001", nullptr},
                      OkCase{"61", "127.100.100.2001", "4001", "IP地址不能超过15个字符"},
                      OkCase{"61", "127.100.100.2001", "", "IP地址不能超过15个字符"},
                      OkCase{"61", "七个汉字的地址", "4001", nullptr},     // 14 bytes
                      OkCase{"61", "八个汉字的长地址", "4001", "IP地址不能超过15个字符"})); // 16 bytes

TEST(ClockDialog, CancelClosesWithoutMessage)
{
    RecordingDialogs recorded;
    DialogsGuard guard(&recorded);
    TfrmDlgClock dialog;
    dialog.show();
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("btnCancel")), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(recorded.messages.empty());
}

} // namespace
