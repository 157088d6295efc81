#pragma once

#include <QObject>

namespace rubbly {

// The desktop's colour-scheme preference.
class AppearanceSource : public QObject {
    Q_OBJECT
public:
    enum class ColorScheme {
        NoPreference, // the desktop does not say (or cannot be asked)
        Dark,
        Light,
    };
    Q_ENUM(ColorScheme)

    using QObject::QObject;
    virtual ColorScheme colorScheme() const = 0;

Q_SIGNALS:
    void colorSchemeChanged();
};

} // namespace rubbly
