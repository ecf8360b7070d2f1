#include "resources/dialog_builder.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyledItemDelegate>
#include <algorithm>

#include "resources/ip_address_edit.h"

namespace korvane::ui {

namespace {

// The dialogs were laid out for an 8-point face whose base units are 6 x 13
// pixels at 96 dpi; DejaVu Sans Condensed at 8 points gives the same, so the
// pages keep their classic size. Without it the desktop's face at 8 points is
// used and the windows grow with its base units.
constexpr int kDialogPointSize = 8;
constexpr const char* kPreferredFamily = "DejaVu Sans Condensed";

// A list box with tab stops puts them 32 dialog units apart unless told otherwise.
constexpr int kTabStopDialogUnits = 32;

// Draws a line's tab-separated fields in the columns tabStopColumns gives, as
// a list box with tab stops does; the item text itself keeps the tabs.
class TabStopDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        const QStringList fields = opt.text.split(QLatin1Char('\t'));
        opt.text.clear();
        const auto* list = qobject_cast<const QListWidget*>(opt.widget);
        if (list == nullptr) return QStyledItemDelegate::paint(painter, option, index);
        list->style()->drawControl(QStyle::CE_ItemViewItem, &opt, painter, list);

        const std::vector<int> edges = tabStopColumns(list, static_cast<int>(fields.size()));
        const bool selected = opt.state & QStyle::State_Selected;
        const QPalette::ColorGroup group =
            opt.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
        painter->save();
        painter->setFont(opt.font);
        painter->setPen(
            opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
        for (qsizetype k = 0; k < fields.size(); ++k) {
            // Each field is clipped to its own column rather than running into the next.
            const QRect column(opt.rect.left() + edges[k], opt.rect.top(), edges[k + 1] - edges[k],
                               opt.rect.height());
            painter->drawText(column, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                              fields[k]);
        }
        painter->restore();
    }
};

QLabel* makeStatic(const DialogItem& item, QWidget* dialog) {
    auto* label = new QLabel(dialog);
    label->setTextFormat(Qt::PlainText);
    label->setText(QString::fromUtf8(item.text ? item.text : ""));
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop;
    if (item.style & kRightAligned) align = Qt::AlignRight | Qt::AlignVCenter;
    if (item.style & kCentered) align = Qt::AlignHCenter | Qt::AlignTop;
    label->setAlignment(align);
    if (item.style & kSunken) {
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setLineWidth(1);
    }
    return label;
}

// A group of radio buttons as a Windows dialog keeps it: only the checked
// button (the first, while none is) is a Tab stop, so Tab lands on the choice
// in force; the arrow keys move to the next or previous enabled button of the
// group, round from the last to the first, and check it as a click would.
class RadioGroup : public QButtonGroup {
public:
    explicit RadioGroup(QObject* parent) : QButtonGroup(parent) {
        setExclusive(true);
        connect(this, &QButtonGroup::buttonToggled, this, &RadioGroup::placeTabStop);
    }

    void add(QAbstractButton* button) {
        addButton(button);
        button->installEventFilter(this);
        placeTabStop();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
        int step = 0;
        if (key->key() == Qt::Key_Down || key->key() == Qt::Key_Right) step = 1;
        if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Left) step = -1;
        const QList<QAbstractButton*> group = buttons();
        const auto from = group.indexOf(qobject_cast<QAbstractButton*>(watched));
        if (step == 0 || from < 0) return false;
        const auto count = group.size();
        for (qsizetype k = 1; k < count; ++k) {
            QAbstractButton* next = group[((from + step * k) % count + count) % count];
            if (!next->isEnabled() || next->isHidden()) continue;
            next->setFocus(Qt::OtherFocusReason);
            if (!next->isChecked()) next->click();
            break;
        }
        return true;
    }

private:
    void placeTabStop() {
        const QList<QAbstractButton*> group = buttons();
        QAbstractButton* stop = checkedButton();
        if (stop == nullptr && !group.isEmpty()) stop = group.first();
        for (QAbstractButton* button : group)
            button->setFocusPolicy(button == stop ? Qt::StrongFocus : Qt::ClickFocus);
    }
};

