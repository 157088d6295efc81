#pragma once

#include <QAccessible>
#include <QList>
#include <QRect>
#include <QString>

#include <optional>

class QWidget;

namespace rubbly {

// Our widgets paint their own text, so Qt would offer them to a screen reader as unnamed fillers.
// These helpers give them roles and names; the interfaces behind them are made by one factory that
// installAccessibility() registers (once; later calls do nothing).
void installAccessibility();

// `widget` is announced with `role` (a label, a list, a list item, an alert…) and its accessible name.
void setAccessibleRole(QWidget* widget, QAccessible::Role role);

// A progress bar's value, from 0 to `maximum`; a screen reader hears it change.
void setAccessibleValue(QWidget* widget, double value, double maximum);

// Announces a change of `widget`'s name or text as it happens (a size, a failure line): Qt 6.4 has no
// live regions, so the change is sent as one, and an alert's appearance as an alert.
void announceChange(QWidget* widget);

// What a row of a widget that paints its rows itself tells assistive technology.
struct AccessibleRow {
    QString name;
    QAccessible::Role role = QAccessible::ListItem;
    std::optional<bool> checked;  // set for a row that is a check box
    std::optional<bool> expanded; // set for a row that folds
    QRect rect;                   // in the widget's coordinates
    bool focused = false;
};

// Implemented by a widget that paints its rows; it is announced as a list of them.
class AccessibleRows {
public:
    virtual ~AccessibleRows() = default;
    virtual QList<AccessibleRow> accessibleRows() const = 0;
};

// The rows of `widget` (an AccessibleRows) were laid out anew: the old row objects go.
void announceRowsChanged(QWidget* widget);

} // namespace rubbly
