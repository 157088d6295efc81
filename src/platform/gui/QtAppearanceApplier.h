#pragma once

#include "AppearanceApplier.h"
#include "AppearanceSource.h"

#include <QPalette>
#include <QPointer>

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

} // namespace rubbly
