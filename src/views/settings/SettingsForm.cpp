#include "SettingsForm.h"

#include "GeekFonts.h"
#include "GeekTheme.h"
#include "Painting.h"
#include "Symbols.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace rubbly {

namespace {

QColor accent(const QWidget* widget)
{
    return Tint::accent(4).resolve(widget);
}

QColor groupFill(const QWidget* widget)
{
    return GeekTheme::shared().groupFill.resolve(isDarkScheme(widget));
}

// The switch as a check box: screen readers announce its state, and both of the actions a check box
// offers work. "Toggle" changes the state without a click, as a screen reader or voice control does.
class SwitchAccessible final : public QAccessibleWidget {
public:
    explicit SwitchAccessible(ToggleSwitch* toggle)
        : QAccessibleWidget(toggle, QAccessible::CheckBox)
    {
    }
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = toggle()->isChecked();
        return state;
    }
    QStringList actionNames() const override
    {
        QStringList names;
        if (toggle()->isEnabled())
            names << toggleAction() << pressAction();
        return names + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& name) override
    {
        if (name == toggleAction() && toggle()->isEnabled())
            toggle()->toggle();
        else if (name == pressAction() && toggle()->isEnabled())
            toggle()->click();
        else
            QAccessibleWidget::doAction(name);
    }
    QStringList keyBindingsForAction(const QString& name) const override
    {
        if (name == toggleAction() || name == pressAction())
            return {QKeySequence(Qt::Key_Space).toString(QKeySequence::NativeText)};
        return QAccessibleWidget::keyBindingsForAction(name);
    }

private:
    ToggleSwitch* toggle() const { return static_cast<ToggleSwitch*>(widget()); }
};

// One segment of a picker, as a radio button. It has no object of its own: it asks the picker.
class SegmentAccessible final : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    SegmentAccessible(SegmentedPicker* picker, int index)
        : m_picker(picker)
        , m_index(index)
    {
    }
    bool isValid() const override { return m_picker && m_index < m_picker->count(); }
    QObject* object() const override { return nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_picker.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessible::Role role() const override { return QAccessible::RadioButton; }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name && isValid() ? m_picker->title(m_index) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect box = m_picker->segmentRect(m_index);
        return {m_picker->mapToGlobal(box.topLeft()), box.size()};
    }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        state.checkable = true;
        state.checked = m_picker->currentIndex() == m_index;
        state.disabled = !m_picker->isEnabled();
        state.invisible = !m_picker->isVisible();
        state.focusable = true;
        state.focused = state.checked && m_picker->hasFocus();
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }
    QStringList actionNames() const override
    {
        if (!isValid() || !m_picker->isEnabled())
            return {};
        return {toggleAction(), pressAction()};
    }
    void doAction(const QString& name) override
    {
        if ((name == toggleAction() || name == pressAction()) && isValid() && m_picker->isEnabled())
            m_picker->choose(m_index);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<SegmentedPicker> m_picker;
    int m_index;
};

// The picker as a group of its segments. The segments' interfaces are made on first use and live
// as long as the picker's.
class SegmentedPickerAccessible final : public QAccessibleWidget {
public:
    explicit SegmentedPickerAccessible(SegmentedPicker* picker)
        : QAccessibleWidget(picker, QAccessible::Grouping)
    {
    }
    ~SegmentedPickerAccessible() override
    {
        for (QAccessible::Id id : std::as_const(m_segments))
            QAccessible::deleteAccessibleInterface(id);
    }
    int childCount() const override { return picker()->count(); }
    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index >= picker()->count())
            return nullptr;
        if (const QAccessible::Id id = m_segments.value(index))
            return QAccessible::accessibleInterface(id);
        auto* segment = new SegmentAccessible(picker(), index);
        m_segments.insert(index, QAccessible::registerAccessibleInterface(segment));
        return segment;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        for (auto it = m_segments.cbegin(); it != m_segments.cend(); ++it) {
            if (QAccessible::accessibleInterface(it.value()) == child)
                return it.key();
        }
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        for (int i = 0; i < picker()->count(); ++i) {
            if (QAccessibleInterface* segment = child(i); segment->rect().contains(x, y))
                return segment;
        }
        return nullptr;
    }
    QAccessibleInterface* focusChild() const override
    {
        return picker()->hasFocus() ? child(picker()->currentIndex()) : nullptr;
    }

