// Renders every state of the panel and the settings window offscreen, in Chinese and English, light
// and dark, at a device-pixel ratio of 2, into PNG files: panel-gallery [OUTPUT_FOLDER]. The pictures
// are for people: look at them after changing a view.
// panel-gallery --show SCENE shows one scene (English, light) on the display instead, prints what a
// screen reader must find in it ("expect: TEXT" lines, then "ready") and keeps it until its standard
// input closes: the assistive-technology test reads the scene over AT-SPI meanwhile.

#include "Formatting.h"
#include "Motion.h"
#include "PanelLogic.h"
#include "QtAppearanceApplier.h"
#include "Scenes.h"
#include "UiLanguage.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QPainter>
#include <QSocketNotifier>
#include <QWidget>

#include <cstdio>
#include <unistd.h>

using namespace rubbly;
using namespace rubbly::test;

namespace {

int showScene(const QString& wanted)
{
    installUiLanguage(UiLanguage::English);
    QtAppearanceApplier appearance(nullptr);
    appearance.applyAppearance(AppAppearance::Light);
    const TrashStatus trash = fullTrash();
    bool shown = false;
    const auto hold = [&](const QString& name, QWidget& view) {
        if (QStringLiteral("panel-") + name != wanted && QStringLiteral("settings-") + name != wanted)
            return;
        shown = true;
        std::printf("expect: total %s\n", qPrintable(formatBytesCompact(trash.totalSize)));
        for (const auto& [category, size] : distributionOrder(trash))
            std::printf("expect: kind %s, %s\n", qPrintable(fileCategoryLabel(category)),
                        qPrintable(formatBytesCompact(size)));
        for (const TrashItemDetail& item : trash.topItems.mid(0, 5))
            std::printf("expect: item %s\n", qPrintable(item.name));
        view.show();
        QCoreApplication::processEvents();
        std::printf("ready\n");
        std::fflush(stdout);
        QEventLoop loop;
        QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
        QObject::connect(&input, &QSocketNotifier::activated, &loop, [&loop] {
            char byte;
            if (::read(STDIN_FILENO, &byte, 1) <= 0)
                loop.quit();
        });
        loop.exec();
    };
    forEachPanelScene(hold);
    forEachSettingsScene(hold);
    return shown ? 0 : 2;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--show") == 0) {
        QApplication app(argc, argv);
        motion::setEnabled(false);
        return showScene(QString::fromLocal8Bit(argv[2]));
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    motion::setEnabled(false);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("gallery");
    QDir().mkpath(folder);
    QtAppearanceApplier appearance(nullptr);
    int written = 0;
    bool failed = false;
    for (const auto& [language, code] : {std::pair{UiLanguage::Chinese, "zh"}, std::pair{UiLanguage::English, "en"}}) {
        // A plain local for the lambda below: clang before 16 (clang-tidy's parser here) cannot capture
        // a structured binding.
        const char* const suffix = code;
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
