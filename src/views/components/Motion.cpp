#include "Motion.h"

#include <QVariantAnimation>
#include <QWidget>

#include <cmath>
#include <numbers>

namespace rubbly {

namespace {
bool g_enabled = true;
const char* const kMotionName = "rubbly-motion";
} // namespace

Curve Curve::easeInOut(double seconds)
{
    Curve curve;
    curve.m_kind = Kind::EaseInOut;
    curve.m_length = seconds;
    return curve;
}

Curve Curve::spring(double response, double damping)
{
    Curve curve;
    curve.m_kind = Kind::Spring;
    curve.m_response = response;
    curve.m_damping = std::clamp(damping, 0.05, 1.0);
    const double omega = 2 * std::numbers::pi / response;
    const double zeta = curve.m_damping;
    // The envelope of the oscillation bounds the error; settle when it falls under 0.1 %.
    const double amplitude = zeta < 1 ? 1 + zeta / std::sqrt(1 - zeta * zeta) : 1 + omega * response;
    curve.m_length = std::log(1000 * amplitude) / (zeta * omega);
    return curve;
}

double Curve::progress(double t) const
{
    if (t >= m_length)
        return 1.0;
    if (t <= 0)
        return 0.0;
    if (m_kind == Kind::EaseInOut) {
        const double x = t / m_length;
        return x < 0.5 ? 2 * x * x : 1 - std::pow(-2 * x + 2, 2) / 2;
    }
    const double omega = 2 * std::numbers::pi / m_response;
    const double zeta = m_damping;
    if (zeta >= 1.0)
        return 1 - std::exp(-omega * t) * (1 + omega * t);
    const double omegaD = omega * std::sqrt(1 - zeta * zeta);
    return 1 - std::exp(-zeta * omega * t) * (std::cos(omegaD * t) + zeta * omega / omegaD * std::sin(omegaD * t));
}

bool motion::enabled()
{
    return g_enabled;
}

void motion::setEnabled(bool enabled)
{
    g_enabled = enabled;
}

void motion::finishAll(QWidget* root)
{
    for (QVariantAnimation* animation : root->findChildren<QVariantAnimation*>(QString::fromLatin1(kMotionName))) {
        if (animation->state() == QAbstractAnimation::Running)
            animation->setCurrentTime(animation->totalDuration());
    }
}

AnimatedValue::AnimatedValue(QWidget* owner, double value)
    : m_owner(owner)
    , m_animation(new QVariantAnimation(owner))
    , m_to(value)
    , m_value(value)
{
    m_animation->setObjectName(QString::fromLatin1(kMotionName));
    m_animation->setStartValue(0.0);
    m_animation->setEndValue(1.0);
    QObject::connect(m_animation, &QVariantAnimation::valueChanged, owner, [this](const QVariant& elapsed) {
        m_value = m_from + (m_to - m_from) * m_curve.progress(elapsed.toDouble() * m_curve.length());
        if (m_animation->state() != QAbstractAnimation::Running && elapsed.toDouble() >= 1.0)
            m_value = m_to;
        m_owner->update();
        if (m_step)
            m_step();
    });
}

bool AnimatedValue::isRunning() const
{
    return m_animation->state() == QAbstractAnimation::Running;
}

void AnimatedValue::animateTo(double target, const Curve& curve)
{
    if (target == m_to && (isRunning() || m_value == target))
        return;
    if (!motion::enabled() || !m_owner->isVisible() || curve.length() <= 0) {
        jumpTo(target);
        return;
    }
    m_animation->stop();
    m_from = m_value;
    m_to = target;
    m_curve = curve;
    m_animation->setDuration(static_cast<int>(std::ceil(curve.length() * 1000)));
    m_animation->start();
}

void AnimatedValue::jumpTo(double value)
{
    m_animation->stop();
    m_from = m_to = m_value = value;
    m_owner->update();
    if (m_step)
        m_step();
}

} // namespace rubbly
