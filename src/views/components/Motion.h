#pragma once

#include <functional>

class QVariantAnimation;
class QWidget;

namespace rubbly {

// The timing of one change: an ease-in-out of a fixed length, or a damped spring that lasts until it
// settles. A spring's `response` is the period of its undamped oscillation in seconds; `damping` the
// fraction of critical damping (1: no overshoot).
class Curve final {
public:
    static Curve easeInOut(double seconds);
    static Curve spring(double response, double damping);

    // Seconds until the change is over (a spring: until it stays within 0.1 % of its target).
    double length() const { return m_length; }
    // How far the change is at `t` seconds, 0 at the start and 1 at the end (a spring may overshoot).
    double progress(double t) const;

private:
    enum class Kind { EaseInOut, Spring };
    Kind m_kind = Kind::EaseInOut;
    double m_length = 0;
    double m_response = 0;
    double m_damping = 1;
};

namespace motion {
// Off in tests and the gallery: every change then lands at once.
bool enabled();
void setEnabled(bool enabled);
// Brings every running change under `root` to its end; for a panel that is being hidden, so nothing
// ticks while nobody can see it.
void finishAll(QWidget* root);
} // namespace motion

// A number a widget draws that moves to new values along a curve, repainting the widget as it goes.
// Changes land at once while the widget is hidden or motion is off.
class AnimatedValue final {
public:
    explicit AnimatedValue(QWidget* owner, double value = 0);
    AnimatedValue(const AnimatedValue&) = delete;
    AnimatedValue& operator=(const AnimatedValue&) = delete;

    double value() const { return m_value; }
    double target() const { return m_to; }
    bool isRunning() const;

    void animateTo(double target, const Curve& curve);
    void jumpTo(double value);
    // Called after each step, for widgets whose geometry follows the value.
    void onStep(std::function<void()> step) { m_step = std::move(step); }

private:
    QWidget* m_owner;
    QVariantAnimation* m_animation;
    Curve m_curve;
    double m_from = 0;
    double m_to = 0;
    double m_value = 0;
    std::function<void()> m_step;
};

} // namespace rubbly
