#include "PanelItems.h"

#include "AtomicFile.h"
#include "ProgramFiles.h"
#include "XdgPaths.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace rubbly {

namespace {

const QString kPlasmaShell = QStringLiteral("org.kde.plasmashell");
const QString kXfcePanel = QStringLiteral("org.xfce.Panel");
const QString kXfconf = QStringLiteral("org.xfce.Xfconf");
const QString kChannel = QStringLiteral("xfce4-panel");
// A day, the longest period the generic monitor's own settings offer, in milliseconds.
constexpr int kGenmonPeriodMs = 86'400'000;
// How long add-to-panel waits for the XFCE panel to take its restart request.
constexpr int kPanelAnswerMs = 5000;

// A word for a shell command line (the generic monitor and Plasma's executable engine both split
// their command as a shell does).
QString shellQuoted(const QString& word)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./-]+$"));
    if (plain.match(word).hasMatch())
        return word;
    QString quoted = word;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// A string for a JavaScript literal in Plasma's desktop scripting.
QString jsString(const QString& text)
{
    QString escaped;
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"'))
            escaped += QLatin1Char('\\');
        if (c.unicode() < 0x20)
            escaped += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            escaped += c;
    }
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

bool serviceRunning(const QDBusConnection& bus, const QString& name)
{
    return bus.isConnected() && bus.interface()->isServiceRegistered(name).value();
}

// A QVariant as xfconf's D-Bus interface hands it over: arrays arrive as an `av` QDBusArgument.
QVariant plainValue(const QVariant& value)
{
    if (value.userType() != qMetaTypeId<QDBusArgument>())
        return value;
    const QDBusArgument argument = value.value<QDBusArgument>();
    if (argument.currentType() != QDBusArgument::ArrayType)
        return value;
    QVariantList list;
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant element;
        argument >> element;
        list.append(element.variant());
    }
    argument.endArray();
    return list;
}

bool copyTree(const QString& from, const QString& to)
{
    if (!QDir().mkpath(to))
        return false;
    QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + source.mid(from.size());
        if (it.fileInfo().isDir()) {
            if (!QDir().mkpath(target))
                return false;
            continue;
        }
        QFile::remove(target);
        if (!QFile::copy(source, target))
            return false;
    }
    return true;
}

} // namespace

PanelDesktop panelDesktop(const DesktopSession& session)
{
    for (const QString& desktop : session.desktops) {
        if (desktop.compare(QLatin1String("KDE"), Qt::CaseInsensitive) == 0)
            return PanelDesktop::Plasma;
        if (desktop.compare(QLatin1String("XFCE"), Qt::CaseInsensitive) == 0)
            return PanelDesktop::Xfce;
    }
    return PanelDesktop::None;
}

PanelItems::Config PanelItems::Config::forThisProgram()
{
    Config config;
    const QString bin = QCoreApplication::applicationDirPath();
    // An application folder is started through its AppRun, which checks the system's libraries first.
    const QString appRun = QDir::cleanPath(bin + QLatin1String("/../AppRun"));
    config.program = QFileInfo(appRun).isExecutable() ? appRun : commandProgramPath();
    config.bundleData = QDir::cleanPath(bin + QLatin1String("/../share"));
    return config;
}

PanelItems::PanelItems(Config config)
    : m_config(std::move(config))
{
}

PanelItemOutcome PanelItems::add(PanelDesktop desktop) const
{
    switch (desktop) {
    case PanelDesktop::Plasma:
        return addToPlasma();
    case PanelDesktop::Xfce:
        return addToXfce();
    case PanelDesktop::None:
        break;
    }
    return {false, tr("This desktop's panel shows the Trash's size beside the icon by itself, or offers no place for "
                      "it; the size is in the icon's tooltip. Rubbly can add its item to the panels of KDE Plasma "
                      "and XFCE.")};
}

QString PanelItems::plasmaWidgetId(int plasmaMajor)
{
    return plasmaMajor >= 6 ? QStringLiteral("com.tolvik.Rubbly.TrashSize")
                            : QStringLiteral("com.tolvik.Rubbly.TrashSize5");
}

