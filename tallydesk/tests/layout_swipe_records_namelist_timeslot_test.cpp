// Layout of the pages "刷卡设置", "采集数据", "名单管理", "时段消费模式" and of
// the time-slot editor "时间金额设置": every control an operator relies on is
// there under its designer name, with its caption, default, items, ranges,
// masks and column headings, enabled at start, and each page fits its place
// in the main window without cutting captions off.
#include "dialogs/edit_dialog.h"
#include "pages/name_list_page.h"
#include "pages/records_page.h"
#include "pages/swipe_page.h"
#include "pages/time_slot_page.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

// Readable QString and QStringList values in failure messages.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList &texts, std::ostream *os)
{
    *os << '{' << texts.join(QStringLiteral(", ")).toStdString() << '}';
}

namespace {

enum class Host { Swipe, Records, NameList, TimeSlot, Editor };

const char *hostName(Host host)
{
    switch (host) {
    case Host::Swipe: return "SwipePage";
    case Host::Records: return "RecordsPage";
    case Host::NameList: return "NameListPage";
    case Host::TimeSlot: return "TimeSlotPage";
    case Host::Editor: return "TfrmEdit";
    }
    return "?";
}

std::unique_ptr<QWidget> makeHost(Host host)
{
    switch (host) {
    case Host::Swipe: return std::make_unique<SwipePage>();
    case Host::Records: return std::make_unique<RecordsPage>();
    case Host::NameList: return std::make_unique<NameListPage>();
    case Host::TimeSlot: return std::make_unique<TimeSlotPage>();
    case Host::Editor: return std::make_unique<TfrmEdit>();
    }
    return nullptr;
}

// The host itself when it carries the name, else its child of that name.
QObject *findNamed(QWidget *host, const char *name)
{
    if (host->objectName() == QLatin1String(name))
        return host;
    return host->findChild<QObject *>(QLatin1String(name));
}

// What the operator reads on a control: the title of a page or group, the
// caption of a button or label, the text of an edit or memo, the current text
// of a combo box, the value of a spin box.
QString shownText(QObject *object)
{
    if (auto *button = qobject_cast<QAbstractButton *>(object))
        return button->text();
    if (auto *label = qobject_cast<QLabel *>(object))
        return label->text();
    if (auto *group = qobject_cast<QGroupBox *>(object))
        return group->title();
    if (auto *edit = qobject_cast<QLineEdit *>(object))
        return edit->displayText();
    if (auto *memo = qobject_cast<QPlainTextEdit *>(object))
        return memo->toPlainText();
    if (auto *combo = qobject_cast<QComboBox *>(object))
        return combo->currentText();
    if (auto *spin = qobject_cast<QSpinBox *>(object))
        return spin->text();
    if (auto *widget = qobject_cast<QWidget *>(object); widget && widget->isWindow())
        return widget->windowTitle();
    return {};
}

// ---------------------------------------------------------------------------
// Every named control: its kind, what it shows at start, the check state of
// check boxes and radio buttons, and for labels the input they name.

struct ControlCase {
    Host host;
    const char *name;
    const char *kind; // Qt class the control is, or derives from
    const char *text; // shownText() at start
    int checked = -1; // 0 or 1 for check boxes and radio buttons
    const char *buddy = nullptr;
};

void PrintTo(const ControlCase &c, std::ostream *os)
{
    *os << hostName(c.host) << "." << c.name;
}

const ControlCase kControls[] = {
    // 刷卡设置
    {Host::Swipe, "TabSheet2", "QWidget", "刷卡设置"},
    {Host::Swipe, "RadioGroup1", "QGroupBox", ""},
    {Host::Swipe, "RadioGroup1_0", "QRadioButton", "T06", 1},
    {Host::Swipe, "RadioGroup1_1", "QRadioButton", "T09/T01", 0},
    {Host::Swipe, "GroupBox13", "QGroupBox", "刷卡间隔设置"},
    {Host::Swipe, "Label33", "QLabel", "同卡间隔", -1, "seSameCard"},
    {Host::Swipe, "seSameCard", "QSpinBox", "0"},
    {Host::Swipe, "Label34", "QLabel", "异卡间隔", -1, "seDiffCard"},
    {Host::Swipe, "seDiffCard", "QSpinBox", "0"},
    {Host::Swipe, "Button33", "QPushButton", "读"},
    {Host::Swipe, "Button34", "QPushButton", "写"},
    {Host::Swipe, "grp2", "QGroupBox", "刷卡控制"},
    {Host::Swipe, "cbCheckWhite", "QCheckBox", "检查白名单", 0},
    {Host::Swipe, "cbCheckBlack", "QCheckBox", "检查黑名单", 0},
    {Host::Swipe, "grp3", "QGroupBox", "记录存储"},
    {Host::Swipe, "cbSaveRecordInCircle", "QCheckBox", "当记录存贮满后，自动循环覆盖保存", 0},
    {Host::Swipe, "cbSaveTimeOutRecord", "QCheckBox", "非允许时刷卡时段保存记录", 0},
    {Host::Swipe, "cbSaveBlackRecord", "QCheckBox", "黑名单刷卡时保存记录", 0},
    {Host::Swipe, "cbSaveGrayRecord", "QCheckBox", "非法卡刷卡时保存记录", 0},
    {Host::Swipe, "grp4", "QGroupBox", "蜂鸣器控制"},
    {Host::Swipe, "cbUseExternalAlarm", "QCheckBox", "开启外接报警", 0},
    {Host::Swipe, "cbWarnBlack", "QCheckBox", "黑名单刷卡报警", 0},
    {Host::Swipe, "cbWarnGray", "QCheckBox", "灰名单刷卡报警", 0},
    {Host::Swipe, "cbWarnTimeOut", "QCheckBox", "非允许时间段卡报警", 0},
    {Host::Swipe, "cbBeepNormal", "QCheckBox", "正常刷卡声音提示", 0},
    {Host::Swipe, "Memo2", "QPlainTextEdit", "记录存储 和 蜂鸣器控制，T06只支持读取， 不支持设置"},
    {Host::Swipe, "btnGet", "QPushButton", "2、读取"},
    {Host::Swipe, "btnSet", "QPushButton", "3、设置"},
    // 采集数据
    {Host::Records, "TabSheet3", "QWidget", "采集数据"},
    {Host::Records, "Button10", "QPushButton", "采集数据"},
    {Host::Records, "Button31", "QPushButton", "补采集记录"},
    {Host::Records, "Button11", "QPushButton", "清空数据"},
    {Host::Records, "Memo1", "QPlainTextEdit", ""},
    // 名单管理
    {Host::NameList, "TabSheet4", "QWidget", "名单管理"},
    {Host::NameList, "BitBtn1", "QPushButton", "读名单总数"},
    {Host::NameList, "Label3", "QLabel", "白名单:", -1, "Edit4"},
    {Host::NameList, "Edit4", "QLineEdit", ""},
    {Host::NameList, "Label4", "QLabel", "黑名单", -1, "Edit5"},
    {Host::NameList, "Edit5", "QLineEdit", ""},
    {Host::NameList, "Label5", "QLabel", "名单存储容量", -1, "Edit7"},
    {Host::NameList, "Edit7", "QLineEdit", ""},
    {Host::NameList, "BitBtn6", "QPushButton", "下名单"},
    {Host::NameList, "Label17", "QLabel", "名单类型", -1, "NLType"},
    {Host::NameList, "NLType", "QComboBox", "黑名单"},
    {Host::NameList, "Label14", "QLabel", "卡号：", -1, "Edit8"},
    {Host::NameList, "Edit8", "QLineEdit", "1926797116"},
    {Host::NameList, "Label16", "QLabel", "姓名", -1, "Edit9"},
    {Host::NameList, "Edit9", "QLineEdit", "张三"},
    {Host::NameList, "Label55", "QLabel", "卡物理号", -1, "Edit41"},
    {Host::NameList, "Edit41", "QLineEdit", ""},
    {Host::NameList, "BitBtn7", "QPushButton", "删除白名单"},
    {Host::NameList, "Label19", "QLabel", "卡号:", -1, "Edit10"},
    {Host::NameList, "Edit10", "QLineEdit", "123456"},
    {Host::NameList, "BitBtn8", "QPushButton", "删除黑名单"},
    {Host::NameList, "Label20", "QLabel", "卡号:", -1, "Edit11"},
    {Host::NameList, "Edit11", "QLineEdit", "123456"},
    {Host::NameList, "BitBtn4", "QPushButton", "读名单"},
    {Host::NameList, "Button22", "QPushButton", "读名单字符串"},
    {Host::NameList, "Button4", "QPushButton", "读名单格式"},
    {Host::NameList, "BitBtn17", "QPushButton", "清空名单"},
    {Host::NameList, "Lv2", "QTreeWidget", ""},
    // 时段消费模式
    {Host::TimeSlot, "TabSheet5", "QWidget", "时段消费模式"},
    {Host::TimeSlot, "GroupBox11", "QGroupBox", "时段消费模式"},
    {Host::TimeSlot, "lv1", "QTreeWidget", ""},
    {Host::TimeSlot, "btnAdd", "QPushButton", "增加"},
    {Host::TimeSlot, "btnEdit", "QPushButton", "修改"},
    {Host::TimeSlot, "btnDelete", "QPushButton", "删除"},
    {Host::TimeSlot, "Button29", "QPushButton", "设置"},
    {Host::TimeSlot, "Button30", "QPushButton", "读取"},
    {Host::TimeSlot, "cbRunInTimeMode", "QCheckBox", "启用时段自动切换工作模式", 0},
    {Host::TimeSlot, "cbAllowOutOfTime", "QCheckBox", "允许时间段外正常交易", 0},
    // 时间金额设置
    {Host::Editor, "frmEdit", "QDialog", "时间金额设置"},
    {Host::Editor, "Label1", "QLabel", "开始时间", -1, "medtBegTime"},
    {Host::Editor, "medtBegTime", "QLineEdit", "__:__"},
    {Host::Editor, "Label2", "QLabel", "结束时间", -1, "medtEndTime"},
    {Host::Editor, "medtEndTime", "QLineEdit", "__:__"},
    {Host::Editor, "Label3", "QLabel", "金额", -1, "edtMoney"},
    {Host::Editor, "edtMoney", "QLineEdit", ""},
    {Host::Editor, "Label4", "QLabel", "限定次数", -1, "edtCount"},
    {Host::Editor, "edtCount", "QLineEdit", "0"},
    {Host::Editor, "rgType", "QGroupBox", "消费工作模式"},
    {Host::Editor, "btn1", "QPushButton", "确定"},
    {Host::Editor, "btn2", "QPushButton", "取消"},
};

class ControlTest : public ::testing::TestWithParam<ControlCase>
{
};

TEST_P(ControlTest, PresentWithCaptionDefaultAndStateAtStart)
{
    const ControlCase &c = GetParam();
    const auto host = makeHost(c.host);
    QObject *object = findNamed(host.get(), c.name);
    ASSERT_NE(object, nullptr);
    EXPECT_TRUE(object->inherits(c.kind)) << object->metaObject()->className();
    EXPECT_EQ(shownText(object), QString::fromUtf8(c.text));

    auto *widget = qobject_cast<QWidget *>(object);
    ASSERT_NE(widget, nullptr);
    // Nothing on these pages starts disabled.
    EXPECT_TRUE(widget->isEnabled());

    if (c.checked >= 0) {
        auto *button = qobject_cast<QAbstractButton *>(object);
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(button->isCheckable());
        EXPECT_EQ(button->isChecked(), c.checked == 1);
    }
    if (auto *label = qobject_cast<QLabel *>(object)) {
        ASSERT_NE(label->buddy(), nullptr) << "label without its input";
        EXPECT_EQ(label->buddy()->objectName(), QLatin1String(c.buddy));
    }
    // Inputs and lists that no caption names carry a name of their own for
    // screen readers.
    const bool captioned = qobject_cast<QAbstractButton *>(object) || qobject_cast<QLabel *>(object)
                           || (qobject_cast<QGroupBox *>(object) && !shownText(object).isEmpty())
                           || widget->isWindow();
    const QList<QLabel *> labels = host->findChildren<QLabel *>();
    const bool named = captioned || !widget->accessibleName().isEmpty()
                       || std::any_of(labels.begin(), labels.end(), [&](QLabel *l) { return l->buddy() == widget; });
    EXPECT_TRUE(named) << "no caption, label or accessible name";
}

INSTANTIATE_TEST_SUITE_P(Pages, ControlTest, ::testing::ValuesIn(kControls));

// ---------------------------------------------------------------------------
// Controls that offer a choice or a table: the items of a combo box or radio
// group (radio items in button-id order, ids being the item indexes) and the
// column headings and widths of a list view.

struct ChoiceCase {
    Host host;
    const char *name;
    std::vector<const char *> entries;
    // Combo box or radio group: the item selected at start (-1: none).
    // List view: the number of rows at start.
    int initial;
    int columnWidth = 0; // list views only
};

void PrintTo(const ChoiceCase &c, std::ostream *os)
{
    *os << hostName(c.host) << "." << c.name;
}

const ChoiceCase kChoices[] = {
    {Host::Swipe, "RadioGroup1Items", {"T06", "T09/T01"}, 0},
    {Host::NameList, "NLType", {"黑名单", "白名单", "考勤门禁白名单", "门禁名单", "考勤名单", "补贴名单"}, 0},
    {Host::NameList, "Lv2", {"", "", "", ""}, 0, 100},
    {Host::TimeSlot, "lv1", {"开始时间", "结束时间", "消费模式", "定值金额", "限定次数"}, 1, 70},
    {Host::Editor,
     "rgTypeItems",
     {"普通模式(0)", "定值模式(1)", "计次模式(2)", "出纳模式(3)", "补贴模式(4)", "菜号模式(5)", "订餐模式(6)",
      "验餐模式(7)"},
     -1},
};

class ChoiceTest : public ::testing::TestWithParam<ChoiceCase>
{
};

TEST_P(ChoiceTest, ItemsOrColumnsAsListed)
{
    const ChoiceCase &c = GetParam();
    const auto host = makeHost(c.host);
    QObject *object = findNamed(host.get(), c.name);
    ASSERT_NE(object, nullptr);
    QStringList expected;
    for (const char *entry : c.entries)
        expected << QString::fromUtf8(entry);

    if (auto *combo = qobject_cast<QComboBox *>(object)) {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        EXPECT_EQ(items, expected);
        EXPECT_EQ(combo->currentIndex(), c.initial);
    } else if (auto *group = qobject_cast<QButtonGroup *>(object)) {
        QStringList items;
        for (int id = 0; id < int(group->buttons().size()); ++id) {
            QAbstractButton *button = group->button(id);
            ASSERT_NE(button, nullptr) << "no item with id " << id;
            items << button->text();
        }
        EXPECT_EQ(items, expected);
        EXPECT_TRUE(group->exclusive());
        EXPECT_EQ(group->checkedId(), c.initial);
    } else if (auto *tree = qobject_cast<QTreeWidget *>(object)) {
        QStringList captions;
        for (int column = 0; column < tree->columnCount(); ++column)
            captions << tree->headerItem()->text(column);
        EXPECT_EQ(captions, expected);
        for (int column = 0; column < tree->columnCount(); ++column)
            EXPECT_EQ(tree->columnWidth(column), c.columnWidth) << "column " << column;
        // A list without headings shows no header at all.
        const bool headed = std::any_of(captions.begin(), captions.end(), [](const QString &s) { return !s.isEmpty(); });
        EXPECT_EQ(tree->isHeaderHidden(), !headed);
        EXPECT_FALSE(tree->rootIsDecorated());
        EXPECT_EQ(tree->topLevelItemCount(), c.initial);
    } else {
        FAIL() << "not a choice: " << object->metaObject()->className();
    }
}

INSTANTIATE_TEST_SUITE_P(Pages, ChoiceTest, ::testing::ValuesIn(kChoices));

// ---------------------------------------------------------------------------

TEST(NameListPageLayout, ListTypesCarryTheTerminalCodesAndTextMayBeTyped)
{
    NameListPage page;
    auto *combo = page.findChild<QComboBox *>("NLType");
    ASSERT_NE(combo, nullptr);
    EXPECT_TRUE(combo->isEditable());
    const int codes[] = {0, 1, 2, 3, 4, 12};
    ASSERT_EQ(combo->count(), int(std::size(codes)));
    for (int i = 0; i < combo->count(); ++i)
        EXPECT_EQ(combo->itemData(i), QVariant(codes[i])) << combo->itemText(i).toStdString();
}

TEST(NameListPageLayout, CardNumberOfADownloadFitsTheEntry)
{
    NameListPage page;
    auto *edit = page.findChild<QLineEdit *>("Edit8");
    ASSERT_NE(edit, nullptr);
    // 20 bytes in the entry: 19 digits and the terminator.
    edit->selectAll();
    QTest::keyClicks(edit, "12345678901234567890123");
    EXPECT_EQ(edit->text(), QStringLiteral("1234567890123456789"));
}

TEST(SwipePageLayout, IntervalsHaveNoLimits)
{
    SwipePage page;
    for (const char *name : {"seSameCard", "seDiffCard"}) {
        auto *spin = page.findChild<QSpinBox *>(name);
        ASSERT_NE(spin, nullptr) << name;
        EXPECT_EQ(spin->minimum(), INT_MIN) << name;
        EXPECT_EQ(spin->maximum(), INT_MAX) << name;
        EXPECT_EQ(spin->singleStep(), 1) << name;
        // Negative intervals reach the terminal as typed.
        spin->selectAll();
        QTest::keyClicks(spin, "-150");
        EXPECT_EQ(spin->value(), -150) << name;
    }
}

TEST(TimeSlotPageLayout, OneDefaultSlotAndWholeRowSelection)
{
    TimeSlotPage page;
    auto *lv1 = page.findChild<QTreeWidget *>("lv1");
    ASSERT_NE(lv1, nullptr);
    ASSERT_EQ(lv1->topLevelItemCount(), 1);
    QStringList row;
    for (int column = 0; column < lv1->columnCount(); ++column)
        row << lv1->topLevelItem(0)->text(column);
    EXPECT_EQ(row, QStringList({"08:00", "12:00", "0", "0", "0"}));
    EXPECT_EQ(lv1->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(lv1->selectionMode(), QAbstractItemView::SingleSelection);
    // The slot table starts without a selected row, so Edit and Delete ask
    // for one first.
    EXPECT_TRUE(lv1->selectedItems().isEmpty());
}

// The begin and end time take HH:MM with an optional first hour digit; the
// colon stays in the text and empty places show "_".
struct TimeTyping {
    const char *typed;
    const char *display;
    bool complete;
};

TEST(EditDialogLayout, TimeFieldsTakeHoursAndMinutes)
{
    const TimeTyping cases[] = {
        {"", "__:__", false},      {"0830", "08:30", true}, {"1245", "12:45", true},
        {"ab", "__:__", false},    {"123456", "12:34", true}, // at most five characters
        {"12", "12:__", false},    {"_830", "_8:30", true},   // first hour digit left out
    };
    for (const char *name : {"medtBegTime", "medtEndTime"}) {
        for (const TimeTyping &t : cases) {
            TfrmEdit dialog;
            auto *edit = dialog.findChild<QLineEdit *>(name);
            ASSERT_NE(edit, nullptr) << name;
            EXPECT_EQ(edit->maxLength(), 5);
            edit->setFocus();
            edit->home(false);
            QTest::keyClicks(edit, t.typed);
            EXPECT_EQ(edit->displayText(), QString::fromUtf8(t.display)) << name << " typed " << t.typed;
            EXPECT_EQ(edit->hasAcceptableInput(), t.complete) << name << " typed " << t.typed;
        }
    }
}

TEST(EditDialogLayout, CancelClosesWithTheCancelResult)
{
    TfrmEdit dialog;
    dialog.open();
    ASSERT_TRUE(dialog.isVisible());
    auto *cancel = dialog.findChild<QPushButton *>("btn2");
    ASSERT_NE(cancel, nullptr);
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

// ---------------------------------------------------------------------------
// Places the operator finds things in: the model choice top left and the
// note with the read and write buttons along the bottom of "刷卡设置"; the
// slot table above the panel with the time-slot buttons and switches; the
// work modes of the editor in two columns, 0 to 3 left and 4 to 7 right.

QRect placeOf(QWidget *host, const char *name)
{
    auto *widget = host->findChild<QWidget *>(QLatin1String(name));
    if (!widget)
        return {};
    return {widget->mapTo(host, QPoint(0, 0)), widget->size()};
}

std::unique_ptr<QWidget> shownAtPageSize(Host which)
{
    auto host = makeHost(which);
    if (which != Host::Editor)
        host->resize(780, 460);
    host->show();
    if (!QTest::qWaitForWindowExposed(host.get()))
        return nullptr;
    return host;
}

TEST(PagePlaces, SwipePageModelTopLeftNoteAndButtonsAtTheBottom)
{
    const auto page = shownAtPageSize(Host::Swipe);
    ASSERT_NE(page, nullptr);
    const QRect model = placeOf(page.get(), "RadioGroup1");
    for (const char *name : {"GroupBox13", "grp2", "grp3", "grp4", "Memo2", "btnGet", "btnSet"}) {
        const QRect other = placeOf(page.get(), name);
        ASSERT_TRUE(other.isValid()) << name;
        EXPECT_TRUE(other.left() >= model.right() || other.top() >= model.bottom()) << name;
    }
    const QRect note = placeOf(page.get(), "Memo2");
    EXPECT_GE(note.bottom(), page->height() - 20);
    for (const char *group : {"grp2", "grp3", "grp4"})
        EXPECT_GT(note.top(), placeOf(page.get(), group).bottom()) << group;
    for (const char *name : {"btnGet", "btnSet"}) {
        const QRect button = placeOf(page.get(), name);
        EXPECT_TRUE(button.top() >= note.top() && button.bottom() <= note.bottom()) << name << " beside the note";
        EXPECT_GT(button.left(), note.right()) << name;
    }
}

TEST(PagePlaces, SlotTableAboveItsButtons)
{
    const auto page = shownAtPageSize(Host::TimeSlot);
    ASSERT_NE(page, nullptr);
    const QRect table = placeOf(page.get(), "lv1");
    const QRect group = placeOf(page.get(), "GroupBox11");
    EXPECT_TRUE(group.contains(table));
    for (const char *name :
         {"btnAdd", "btnEdit", "btnDelete", "Button29", "Button30", "cbRunInTimeMode", "cbAllowOutOfTime"}) {
        const QRect below = placeOf(page.get(), name);
        ASSERT_TRUE(below.isValid()) << name;
        EXPECT_GT(below.top(), table.bottom()) << name;
        EXPECT_TRUE(group.contains(below)) << name;
    }
}

TEST(PagePlaces, EditorModesInTwoColumns)
{
    const auto dialog = shownAtPageSize(Host::Editor);
    ASSERT_NE(dialog, nullptr);
    for (int row = 0; row < 4; ++row) {
        const std::string left = "rgType_" + std::to_string(row);
        const std::string right = "rgType_" + std::to_string(row + 4);
        const QRect l = placeOf(dialog.get(), left.c_str());
        const QRect r = placeOf(dialog.get(), right.c_str());
        EXPECT_EQ(l.top(), r.top()) << left << " / " << right;
        EXPECT_LT(l.right(), r.left()) << left << " / " << right;
        if (row > 0)
            EXPECT_GT(l.top(), placeOf(dialog.get(), ("rgType_" + std::to_string(row - 1)).c_str()).top());
    }
}

// ---------------------------------------------------------------------------
// Each page gets about 780 x 460 pixels of the main window in the page
// control's font ("宋体", 13 pixels); the editor is a fixed-size dialog.
// Nothing may need more room than that, and no caption may be squeezed.

class FitTest : public ::testing::TestWithParam<Host>
{
};

TEST_P(FitTest, FitsItsPlaceWithoutCuttingCaptions)
{
    const auto host = makeHost(GetParam());
    const QSize room = GetParam() == Host::Editor ? QSize(780, 560) : QSize(780, 460);
    if (GetParam() != Host::Editor) {
        QFont font(QStringLiteral("宋体"));
        font.setPixelSize(13);
        host->setFont(font);
        host->resize(room);
    }
    host->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get()));

    const QSize needed = host->minimumSizeHint();
    EXPECT_LE(needed.width(), room.width());
    EXPECT_LE(needed.height(), room.height());
    EXPECT_LE(host->width(), room.width());
    EXPECT_LE(host->height(), room.height());

    const QRect area = host->rect();
    for (QWidget *child : host->findChildren<QWidget *>()) {
        if (!child->isVisibleTo(host.get()) || child->objectName().isEmpty()
            || child->objectName().startsWith(QLatin1String("qt_")))
            continue;
        const QRect placed(child->mapTo(host.get(), QPoint(0, 0)), child->size());
        EXPECT_TRUE(area.contains(placed)) << child->objectName().toStdString() << " lies outside the page";
        if (qobject_cast<QAbstractButton *>(child) || qobject_cast<QLabel *>(child)
            || qobject_cast<QGroupBox *>(child)) {
            const QSize least = child->minimumSizeHint();
            EXPECT_GE(child->width(), least.width()) << child->objectName().toStdString() << " caption cut";
            EXPECT_GE(child->height(), least.height()) << child->objectName().toStdString() << " caption cut";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Pages, FitTest,
                         ::testing::Values(Host::Swipe, Host::Records, Host::NameList, Host::TimeSlot, Host::Editor),
                         [](const ::testing::TestParamInfo<Host> &info) { return std::string(hostName(info.param)); });

} // namespace
