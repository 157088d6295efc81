// Linked into every test: installs the interface language the environment asks for before the first
// test runs, as the program does at start (CTest asks for Chinese).

#include "UiLanguage.h"

#include <QCoreApplication>

namespace {

void installTestLanguage()
{
    if (!rubbly::installUiLanguage(rubbly::uiLanguageFor(QProcessEnvironment::systemEnvironment())))
        qFatal("the built-in translation could not be loaded");
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installTestLanguage)
