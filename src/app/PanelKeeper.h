#pragma once

#include <QObject>
#include <QPoint>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace rubbly {

class PanelWindow;
class Scheduler;
class Timer;

// Holds the panel window: made when first needed, and let go again once it has stayed closed for a
// while. A tray program is looked at for seconds a day; the panel's widgets, the pixmaps they cached
// and the glyphs of the fonts only they use are most of what it holds beyond the engine, and making
// the panel again takes a few milliseconds.
class PanelKeeper final : public QObject {
    Q_OBJECT
public:
    using Factory = std::function<std::unique_ptr<PanelWindow>()>;

    PanelKeeper(Scheduler& scheduler, Factory factory, QObject* parent = nullptr);
    ~PanelKeeper() override;

    // Null while there is no panel.
    PanelWindow* get() const { return m_window.get(); }
    // The panel, made now if there is none.
    PanelWindow& window();

    // Lets the panel go at once, unless it is open or an ordinary window (no tray), and hands the
    // freed memory back to the system.
    void release();

    static constexpr std::chrono::seconds kReleaseAfter{30};

Q_SIGNALS:
    void made(rubbly::PanelWindow* window);
    void released();

private:
    Factory m_factory;
    Timer* m_releaseTimer;
    std::unique_ptr<PanelWindow> m_window;
    // Carried over to the next panel: where the last click was.
    std::optional<QPoint> m_lastAnchor;
};

} // namespace rubbly
