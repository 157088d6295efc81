#pragma once

#include "GeekWidgets.h"

#include <QComboBox>
#include <QWidget>

class QHBoxLayout;
class QVBoxLayout;

namespace rubbly {

// The settings window's controls and grouped form, drawn the same on every desktop and following the
// application palette: a section is a header above a rounded group of rows and a footer below.

// An on/off switch. Tab reaches it, Space flips it; its accessible name is its row's text. Assistive
// technology sees a check box with "Toggle" and "Press" actions.
class ToggleSwitch final : public PlainButton {
    Q_OBJECT
public:
    explicit ToggleSwitch(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {34, 20}; }

protected:
    void paintEvent(QPaintEvent*) override;
    void checkStateSet() override;
    void nextCheckState() override;

private:
    AnimatedValue m_knob;
};

// A row of segments, one selected; each shows a symbol and a title. Left and Right move the choice.
// Assistive technology sees a group of radio buttons, one per segment.
class SegmentedPicker final : public QWidget {
    Q_OBJECT
public:
    struct Option {
        QString title;
        QString symbol;
    };
    explicit SegmentedPicker(QList<Option> options, QWidget* parent = nullptr);
    int currentIndex() const { return m_current; }
    void setCurrentIndex(int index);
    QSize sizeHint() const override;
    int count() const { return static_cast<int>(m_options.size()); }
    QString title(int index) const { return m_options.value(index).title; }
    QRect segmentRect(int index) const { return segment(index).toAlignedRect(); }
    // The user's choice, from the pointer, the keys or assistive technology.
    void choose(int index);

Q_SIGNALS:
    // Every change of the selected segment, however it came.
    void currentIndexChanged(int index);
    // Only for the user's choices, not for setCurrentIndex().
    void activated(int index);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QRectF segment(int index) const;

    QList<Option> m_options;
    int m_current = -1;
};

// A pop-up picker of a few fixed values. A stored value that is not one of them shows no choice and
// is left alone until the user picks one.
// Drawn flat like the segmented picker (no bevel), with the current choice and a chevron; the list it
// opens is the desktop's.
class ChoicePicker final : public QComboBox {
    Q_OBJECT
public:
    ChoicePicker(QList<std::pair<QString, QVariant>> choices, QWidget* parent = nullptr);
    // Shows `value` without signalling: what the store holds is not a choice to store again.
    void setValue(const QVariant& value);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool m_hovered = false;
};

// One titled row of a section: the text on the left, the control on the right.
class FormRow final : public QWidget {
    Q_OBJECT
public:
    FormRow(const QString& text, QWidget* control, QWidget* parent = nullptr);
    // Moves the row's text right, for a setting that depends on the one above.
    void setIndent(int indent);
    const QString& text() const { return m_text; }
    QWidget* control() const { return m_control; }
    // False when the title is too long for the row and shows shortened.
    bool hasFullText() const { return m_label->sizeHint().width() <= m_label->width(); }

protected:
    void changeEvent(QEvent* event) override;

private:
    QString m_text;
    GeekText* m_label;
    QWidget* m_control;
    QHBoxLayout* m_layout;
};

// A header (may be empty), a group of rows, a footer (may be empty).
class FormSection final : public QWidget {
    Q_OBJECT
public:
    explicit FormSection(const QString& header = {}, const QString& footer = {}, QWidget* parent = nullptr);
    FormRow* addRow(const QString& text, QWidget* control);
    // Any widget as a row of its own (the permissions block).
    void addWidget(QWidget* widget);
    const QString& header() const { return m_header; }

private:
    class Group;
    QString m_header;
    Group* m_group;
};

// A pane: sections stacked with the form's spacing, in a scroll area when the window is short.
class FormPane : public QWidget {
    Q_OBJECT
public:
    explicit FormPane(QWidget* parent = nullptr);
    FormSection* addSection(const QString& header = {}, const QString& footer = {});

protected:
    QVBoxLayout* m_sections;
};

// A horizontal hairline in the text colour, faint, as between a form's rows.
class Divider final : public QWidget {
    Q_OBJECT
public:
    explicit Divider(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent*) override;
};

// Text in the settings window's fonts: the caption (header/footer) size and the secondary colour.
GeekText* captionText(const QString& text);

} // namespace rubbly
