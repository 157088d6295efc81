#include "UiLanguage.h"

#include <QCoreApplication>
#include <QTranslator>

namespace rubbly {

namespace {

UiLanguage s_installed = UiLanguage::English;

// "zh_CN.UTF-8@whatever" -> "zh"; "C" and "POSIX" stay as they are.
QString languageCode(const QString& locale)
{
    qsizetype end = locale.size();
    for (const QChar separator : {QLatin1Char('_'), QLatin1Char('-'), QLatin1Char('.'), QLatin1Char('@')}) {
        const qsizetype at = locale.indexOf(separator);
        if (at >= 0)
            end = std::min(end, at);
    }
    return locale.left(end).toLower();
}

bool isCLocale(const QString& locale)
{
    return locale.isEmpty() || locale == QLatin1String("C") || locale == QLatin1String("POSIX");
}

} // namespace

UiLanguage uiLanguageFor(const QProcessEnvironment& environment)
{
    QString messages;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        messages = environment.value(QString::fromLatin1(name));
        if (!messages.isEmpty())
            break;
    }
    QStringList preferences{messages};
    const QString languages = environment.value(QStringLiteral("LANGUAGE"));
    // gettext ignores LANGUAGE under the C locale: its messages would be in an encoding it cannot show.
    if (!isCLocale(messages) && !languages.isEmpty())
        preferences = languages.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& preference : preferences) {
        const QString code = languageCode(preference);
        if (code == QLatin1String("zh"))
            return UiLanguage::Chinese;
        if (code == QLatin1String("en") || isCLocale(preference))
            return UiLanguage::English;
    }
    return UiLanguage::English;
}

bool installUiLanguage(UiLanguage language)
{
    // One translator for the process, loaded once and kept: switching back and forth (tests do)
    // only installs or removes it.
    static QTranslator* chinese = nullptr;
    if (language == s_installed && (language == UiLanguage::English || chinese))
        return true;
    if (language == UiLanguage::Chinese && !chinese) {
        auto* translator = new QTranslator;
        if (!translator->load(QStringLiteral(":/i18n/rubbly_zh_CN.qm"))) {
            delete translator;
            return false;
        }
        chinese = translator;
    }
    if (chinese) {
        if (language == UiLanguage::Chinese)
            QCoreApplication::installTranslator(chinese);
        else
            QCoreApplication::removeTranslator(chinese);
    }
    s_installed = language;
    return true;
}

UiLanguage installedUiLanguage()
{
    return s_installed;
}

} // namespace rubbly
