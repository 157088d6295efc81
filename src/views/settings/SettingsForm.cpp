#include "SettingsForm.h"

#include "GeekFonts.h"
#include "GeekTheme.h"
#include "Painting.h"
#include "Symbols.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QVBoxLayout>

namespace rubbly {

namespace {

QColor accent(const QWidget* widget)
{
    return widget->palette().color(QPalette::Highlight);
}

QColor groupFill(const QWidget* widget)
{
    return GeekTheme::shared().groupFill.resolve(isDarkScheme(widget));
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
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void SegmentedPicker::setCurrentIndex(int index)
{
    m_current = index;
    update();
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
        if (segment(i).contains(event->position()) && i != m_current) {
            setCurrentIndex(i);
            Q_EMIT activated(i);
        }
    }
}

void SegmentedPicker::keyPressEvent(QKeyEvent* event)
{
    const int step = event->key() == Qt::Key_Left ? -1 : event->key() == Qt::Key_Right ? 1 : 0;
    if (step == 0)
        return QWidget::keyPressEvent(event);
    const int next = std::clamp(m_current + step, 0, static_cast<int>(m_options.size()) - 1);
    if (next != m_current) {
        setCurrentIndex(next);
        Q_EMIT activated(next);
    }
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
    connect(this, &QComboBox::activated, this, [this](int index) { Q_EMIT picked(itemData(index)); });
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
