// Renders every state of the panel and the settings window offscreen, in Chinese and English, light
// and dark, at a device-pixel ratio of 2, into PNG files: panel-gallery [OUTPUT_FOLDER]. The pictures
// are for people: look at them after changing a view.

#include "Motion.h"
#include "QtAppearanceApplier.h"
#include "Scenes.h"
#include "UiLanguage.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QWidget>

using namespace rubbly;
using namespace rubbly::test;

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    motion::setEnabled(false);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("gallery");
    QDir().mkpath(folder);
    QtAppearanceApplier appearance(nullptr);
    int written = 0;
    bool failed = false;
    for (const auto& [language, suffix] :
         {std::pair{UiLanguage::Chinese, "zh"}, std::pair{UiLanguage::English, "en"}}) {
        if (!installUiLanguage(language)) {
            qCritical("cannot load the translation");
            return 1;
        }
        for (const char* look : {"light", "dark"}) {
            appearance.applyAppearance(look[0] == 'd' ? AppAppearance::Dark : AppAppearance::Light);
            const auto save = [&](const char* kind) {
                return [&, kind](const QString& name, QWidget& view) {
                    view.adjustSize();
                    QCoreApplication::processEvents();
                    QImage image(view.size() * 2, QImage::Format_ARGB32_Premultiplied);
                    image.setDevicePixelRatio(2);
                    image.fill(Qt::transparent);
                    QPainter painter(&image);
                    view.render(&painter);
                    painter.end();
                    const QString file =
                        QStringLiteral("%1/%2-%3-%4-%5.png")
                            .arg(folder, QLatin1String(kind), name, QLatin1String(look), QLatin1String(suffix));
                    if (!image.save(file)) {
                        qCritical("cannot write %s", qPrintable(file));
                        failed = true;
                    }
                    ++written;
                };
            };
            forEachPanelScene(save("panel"));
            forEachSettingsScene(save("settings"));
        }
    }
    if (failed)
        return 1;
    qInfo("panel-gallery: wrote %d pictures to %s", written, qPrintable(folder));
    return 0;
}