private:
    SegmentedPicker* picker() const { return static_cast<SegmentedPicker*>(widget()); }
    mutable QHash<int, QAccessible::Id> m_segments;
};

QAccessibleInterface* formControlAccessible(const QString& className, QObject* object)
{
    if (className == QLatin1String(ToggleSwitch::staticMetaObject.className()))
        return new SwitchAccessible(static_cast<ToggleSwitch*>(object));
    if (className == QLatin1String(SegmentedPicker::staticMetaObject.className()))
        return new SegmentedPickerAccessible(static_cast<SegmentedPicker*>(object));
    return nullptr;
}

void installAccessibleFactory()
{
    [[maybe_unused]] static const bool installed = [] {
        QAccessible::installFactory(formControlAccessible);
        return true;
    }();
}

} // namespace

Divider::Divider(QWidget* parent)
    : QWidget(parent)
{
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void Divider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Tint::border().resolve(this));
}

GeekText* captionText(const QString& text)
{
    auto* label = new GeekText(text, uiFont(11), Tint::secondary());
    label->setWordWrap(true);
    return label;
}

ToggleSwitch::ToggleSwitch(QWidget* parent)
    : PlainButton(parent)
    , m_knob(this)
{
    installAccessibleFactory();
    setCheckable(true);
    setFixedSize(34, 20);
    setFocusPolicy(Qt::StrongFocus);
}

void ToggleSwitch::checkStateSet()
{
    m_knob.jumpTo(isChecked() ? 1 : 0);
}

void ToggleSwitch::nextCheckState()
{
    setChecked(!isChecked());
    m_knob.jumpTo(isChecked() ? 0 : 1);
    m_knob.animateTo(isChecked() ? 1 : 0, Curve::easeInOut(0.15));
}

void ToggleSwitch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal t = m_knob.value();
    const QRectF track = QRectF(rect()).adjusted(1, 2, -1, -2);
    const QColor off = GeekTheme::shared().switchOff.resolve(isDarkScheme(this));
    const QColor on = accent(this);
    QColor fill = blend(off, on, t);
    if (!isEnabled())
        fill.setAlphaF(fill.alphaF() * 0.45f);
    paintCard(painter, track, track.height() / 2, fill);
    const qreal knob = track.height() - 4;
    const QRectF circle(track.left() + 2 + (track.width() - knob - 4) * t, track.top() + 2, knob, knob);
    painter.setPen(Qt::NoPen);
    painter.setBrush(isEnabled() ? GeekTheme::shared().switchKnob : GeekTheme::shared().switchKnobDisabled);
    painter.drawEllipse(circle);
    paintFocusRing(painter, QRectF(rect()), track.height() / 2 + 1);
}

SegmentedPicker::SegmentedPicker(QList<Option> options, QWidget* parent)
    : QWidget(parent)
    , m_options(std::move(options))
{
    installAccessibleFactory();
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void SegmentedPicker::setCurrentIndex(int index)
{
    if (index < -1 || index >= count() || index == m_current)
        return;
    const int previous = m_current;
    m_current = index;
    update();
    // The segments' checked states changed: a screen reader says so.
    for (int segment : {previous, index}) {
        if (segment < 0)
            continue;
        QAccessible::State changed;
        changed.checked = true;
        QAccessibleStateChangeEvent event(this, changed);
        event.setChild(segment);
        QAccessible::updateAccessibility(&event);
    }
    Q_EMIT currentIndexChanged(index);
}

void SegmentedPicker::choose(int index)
{
    if (index < 0 || index >= count() || index == m_current)
        return;
    setCurrentIndex(index);
    Q_EMIT activated(index);
}

QSize SegmentedPicker::sizeHint() const
{
    const QFontMetricsF metrics(uiFont(12));
    qreal widest = 0;
    for (const Option& option : m_options)
        widest = std::max(widest, metrics.horizontalAdvance(option.title));
    return {static_cast<int>((widest + 12 + 4 + 20) * m_options.size() + 4), 24};
}

QRectF SegmentedPicker::segment(int index) const
{
    const qreal w = (width() - 4.0) / m_options.size();
    return {2 + w * index, 2, w, height() - 4.0};
}

void SegmentedPicker::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool dark = isDarkScheme(this);
    paintCard(painter, QRectF(rect()), 6, GeekTheme::shared().controlFill.resolve(dark));
    for (int i = 0; i < m_options.size(); ++i) {
        const QRectF box = segment(i);
        const bool selected = i == m_current;
        if (selected)
            paintCard(painter, box, 5, GeekTheme::shared().selectedSegment.resolve(dark), Tint::border().resolve(dark),
                      0.5);
        const QColor text = palette().color(QPalette::WindowText);
        const QFont font = uiFont(12, selected ? Weight::Medium : Weight::Regular);
        const qreal titleWidth = QFontMetricsF(font).horizontalAdvance(m_options[i].title);
        const qreal x = box.center().x() - (12 + 4 + titleWidth) / 2;
        paintSymbol(painter, QRectF(x, box.top(), 12, box.height()), m_options[i].symbol, 12, text);
        painter.setFont(font);
        painter.setPen(text);
        painter.drawText(QRectF(x + 16, box.top(), titleWidth + 1, box.height()), Qt::AlignLeft | Qt::AlignVCenter,
                         m_options[i].title);
    }
    if (hasFocus())
        paintCard(painter, QRectF(rect()), 6, QColor(), accent(this), 1);
}

