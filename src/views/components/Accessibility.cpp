#include "Accessibility.h"

#include "GeekWidgets.h"

#include <QAccessibleWidget>
#include <QPointer>
#include <QWidget>

#include <vector>

namespace rubbly {

namespace {

constexpr const char* kRole = "rubblyAccessibleRole";
constexpr const char* kValue = "rubblyAccessibleValue";
constexpr const char* kMaximum = "rubblyAccessibleMaximum";

// A painted text: its name is the text unless someone named it on purpose (a header says more).
class TextAccessible final : public QAccessibleWidget {
public:
    TextAccessible(QWidget* widget, QAccessible::Role role)
        : QAccessibleWidget(widget, role)
    {
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            if (const auto* label = qobject_cast<const GeekText*>(widget()))
                return label->text();
        return QAccessibleWidget::text(t);
    }
};

class ProgressAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit ProgressAccessible(QWidget* widget)
        : QAccessibleWidget(widget, QAccessible::ProgressBar)
    {
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ValueInterface ? static_cast<QAccessibleValueInterface*>(this)
                                                   : QAccessibleWidget::interface_cast(type);
    }
    QVariant currentValue() const override { return widget()->property(kValue); }
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return widget()->property(kMaximum); }
    QVariant minimumValue() const override { return 0.0; }
    QVariant minimumStepSize() const override { return 0.0; }
};

class RowsAccessible;

// One painted row; it lives as long as its list's current layout.
class RowAccessible final : public QAccessibleInterface {
public:
    RowAccessible(RowsAccessible* list, int index)
        : m_list(list)
        , m_index(index)
    {
    }
    bool isValid() const override;
    QObject* object() const override { return nullptr; }
    QWindow* window() const override;
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override { return t == QAccessible::Name ? row().name : QString(); }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override;
    QAccessible::Role role() const override { return row().role; }
    QAccessible::State state() const override;

private:
    AccessibleRow row() const;
    RowsAccessible* m_list;
    int m_index;
};

class RowsAccessible final : public QAccessibleWidget {
public:
    RowsAccessible(QWidget* widget, AccessibleRows* rows)
        : QAccessibleWidget(widget, QAccessible::List)
        , m_rows(rows)
    {
    }
    ~RowsAccessible() override { reset(); }

    QList<AccessibleRow> rows() const { return m_widget ? m_rows->accessibleRows() : QList<AccessibleRow>(); }
    int childCount() const override { return static_cast<int>(rows().size()); }
    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index >= childCount())
            return nullptr;
        if (m_children.size() <= static_cast<std::size_t>(index))
            m_children.resize(static_cast<std::size_t>(index) + 1, 0);
        QAccessible::Id& id = m_children[static_cast<std::size_t>(index)];
        if (!id)
            id = QAccessible::registerAccessibleInterface(new RowAccessible(const_cast<RowsAccessible*>(this), index));
        return QAccessible::accessibleInterface(id);
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        for (std::size_t i = 0; i < m_children.size(); ++i)
            if (m_children[i] && QAccessible::accessibleInterface(m_children[i]) == child)
                return static_cast<int>(i);
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        const QPoint at = widget()->mapFromGlobal(QPoint(x, y));
        const QList<AccessibleRow> all = rows();
        for (int i = 0; i < all.size(); ++i)
            if (all[i].rect.contains(at))
                return child(i);
        return nullptr;
    }
    QAccessibleInterface* focusChild() const override
    {
        const QList<AccessibleRow> all = rows();
        for (int i = 0; i < all.size(); ++i)
            if (all[i].focused)
                return child(i);
        return nullptr;
    }
    void reset()
    {
        for (QAccessible::Id id : m_children)
            if (id)
                QAccessible::deleteAccessibleInterface(id);
        m_children.clear();
    }

private:
    friend class RowAccessible;
    QPointer<QWidget> m_widget{widget()};
    AccessibleRows* m_rows;
    mutable std::vector<QAccessible::Id> m_children;
};

bool RowAccessible::isValid() const
{
    return m_list->isValid() && m_index < m_list->childCount();
}

QWindow* RowAccessible::window() const
{
    return m_list->window();
}

QAccessibleInterface* RowAccessible::parent() const
{
    return m_list;
}

AccessibleRow RowAccessible::row() const
{
    return m_list->rows().value(m_index);
}

QRect RowAccessible::rect() const
{
    const QWidget* widget = m_list->widget();
    const QRect box = row().rect;
    return QRect(widget->mapToGlobal(box.topLeft()), box.size());
}

QAccessible::State RowAccessible::state() const
{
    const AccessibleRow r = row();
    QAccessible::State state;
    state.focusable = r.role != QAccessible::StaticText;
    state.focused = r.focused;
    if (r.checked) {
        state.checkable = true;
        state.checked = *r.checked;
    }
    if (r.expanded) {
        state.expandable = true;
        state.expanded = *r.expanded;
        state.collapsed = !*r.expanded;
    }
    return state;
}

QAccessibleInterface* factory(const QString&, QObject* object)
{
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget)
        return nullptr;
    if (auto* rows = dynamic_cast<AccessibleRows*>(widget))
        return new RowsAccessible(widget, rows);
    const QVariant role = widget->property(kRole);
    if (!role.isValid())
        return nullptr;
    const auto r = static_cast<QAccessible::Role>(role.toInt());
    if (r == QAccessible::ProgressBar)
        return new ProgressAccessible(widget);
    return new TextAccessible(widget, r);
}

} // namespace

void installAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    Q_UNUSED(installed);
}

void setAccessibleRole(QWidget* widget, QAccessible::Role role)
{
    widget->setProperty(kRole, static_cast<int>(role));
}

void setAccessibleValue(QWidget* widget, double value, double maximum)
{
    setAccessibleRole(widget, QAccessible::ProgressBar);
    if (widget->property(kValue) == value && widget->property(kMaximum) == maximum)
        return;
    widget->setProperty(kValue, value);
    widget->setProperty(kMaximum, maximum);
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(widget, value);
        QAccessible::updateAccessibility(&event);
    }
}

void announceChange(QWidget* widget)
{
    if (!QAccessible::isActive() || !widget->isVisible())
        return;
    QAccessibleEvent named(widget, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&named);
    if (widget->property(kRole).toInt() == QAccessible::AlertMessage) {
        QAccessibleEvent alert(widget, QAccessible::Alert);
        QAccessible::updateAccessibility(&alert);
    }
}

void announceRowsChanged(QWidget* widget)
{
    if (!QAccessible::isActive())
        return;
    if (auto* list = dynamic_cast<RowsAccessible*>(QAccessible::queryAccessibleInterface(widget)))
        list->reset();
    QAccessibleTableModelChangeEvent event(widget, QAccessibleTableModelChangeEvent::ModelReset);
    QAccessible::updateAccessibility(&event);
}

} // namespace rubbly
