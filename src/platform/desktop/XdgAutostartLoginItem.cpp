#include "XdgAutostartLoginItem.h"

#include "AppIdentity.h"
#include "AtomicFile.h"
#include "UntrustedFile.h"
#include "XdgPaths.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QLoggingCategory>

#include <optional>

namespace rubbly {

Q_LOGGING_CATEGORY(lcLoginItem, RUBBLY_APP_ID ".LoginItem")

namespace {

const QString kEntryName = kAppId + QStringLiteral(".desktop");
const QLatin1String kManagedKey("X-Rubbly-Managed");

// A desktop entry is a few hundred bytes; anything beyond this is not one of ours.
constexpr qint64 kMaxEntryBytes = 64 * 1024;

struct Entry {
    // Something is at the path (whatever it is).
    bool present = false;
    // The keys of its [Desktop Entry] group, when it is a regular file we could read.
    std::optional<QHash<QString, QString>> keys;
};

// The file is read through readUntrustedFile(): a link, FIFO or device at the path is present but
// never read, and so never taken for ours.
Entry readEntry(const QString& path)
{
    const auto read = readUntrustedFile(QFile::encodeName(path), kMaxEntryBytes);
    if (!read)
        return {read.error().kind != UntrustedReadError::Kind::Missing, std::nullopt};
    QHash<QString, QString> keys;
    bool inMainGroup = false;
    for (const QByteArray& raw : read.value().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (!inMainGroup || line.startsWith(QLatin1Char('#')) || eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        if (!keys.contains(key))
            keys.insert(key, line.mid(eq + 1).trimmed());
    }
    return {true, keys};
}

bool isActive(const QHash<QString, QString>& keys)
{
    return keys.value(QStringLiteral("Hidden")) != QLatin1String("true") &&
           keys.value(QStringLiteral("X-GNOME-Autostart-enabled")) != QLatin1String("false");
}

bool isOurs(const Entry& entry)
{
    return entry.keys && entry.keys->value(kManagedKey) == QLatin1String("true");
}

// Written whole or not at all: on a full disk the entry that was there stays as it was.
bool writeFile(const QString& path, const QString& text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const auto written = fs::replaceFile(QFile::encodeName(path), text.toUtf8(), 0644);
    if (!written)
        qCWarning(lcLoginItem).noquote() << written.error();
    return written.ok();
}

} // namespace

XdgAutostartLoginItem::XdgAutostartLoginItem(QString executablePath, const QProcessEnvironment& env)
    : m_executablePath(std::move(executablePath))
    , m_configHome(xdg::configHome(env))
    , m_configDirs(xdg::configDirs(env))
{
}

QString XdgAutostartLoginItem::userEntryPath() const
{
    return m_configHome + QStringLiteral("/autostart/") + kEntryName;
}

QString XdgAutostartLoginItem::execValue(const QString& program)
{
    // First the Exec quoting rules (inside double quotes, escape " ` $ \ and double every % so it
    // is not taken for a field code), then the string escapes every desktop-file value gets.
    QString quoted = QStringLiteral("\"");
    for (const QChar c : program) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        if (c == QLatin1Char('%'))
            quoted += QLatin1Char('%');
        quoted += c;
    }
    quoted += QLatin1Char('"');

    QString escaped;
    for (const QChar c : quoted) {
        if (c == QLatin1Char('\\'))
            escaped += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            escaped += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            escaped += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            escaped += QStringLiteral("\\r");
        else
            escaped += c;
    }
    return escaped;
}

bool XdgAutostartLoginItem::isEnabled() const
{
    // The user's file, when present, shadows every system-wide one of the same name.
    if (const Entry user = readEntry(userEntryPath()); user.present)
        return user.keys && isActive(*user.keys);
    for (const QString& dir : m_configDirs) {
        if (const Entry system = readEntry(dir + QStringLiteral("/autostart/") + kEntryName); system.present)
            return system.keys && isActive(*system.keys);
    }
    return false;
}

bool XdgAutostartLoginItem::registerItem()
{
    if (const Entry existing = readEntry(userEntryPath()); existing.present && !isOurs(existing))
        return false;
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=Rubbly\n"
                                        "Comment=Keeps an eye on the Trash\n"
                                        "Exec=%1\n"
                                        "Icon=" RUBBLY_APP_ID "\n"
                                        "Terminal=false\n"
                                        "X-GNOME-Autostart-enabled=true\n"
                                        "%2=true\n")
                             .arg(execValue(m_executablePath), kManagedKey);
    return writeFile(userEntryPath(), text);
}

bool XdgAutostartLoginItem::unregisterItem()
{
    if (const Entry existing = readEntry(userEntryPath()); existing.present) {
        if (!isOurs(existing))
            return false;
        if (!QFile::remove(userEntryPath()))
            return false;
    }
    if (!isEnabled())
        return true;
    // A packaged entry still starts us: shadow it rather than touch a file we do not own.
    return writeFile(
        userEntryPath(),
        QStringLiteral("[Desktop Entry]\nType=Application\nName=Rubbly\nHidden=true\n%1=true\n").arg(kManagedKey));
}

} // namespace rubbly
