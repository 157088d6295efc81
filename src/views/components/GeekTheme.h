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
    // The edge of a hovered row or button: none on the dark scheme, where the fill alone shows; on the
    // light one a fill light enough to keep text on it readable cannot stand out, so an edge does.
    GeekThemeColor hoverEdge;

    // The settings window's controls, drawn over its own palette.
    GeekThemeColor groupFill;        // a group's card
    GeekThemeColor controlFill;      // a segmented control's and a pop-up picker's track
    GeekThemeColor controlFillHover; // a hovered pop-up picker's track
    GeekThemeColor selectedSegment;  // the chosen segment
    GeekThemeColor switchOff;        // a switch's track when off
    GeekThemeColor buttonFill;       // a bordered push button, at rest, hovered and pressed
    GeekThemeColor buttonFillHover;
    GeekThemeColor buttonFillPressed;

    // Colours that stay the same in both schemes, unless a pair.
    QColor scrim;                   // dims the panel behind the confirmation card
    QColor cardShadow;              // the confirmation card's shadow
    QColor inertButtonFill;         // the EMPTY and PURGE buttons with nothing to act on
    GeekThemeColor iconButtonHover; // behind a hovered icon button in the panel
    GeekThemeColor scrollThumb;     // the scroll thumb at rest
    QColor textOnLightFill;         // text on a light accent fill, and on a dark one
    QColor textOnDarkFill;
    QColor switchKnob; // a switch's knob, enabled and disabled
    QColor switchKnobDisabled;
    GeekThemeColor warning; // the permission guide's and pane's orange
    QColor iconBackdrop;    // behind the drawn application icon when the icon theme has none

    // The one instance, created on first use.
    static const GeekTheme& shared();
};

// The 11 accent colours views pick by index: 4 accent, 6 success, 8 warning, 10 danger; the file
// categories use 0 (video), 1 (audio), 4 (development), 5 (image), 6 (document), 8 (archive), 9 (other).
const std::array<QColor, 11>& spectrum();

// Spectrum colour `index` as text and controls draw it. The dark scheme uses the spectrum itself; on the
// light background its bright accent, success, warning and danger colours fall to 1.3-3.6 : 1, so
// there they are the same hues darkened to about 6 : 1. The file-kind dots keep `spectrum()`: they
// name a kind by their hue and carry no text.
QColor accentColor(int index, bool dark);

// WCAG 2.1 contrast ratio of `foreground` drawn over `background`; a translucent foreground is first
// blended over the background, as the painter does.
double contrastRatio(const QColor& foreground, const QColor& background);

// A colour of the theme named by its role, resolved at paint time for the widget's scheme, so a
// change of appearance needs nothing but a repaint.
class Tint final {
public:
    enum class Role {
        Background,
        Surface,
        Border,
        HoverFill,
        HoverEdge,
        TextPrimary,
        TextSecondary,
        TextTertiary,
        Warning,
        Spectrum,
        Fixed
    };

    static Tint background() { return Tint(Role::Background); }
    static Tint surface() { return Tint(Role::Surface); }
    static Tint border() { return Tint(Role::Border); }
    static Tint hoverFill() { return Tint(Role::HoverFill); }
    static Tint hoverEdge() { return Tint(Role::HoverEdge); }
    static Tint primary() { return Tint(Role::TextPrimary); }
    static Tint secondary() { return Tint(Role::TextSecondary); }
    static Tint tertiary() { return Tint(Role::TextTertiary); }
    static Tint warning() { return Tint(Role::Warning); }
    static Tint accent(int index) { return Tint(Role::Spectrum, index); }
    static Tint fixed(QColor color);
    // The same colour with its alpha multiplied by `opacity`.
    Tint opacity(double opacity) const;
    // Alpha multiplied by `dark` on the dark scheme and by `light` on the light one: outlines and marks
    // that the dark scheme draws faintly must reach 3 : 1 on the light background.
    Tint opacity(double dark, double light) const;

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
    double m_lightOpacity = 1.0;
    QColor m_fixed;
};

// Whether `widget` draws in the dark variant: the application palette that the appearance applier
// installs is dark exactly when the effective scheme is.
bool isDarkScheme(const QWidget* widget);

} // namespace rubbly
