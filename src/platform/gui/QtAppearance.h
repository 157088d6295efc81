#pragma once

#include "ActivationPolicy.h"
#include "AppearanceApplier.h"
#include "AppearanceSource.h"

#include <QList>
#include <QPalette>
#include <QPointer>
#include <QWindow>

namespace rubbly {

// Applies the appearance setting to the application: light and dark are palettes of our own;
// "system" follows the desktop's colour-scheme preference when it has one, and otherwise keeps the
// platform's palette (dark when that palette is dark). `isDark()` is what views draw with.
class QtAppearanceApplier final : public QObject, public AppearanceApplier {
    Q_OBJECT
public:
    // `source` may be null (no portal); it is not owned.
    explicit QtAppearanceApplier(AppearanceSource* source, QObject* parent = nullptr);

    void applyAppearance(AppAppearance appearance) override;
    bool isDark() const { return m_dark; }

    static QPalette lightPalette();
    static QPalette darkPalette();

Q_SIGNALS:
    void darkChanged(bool dark);

private:
    void update();

    QPointer<AppearanceSource> m_source;
    QPalette m_platformPalette;
    AppAppearance m_appearance = AppAppearance::System;
    bool m_dark = false;
};

// The "Dock icon" setting on Linux: whether our windows appear in the taskbar and pager. Windows are
// registered as they are created; hidden ones become tool windows, which taskbars leave out.
class TaskbarPolicy final : public QObject, public ActivationPolicy {
    Q_OBJECT
public:
    using QObject::QObject;

    void applyHideInDock(bool hideInDock) override;
    // Applies the current policy to `window` now and whenever it changes.
    void registerWindow(QWindow* window);

private:
    void apply(QWindow* window) const;

    QList<QPointer<QWindow>> m_windows;
    bool m_hide = true;
};

} // namespace rubbly
