#pragma once

#include <QColor>

#include <array>

class QWidget;

namespace rubbly {

// The colour set of the panel's terminal look. Each colour has a dark and a light variant; views pick
// the variant from the effective colour scheme.
struct GeekThemeColor {
    QColor dark;
    QColor light;

    const QColor& resolve(bool darkScheme) const { return darkScheme ? dark : light; }
};

struct GeekTheme {
    GeekThemeColor background;
    GeekThemeColor surface;
    GeekThemeColor border;
    GeekThemeColor hoverFill;
    GeekThemeColor textPrimary;
    GeekThemeColor textSecondary;
    GeekThemeColor textTertiary;

    // The settings window's controls, drawn over its own palette.
    GeekThemeColor groupFill;        // a group's card
    GeekThemeColor controlFill;      // a segmented control's and a pop-up picker's track
    GeekThemeColor controlFillHover; // a hovered pop-up picker's track
    GeekThemeColor selectedSegment;  // the chosen segment
    GeekThemeColor switchOff;        // a switch's track when off
    GeekThemeColor buttonFill;       // a bordered push button, at rest, hovered and pressed
    GeekThemeColor buttonFillHover;
    GeekThemeColor buttonFillPressed;

    // Colours that stay the same in both schemes.
    QColor scrim;           // dims the panel behind the confirmation card
    QColor cardShadow;      // the confirmation card's shadow
    QColor inertButtonFill; // the EMPTY and PURGE buttons with nothing to act on
    QColor iconButtonHover; // behind a hovered icon button in the panel
    QColor scrollThumb;     // the scroll thumb at rest
    QColor textOnLightFill; // text on a light accent fill, and on a dark one
    QColor textOnDarkFill;
    QColor switchKnob; // a switch's knob, enabled and disabled
    QColor switchKnobDisabled;
    QColor warning;      // the permission guide's and pane's orange
    QColor iconBackdrop; // behind the drawn application icon when the icon theme has none

    // The one instance, created on first use.
    static const GeekTheme& shared();
};

// The 11 accent colours views pick by index: 4 accent, 6 success, 8 warning, 10 danger; the file
// categories use 0 (video), 1 (audio), 4 (development), 5 (image), 6 (document), 8 (archive), 9 (other).
const std::array<QColor, 11>& spectrum();

// A colour of the theme named by its role, resolved at paint time for the widget's scheme, so a
// change of appearance needs nothing but a repaint.
class Tint final {
public:
    enum class Role {
        Background,
        Surface,
        Border,
        HoverFill,
        TextPrimary,
        TextSecondary,
        TextTertiary,
        Spectrum,
        Fixed
    };

    static Tint background() { return Tint(Role::Background); }
    static Tint surface() { return Tint(Role::Surface); }
    static Tint border() { return Tint(Role::Border); }
    static Tint hoverFill() { return Tint(Role::HoverFill); }
    static Tint primary() { return Tint(Role::TextPrimary); }
    static Tint secondary() { return Tint(Role::TextSecondary); }
    static Tint tertiary() { return Tint(Role::TextTertiary); }
    static Tint accent(int index) { return Tint(Role::Spectrum, index); }
    static Tint fixed(QColor color);
    // The same colour with its alpha multiplied by `opacity`.
    Tint opacity(double opacity) const;

    QColor resolve(bool dark) const;
    QColor resolve(const QWidget* widget) const;

    bool operator==(const Tint&) const = default;

private:
    explicit Tint(Role role, int index = 0)
        : m_role(role)
        , m_index(index)
    {
    }
    Role m_role;
    int m_index = 0;
    double m_opacity = 1.0;
    QColor m_fixed;
};

// Whether `widget` draws in the dark variant: the application palette that the appearance applier
// installs is dark exactly when the effective scheme is.
bool isDarkScheme(const QWidget* widget);

} // namespace rubbly
