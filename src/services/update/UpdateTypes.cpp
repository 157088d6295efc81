#include "UpdateTypes.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace rubbly {

UpdateStatus UpdateStatus::updateAvailable(UpdateInfo info)
{
    UpdateStatus status(Kind::UpdateAvailable);
    status.m_info = std::move(info);
    return status;
}

UpdateStatus UpdateStatus::downloading(double progress, UpdateInfo info)
{
    UpdateStatus status(Kind::Downloading);
    status.m_progress = progress;
    status.m_info = std::move(info);
    return status;
}

UpdateStatus UpdateStatus::readyToInstall(QByteArray newAppPath, UpdateInfo info)
{
    UpdateStatus status(Kind::ReadyToInstall);
    status.m_newAppPath = std::move(newAppPath);
    status.m_info = std::move(info);
    return status;
}

UpdateStatus UpdateStatus::error(QString message, QString detail)
{
    UpdateStatus status(Kind::Error);
    status.m_message = std::move(message);
    status.m_detail = std::move(detail);
    return status;
}

namespace {

// Absent or null: fine (empty). Present with another type: the manifest is rejected.
bool optionalString(const QJsonObject& o, const char* key, std::optional<QString>& out)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined() || v.isNull())
        return true;
    if (!v.isString())
        return false;
    out = v.toString();
    return true;
}

} // namespace

QString stripVersion(QString version)
{
    const auto strip = [](QChar c) { return c == QLatin1Char('v') || c == QLatin1Char('V') || c.isSpace(); };
    while (!version.isEmpty() && strip(version.front()))
        version.remove(0, 1);
    while (!version.isEmpty() && strip(version.back()))
        version.chop(1);
    return version;
}

std::optional<RemoteVersionManifest> RemoteVersionManifest::decode(const QByteArray& json)
{
    // Qt's parser is iterative with a nesting limit and rejects invalid UTF-8 and oversized input,
    // so no body can make this crash or hang.
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject o = document.object();
    const QJsonValue version = o.value(QLatin1String("version"));
    if (!version.isString())
        return std::nullopt;
    RemoteVersionManifest manifest;
    manifest.version = version.toString();
    const QJsonValue build = o.value(QLatin1String("build"));
    if (!build.isUndefined() && !build.isNull()) {
        if (!build.isDouble() || std::trunc(build.toDouble()) != build.toDouble())
            return std::nullopt;
        manifest.build = build.toInteger();
    }
    if (!optionalString(o, "pubDate", manifest.pubDate) || !optionalString(o, "title", manifest.title) ||
        !optionalString(o, "releaseNotes", manifest.releaseNotes) ||
        !optionalString(o, "downloadURL", manifest.downloadURL) ||
        !optionalString(o, "releasePageURL", manifest.releasePageURL))
        return std::nullopt;
    return manifest;
}

} // namespace rubbly