void SegmentedPicker::mousePressEvent(QMouseEvent* event)
{
    for (int i = 0; i < m_options.size(); ++i) {
        if (segment(i).contains(event->position()))
            choose(i);
    }
}

void SegmentedPicker::keyPressEvent(QKeyEvent* event)
{
    const int step = event->key() == Qt::Key_Left ? -1 : event->key() == Qt::Key_Right ? 1 : 0;
    if (step == 0)
        return QWidget::keyPressEvent(event);
    choose(std::clamp(m_current + step, 0, count() - 1));
}

ChoicePicker::ChoicePicker(QList<std::pair<QString, QVariant>> choices, QWidget* parent)
    : QComboBox(parent)
{
    for (const auto& [text, value] : choices)
        addItem(text, value);
    setFont(uiFont(12));
    setFocusPolicy(Qt::StrongFocus);
    // One width for every picker, so their left edges line up down a form; wide enough for the
    // longest choice of either language.
    setFixedSize(sizeHint());
    // A screen reader picks from the list (open or not: it sees the list's rows either way) by selecting
    // a row, which leaves the list's current row where it was, and Qt takes no choice from that here.
    // The pointer and the keys move the current row with the selection, so a selection elsewhere is
    // that pick: take it, as a click would.
    connect(view()->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected) {
                if (selected.indexes().isEmpty())
                    return;
                const QModelIndex row = selected.indexes().constFirst();
                if (row == view()->currentIndex())
                    return;
                setCurrentIndex(row.row());
                if (view()->isVisible())
                    hidePopup();
                Q_EMIT activated(row.row());
            });
}

QSize ChoicePicker::sizeHint() const
{
    const QFontMetricsF metrics(uiFont(12));
    qreal widest = 0;
    for (int i = 0; i < count(); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(itemText(i)));
    return {std::max(120, static_cast<int>(std::ceil(10 + widest + 8 + 10 + 8))), 24};
}

void ChoicePicker::enterEvent(QEnterEvent* event)
{
    m_hovered = true;
    update();
    QComboBox::enterEvent(event);
}

void ChoicePicker::leaveEvent(QEvent* event)
{
    m_hovered = false;
    update();
    QComboBox::leaveEvent(event);
}

void ChoicePicker::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool dark = isDarkScheme(this);
    const GeekTheme& theme = GeekTheme::shared();
    const QColor fill = (m_hovered && isEnabled() ? theme.controlFillHover : theme.controlFill).resolve(dark);
    paintCard(painter, QRectF(rect()), 6, fill);
    QColor text = palette().color(QPalette::WindowText);
    if (!isEnabled())
        text.setAlphaF(0.45f);
    const QRectF box = QRectF(rect()).adjusted(10, 0, -8, 0);
    painter.setFont(uiFont(12));
    painter.setPen(text);
    painter.drawText(box.adjusted(0, 0, -(10 + 6), 0), Qt::AlignLeft | Qt::AlignVCenter, currentText());
    paintSymbol(painter, QRectF(box.right() - 10, 0, 10, height()), QStringLiteral("chevron.down"), 9,
                Tint::secondary().resolve(this));
    if (hasFocus())
        paintCard(painter, QRectF(rect()), 6, QColor(), accent(this), 1);
}

