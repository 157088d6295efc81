#pragma once

#include <QProcessEnvironment>

namespace rubbly {

// The languages the interface speaks. Its texts are written in English in the code; Chinese is a
// translation built into the program (translations/rubbly_zh_CN.ts).
enum class UiLanguage {
    English, // the texts as written: every locale without a translation of ours
    Chinese, // Simplified Chinese, for any Chinese locale
};

// The language `environment` asks for, read the way gettext reads it: the locale of messages is
// LC_ALL, else LC_MESSAGES, else LANG; unless that is "C" or "POSIX", LANGUAGE (a colon-separated
// list of preferences) comes first when it is set. The first preference we have a translation for
// wins; English when none is.
UiLanguage uiLanguageFor(const QProcessEnvironment& environment);

// Makes `language` the language of every translated text from now on, loading its translation the
// first time it is needed; English needs none. Returns false when the translation built into the
// program cannot be loaded (the texts then stay English).
bool installUiLanguage(UiLanguage language);
// The language installed last; English until one is.
UiLanguage installedUiLanguage();

} // namespace rubbly