QString PanelItems::installPlasmaWidget(const QString& id) const
{
    const QString relative = QStringLiteral("/plasma/plasmoids/") + id;
    for (const QString& dir : xdg::dataDirs(m_config.env)) {
        if (QFileInfo::exists(dir + relative + QLatin1String("/metadata.json")))
            return QString();
    }
    const QString source = m_config.bundleData + relative;
    if (!QFileInfo::exists(source + QLatin1String("/metadata.json")))
        return tr("The Plasma widget is missing from this installation (%1).").arg(source);
    // The user's own copy follows the program it came with, so an updated folder updates it too, and
    // runs that program (a package install's widget runs `rubbly` from the PATH).
    const QString target = xdg::dataHome(m_config.env) + relative;
    if (!copyTree(source, target))
        return tr("Could not copy the Plasma widget to %1.").arg(target);
    const QString settings = target + QLatin1String("/contents/config/main.xml");
    QFile file(settings);
    if (!file.open(QIODevice::ReadOnly))
        return tr("Could not read %1: %2").arg(settings, file.errorString());
    const QByteArray stock = file.read(64 * 1024);
    file.close();
    QByteArray ours = stock;
    ours.replace("<default>rubbly</default>",
                 "<default>" + shellQuoted(m_config.program).toHtmlEscaped().toUtf8() + "</default>");
    if (const auto written = fs::replaceFile(QFile::encodeName(settings), ours, 0644); !written)
        return written.error();
    return QString();
}

PanelItemOutcome PanelItems::addToPlasma() const
{
    if (!serviceRunning(m_config.bus, kPlasmaShell))
        return {false, tr("Plasma's panel is not running (no org.kde.plasmashell on the session bus).")};
    const auto evaluate = [this](const QString& script) -> std::optional<QString> {
        QDBusMessage call =
            QDBusMessage::createMethodCall(kPlasmaShell, QStringLiteral("/PlasmaShell"),
                                           QStringLiteral("org.kde.PlasmaShell"), QStringLiteral("evaluateScript"));
        call << script;
        const QDBusMessage reply = m_config.bus.call(call);
        if (reply.type() != QDBusMessage::ReplyMessage)
            return std::nullopt;
        return reply.arguments().value(0).toString().trimmed();
    };
    const std::optional<QString> version = evaluate(QStringLiteral("print(applicationVersion)"));
    if (!version)
        return {false, tr("Plasma refused its scripting interface (are the widgets locked?).")};
    const int major = version->section(QLatin1Char('.'), 0, 0).toInt();
    const QString id = plasmaWidgetId(major);
    if (const QString error = installPlasmaWidget(id); !error.isEmpty())
        return {false, error};

    // Into the panel that holds the system tray, so the size sits beside the icon.
    const QString script = QStringLiteral("var id = %1, all = panels(), target = null, found = 0;\n"
                                          "for (var i = 0; i < all.length; ++i) {\n"
                                          "  found += all[i].widgets(id).length;\n"
                                          "  if (!target && all[i].widgets('org.kde.plasma.systemtray').length > 0)\n"
                                          "    target = all[i];\n"
                                          "}\n"
                                          "if (found > 0) print('present');\n"
                                          "else if (all.length == 0) print('nopanel');\n"
                                          "else {\n"
                                          "  if (!target) target = all[0];\n"
                                          "  var w = target.addWidget(id);\n"
                                          "  print(w ? 'added ' + target.location : 'failed');\n"
                                          "}\n")
                               .arg(jsString(id));
    const std::optional<QString> answer = evaluate(script);
    if (!answer || answer->startsWith(QLatin1String("failed")))
        return {false, tr("Plasma could not add the widget %1 to its panel.").arg(id)};
    if (*answer == QLatin1String("present"))
        return {true, tr("The Rubbly widget is already in Plasma's panel.")};
    if (*answer == QLatin1String("nopanel"))
        return {false, tr("Plasma shows no panel to add the widget to.")};
    return {true, tr("Added the Rubbly widget (%1) to Plasma's panel; remove it as any widget, in the panel's "
                     "edit mode.")
                      .arg(id)};
}

