#include "TrayCommands.h"

#include "CommandLine.h"
#include "DefaultsStore.h"
#include "PanelLabel.h"
#include "SettingsService.h"

#include <csignal>

#include <sys/prctl.h>

namespace rubbly {

int trayLabelCommand(const std::optional<QString>& waitPast, bool genmon, const QString& program, QTextStream& out,
                     QTextStream& err)
{
    QString label = panellabel::read().value_or(QString());
    if (waitPast) {
        // The panel that started us may go away while we wait; we go with it.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        QString error;
        const std::optional<QString> changed = panellabel::waitForChange(*waitPast, error);
        if (!changed) {
            err << "rubbly: " << error << "\n" << Qt::flush;
            return ExitFailure;
        }
        label = *changed;
    }
    out << (genmon ? xfcepanel::genmonMarkup(label, program) : label) << "\n" << Qt::flush;
    return ExitSuccess;
}

int trayAddToPanelCommand(const PanelItems& items, PanelDesktop desktop, DefaultsStore& settings, QTextStream& out,
                          QTextStream& err)
{
    const PanelItemOutcome outcome = items.add(desktop);
    if (outcome.ok)
        settings.setValue(SettingsService::defaultsKey(SettingsService::Key::PanelItemAdded), true);
    (outcome.ok ? out : err) << outcome.message << "\n" << Qt::flush;
    return outcome.ok ? ExitSuccess : ExitFailure;
}

} // namespace rubbly