QWidget* makeControl(const DialogItem& item, QWidget* dialog, RadioGroup*& radioGroup) {
    const QString text = QString::fromUtf8(item.text ? item.text : "");
    switch (item.kind) {
        case ControlKind::GroupBox:
            // No layout: the controls inside are the dialog's children, placed
            // by their own rectangles on top of the frame.
            return new QGroupBox(text, dialog);
        case ControlKind::Static:
            return makeStatic(item, dialog);
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(text, dialog);
            if (item.style & kRightAligned) edit->setAlignment(Qt::AlignRight);
            return edit;
        }
        case ControlKind::PushButton:
        case ControlKind::DefaultButton: {
            auto* button = new QPushButton(text, dialog);
            const bool isDefault = item.kind == ControlKind::DefaultButton;
            button->setDefault(isDefault);
            button->setAutoDefault(isDefault);
            return button;
        }
        case ControlKind::CheckBox:
            return new QCheckBox(text, dialog);
        case ControlKind::RadioButton: {
            auto* radio = new QRadioButton(text, dialog);
            // All radio buttons share the dialog as parent, so Qt's
            // same-parent exclusivity would join separate groups; a button
            // group per group start keeps them apart.
            if ((item.style & kGroupStart) || radioGroup == nullptr)
                radioGroup = new RadioGroup(dialog);
            radio->setAutoExclusive(false);
            radioGroup->add(radio);
            return radio;
        }
        case ControlKind::ComboEditable:
        case ControlKind::ComboList: {
            auto* combo = new QComboBox(dialog);
            combo->setEditable(item.kind == ControlKind::ComboEditable);
            if (combo->isEditable()) {
                // The typed text is the operator's own value: it neither joins
                // the list nor gets completed from it.
                combo->setInsertPolicy(QComboBox::NoInsert);
                combo->setCompleter(nullptr);
            }
            return combo;
        }
        case ControlKind::ListBox: {
            auto* list = new QListWidget(dialog);
            if (item.style & kSorted) list->setSortingEnabled(true);
            if (item.style & kTabStops) list->setItemDelegate(new TabStopDelegate(list));
            return list;
        }
        case ControlKind::Slider: {
            auto* slider =
                new QSlider(item.style & kVertical ? Qt::Vertical : Qt::Horizontal, dialog);
            if (item.style & kTicksBoth) slider->setTickPosition(QSlider::TicksBothSides);
            return slider;
        }
        case ControlKind::IpAddress:
            return new IpAddressEdit(dialog);
    }
    return nullptr;
}

}  // namespace

QFont dialogFont() {
    QFont font = QApplication::font();
    if (QFontDatabase::hasFamily(QString::fromLatin1(kPreferredFamily))) {
        font.setFamily(QString::fromLatin1(kPreferredFamily));
    }
    font.setPointSize(kDialogPointSize);
    return font;
}

BaseUnits baseUnitsOf(const QWidget* dialog) {
    // Windows: the average width of the 52 letters, rounded to the nearest
    // pixel, and the font's cell height.
    const QFontMetrics metrics(dialog->font());
    const int width = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return BaseUnits{(width / 26 + 1) / 2, metrics.height()};
}

QRect toPixels(const BaseUnits& u, int x, int y, int w, int h) {
    return QRect(x * u.x / 4, y * u.y / 8, w * u.x / 4, h * u.y / 8);
}

void buildDialog(const DialogTemplate& dialogTemplate, QWidget* dialog) {
    dialog->setFont(dialogFont());
    const BaseUnits units = baseUnitsOf(dialog);
    RadioGroup* radioGroup = nullptr;
    for (const DialogItem& item : dialogTemplate.items) {
        QWidget* widget = makeControl(item, dialog, radioGroup);
        if (widget == nullptr) continue;
        if (item.id != kNoId) widget->setObjectName(controlName(item.id));
        if (item.style & kDisabled) widget->setEnabled(false);
        QRect rect = toPixels(units, item.x, item.y, item.w, item.h);
        // A combo box's template height is that of its dropped-down list.
        if (qobject_cast<QComboBox*>(widget)) rect.setHeight(widget->sizeHint().height());
        widget->setGeometry(rect);
    }
    const QRect size = toPixels(units, 0, 0, dialogTemplate.w, dialogTemplate.h);
    dialog->setFixedSize(size.size());
    if (dialogTemplate.caption != nullptr && dialogTemplate.caption[0] != '\0') {
        dialog->setWindowTitle(QString::fromUtf8(dialogTemplate.caption));
    }
}

std::vector<int> tabStopColumns(const QListWidget* list, int fields) {
    const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
    // The viewport, not the list: a vertical scroll bar takes its width away.
    const int right = list->viewport()->width() - margin;
    const int columns = std::max(fields, 1);
    const int tabStop = kTabStopDialogUnits * baseUnitsOf(list).x / 4;
    const int step = std::max(0, std::min(tabStop, (right - margin) / columns));
    std::vector<int> edges;
    for (int k = 0; k < columns; ++k) edges.push_back(margin + k * step);
    edges.push_back(std::max(right, edges.back()));
    return edges;
}

QString controlName(int id) { return QStringLiteral("id_%1").arg(id); }

}  // namespace korvane::ui