PanelItemOutcome PanelItems::addToXfce() const
{
    if (!serviceRunning(m_config.bus, kXfcePanel))
        return {false, tr("The XFCE panel is not running (no org.xfce.Panel on the session bus).")};
    bool genmon = false;
    for (const QString& dir : xdg::dataDirs(m_config.env))
        genmon = genmon || QFileInfo::exists(dir + QLatin1String("/xfce4/panel/plugins/genmon.desktop"));
    if (!genmon)
        return {false, tr("The XFCE panel needs its Generic Monitor plugin to show the size: install the package "
                          "xfce4-genmon-plugin, then try again.")};

    QDBusMessage get = QDBusMessage::createMethodCall(kXfconf, QStringLiteral("/org/xfce/Xfconf"), kXfconf,
                                                      QStringLiteral("GetAllProperties"));
    get << kChannel << QStringLiteral("/");
    const QDBusMessage reply = m_config.bus.call(get);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return {false, tr("Could not read the XFCE panel's settings: %1").arg(reply.errorMessage())};
    QVariantMap channel;
    reply.arguments().value(0).value<QDBusArgument>() >> channel;
    for (auto it = channel.begin(); it != channel.end(); ++it)
        it.value() = plainValue(it.value());

    const QString configHome = xdg::configHome(m_config.env);
    const xfcepanel::Plan plan = xfcepanel::plan(channel, xfcepanel::genmonCommands(configHome));
    if (!plan.error.isEmpty())
        return {false, plan.error};
    if (plan.present)
        return {true, tr("Rubbly's Generic Monitor is already in the XFCE panel (genmon-%1).").arg(plan.pluginId)};

    // The monitor's settings first: the panel reads them when it makes the plugin.
    const QString rc = configHome + QStringLiteral("/xfce4/panel/genmon-%1.rc").arg(plan.pluginId);
    QDir().mkpath(QFileInfo(rc).path());
    if (const auto written =
            fs::replaceFile(QFile::encodeName(rc), xfcepanel::genmonSettings(shellQuoted(m_config.program)), 0600);
        !written)
        return {false, written.error()};

    qDBusRegisterMetaType<QList<QDBusVariant>>();
    const auto set = [this](const QString& property, const QVariant& value) {
        QDBusMessage call = QDBusMessage::createMethodCall(kXfconf, QStringLiteral("/org/xfce/Xfconf"), kXfconf,
                                                           QStringLiteral("SetProperty"));
        call << kChannel << property << QVariant::fromValue(QDBusVariant(value));
        return m_config.bus.call(call);
    };
    QList<QDBusVariant> ids;
    for (const int id : plan.pluginIds)
        ids.append(QDBusVariant(id));
    QDBusMessage done = set(QStringLiteral("/plugins/plugin-%1").arg(plan.pluginId), QStringLiteral("genmon"));
    if (done.type() == QDBusMessage::ReplyMessage)
        done = set(plan.panel, QVariant::fromValue(ids));
    if (done.type() != QDBusMessage::ReplyMessage)
        return {false, tr("Could not change the XFCE panel's settings: %1").arg(done.errorMessage())};
    // The panel makes new plugins only when it starts; its own restart keeps the session's panel.
    if (const QString error = xfcepanel::restart(m_config.bus); !error.isEmpty())
        return {false, tr("Added Rubbly's Generic Monitor (genmon-%1) to the XFCE panel's settings, but the panel did "
                          "not restart to show it (%2); restart it with \"xfce4-panel -r\".")
                           .arg(plan.pluginId)
                           .arg(error)};
    return {true, tr("Added Rubbly's Generic Monitor (genmon-%1) to the XFCE panel, which restarts to show it; remove "
                     "it in the panel's Items preferences.")
                      .arg(plan.pluginId)};
}