void ChoicePicker::setValue(const QVariant& value)
{
    const QSignalBlocker quiet(this);
    int found = -1;
    for (int i = 0; i < count(); ++i) {
        if (itemData(i) == value)
            found = i;
    }
    setCurrentIndex(found);
}

FormRow::FormRow(const QString& text, QWidget* control, QWidget* parent)
    : QWidget(parent)
    , m_text(text)
    , m_label(new GeekText(text, uiFont(13), Tint::primary()))
    , m_control(control)
    , m_layout(new QHBoxLayout(this))
{
    m_layout->setContentsMargins(12, 8, 12, 8);
    m_layout->setSpacing(12);
    m_label->setElideMode(Qt::ElideRight);
    m_layout->addWidget(m_label, 1);
    m_layout->addWidget(control, 0, Qt::AlignVCenter);
    control->setAccessibleName(text);
    // The row is an object of its own on the accessibility bus: a screen reader walking the window
    // object by object would otherwise meet a nameless filler before every setting.
    setAccessibleName(text);
    setMinimumHeight(36);
}

void FormRow::setIndent(int indent)
{
    m_layout->setContentsMargins(12 + indent, 8, 12, 8);
}

void FormRow::changeEvent(QEvent* event)
{
    // A disabled row dims its text with its control.
    if (event->type() == QEvent::EnabledChange)
        m_label->setTint(isEnabled() ? Tint::primary() : Tint::tertiary());
    QWidget::changeEvent(event);
}

// The rounded group behind a section's rows, with hairlines between them.
class FormSection::Group final : public QWidget {
public:
    explicit Group(QWidget* parent)
        : QWidget(parent)
        , m_rows(new QVBoxLayout(this))
    {
        m_rows->setContentsMargins(0, 0, 0, 0);
        m_rows->setSpacing(0);
    }
    QVBoxLayout* rows() const { return m_rows; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const bool dark = isDarkScheme(this);
        paintCard(painter, QRectF(rect()), 8, groupFill(this), Tint::border().resolve(dark), 1);
        // A hairline between visible rows; a note under a row (the shortcut's status) belongs to it.
        QWidget* previous = nullptr;
        for (int i = 0; i < m_rows->count(); ++i) {
            QWidget* row = m_rows->itemAt(i)->widget();
            if (!row || row->isHidden())
                continue;
            if (previous && qobject_cast<FormRow*>(row))
                painter.fillRect(QRectF(12, row->y(), width() - 24, 1), Tint::border().resolve(dark));
            previous = row;
        }
    }

private:
    QVBoxLayout* m_rows;
};

FormSection::FormSection(const QString& header, const QString& footer, QWidget* parent)
    : QWidget(parent)
    , m_header(header)
    , m_group(new Group(this))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    if (!header.isEmpty()) {
        // The caption font, as the footers: the group below carries the weight.
        auto* title = new GeekText(header, uiFont(11), Tint::secondary());
        title->setContentsMargins(4, 0, 0, 0);
        column->addWidget(title);
    }
    column->addWidget(m_group);
    if (!footer.isEmpty()) {
        GeekText* note = captionText(footer);
        column->addWidget(note);
    }
}

FormRow* FormSection::addRow(const QString& text, QWidget* control)
{
    auto* row = new FormRow(text, control, m_group);
    m_group->rows()->addWidget(row);
    return row;
}

void FormSection::addWidget(QWidget* widget)
{
    m_group->rows()->addWidget(widget);
}

FormPane::FormPane(QWidget* parent)
    : QWidget(parent)
    , m_sections(new QVBoxLayout(this))
{
    m_sections->setContentsMargins(20, 8, 20, 20);
    m_sections->setSpacing(18);
    m_sections->addStretch();
}

FormSection* FormPane::addSection(const QString& header, const QString& footer)
{
    auto* section = new FormSection(header, footer, this);
    m_sections->insertWidget(m_sections->count() - 1, section);
    return section;
}

} // namespace rubbly