namespace xfcepanel {

Plan plan(const QVariantMap& channel, const QMap<int, QString>& genmonCommands)
{
    Plan result;
    static const QRegularExpression pluginKey(QStringLiteral("^/plugins/plugin-(\\d+)$"));
    static const QRegularExpression panelKey(QStringLiteral("^/panels/panel-(\\d+)/plugin-ids$"));
    int highest = 0;
    QList<int> systrays;
    for (auto it = channel.begin(); it != channel.end(); ++it) {
        const QRegularExpressionMatch match = pluginKey.match(it.key());
        if (!match.hasMatch())
            continue;
        const int id = match.captured(1).toInt();
        highest = std::max(highest, id);
        const QString module = it.value().toString();
        if (module == QLatin1String("genmon") && isOurCommand(genmonCommands.value(id))) {
            result.present = true;
            result.pluginId = id;
            return result;
        }
        if (module == QLatin1String("systray"))
            systrays.append(id);
    }
    // Panels in the order the panel lists them, else by number.
    QStringList panels;
    for (const QVariant& number : channel.value(QStringLiteral("/panels")).toList())
        panels.append(QStringLiteral("/panels/panel-%1/plugin-ids").arg(number.toInt()));
    for (auto it = channel.begin(); it != channel.end(); ++it) {
        if (panelKey.match(it.key()).hasMatch() && !panels.contains(it.key()))
            panels.append(it.key());
    }
    QList<int> first;
    for (const QString& panel : panels) {
        QList<int> ids;
        for (const QVariant& id : channel.value(panel).toList()) {
            ids.append(id.toInt());
            highest = std::max(highest, id.toInt());
        }
        if (result.panel.isEmpty() && channel.contains(panel)) {
            result.panel = panel;
            first = ids;
        }
        for (qsizetype i = 0; i < ids.size(); ++i) {
            if (systrays.contains(ids[i])) {
                result.panel = panel;
                first = ids;
                first.insert(i, -1);
                break;
            }
        }
        if (first.contains(-1))
            break;
    }
    if (result.panel.isEmpty()) {
        result.error = QCoreApplication::translate("PanelItems", "The XFCE panel's settings list no panel.");
        return result;
    }
    result.pluginId = highest + 1;
    if (!first.contains(-1))
        first.append(-1);
    first.replace(first.indexOf(-1), result.pluginId);
    result.pluginIds = first;
    return result;
}

QString restart(const QDBusConnection& bus)
{
    // The call waits for its answer: `rubbly tray add-to-panel` exits right after, and a message
    // still queued in the connection when the process ends is never sent, which left the settings
    // written and the panel as it was. The panel may also go before it answers; the bus then
    // replies NoReply for it, and the request did arrive.
    QDBusMessage call = QDBusMessage::createMethodCall(kXfcePanel, QStringLiteral("/org/xfce/Panel"), kXfcePanel,
                                                       QStringLiteral("Terminate"));
    call << true;
    const QDBusMessage reply = bus.call(call, QDBus::Block, kPanelAnswerMs);
    if (reply.type() == QDBusMessage::ErrorMessage &&
        reply.errorName() != QLatin1String("org.freedesktop.DBus.Error.NoReply"))
        return reply.errorMessage();
    return QString();
}

QByteArray genmonSettings(const QString& command)
{
    // No Font key: an empty one makes the monitor style its text with an empty font, which draws
    // nothing; without it the monitor takes the panel's.
    return "Command=" + command.toUtf8() +
           " tray label --genmon\nUseLabel=0\nUpdatePeriod=" + QByteArray::number(kGenmonPeriodMs) + "\n";
}

QString genmonMarkup(const QString& label, const QString& program)
{
    // The desktop's own Trash icon and the size, both opening our panel; the monitor draws the text
    // in the panel's font and colour.
    const QString click = (shellQuoted(program) + QLatin1String(" --toggle-panel")).toHtmlEscaped();
    const QString text = label.toHtmlEscaped();
    QString markup = QStringLiteral("<icon>%1</icon><iconclick>%2</iconclick>")
                         .arg(text.isEmpty() ? QLatin1String("user-trash") : QLatin1String("user-trash-full"), click);
    if (!text.isEmpty())
        markup += QStringLiteral("<txt>%1</txt><txtclick>%2</txtclick>").arg(text, click);
    return markup +
           QStringLiteral("<tool>Rubbly%1</tool>").arg(text.isEmpty() ? QString() : QStringLiteral(" · ") + text);
}

QMap<int, QString> genmonCommands(const QString& configHome)
{
    QMap<int, QString> commands;
    static const QRegularExpression rcName(QStringLiteral("^genmon-(\\d+)\\.rc$"));
    const QDir dir(configHome + QLatin1String("/xfce4/panel"));
    for (const QString& name : dir.entryList({QStringLiteral("genmon-*.rc")}, QDir::Files)) {
        const QRegularExpressionMatch match = rcName.match(name);
        if (!match.hasMatch())
            continue;
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        // Small key=value files; a line longer than this is not a command of ours.
        for (const QByteArray& line : file.read(64 * 1024).split('\n')) {
            if (line.startsWith("Command="))
                commands.insert(match.captured(1).toInt(), QString::fromUtf8(line.mid(8)));
        }
    }
    return commands;
}

bool isOurCommand(const QString& command)
{
    return command.endsWith(QLatin1String(" tray label --genmon"));
}

} // namespace xfcepanel

} // namespace rubbly
