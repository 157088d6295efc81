#pragma once

#include <QString>

// The names the desktop, the session bus, the update host and stored files know the program by.
// Each is written here once; changing one changes what other programs see.

// The application id as a string literal, for the places that need one at compile time (logging
// categories, libcanberra's properties): `RUBBLY_APP_ID ".Sound"`.
#define RUBBLY_APP_ID "com.tolvik.Rubbly"

namespace rubbly {

// The program's name where a person reads it: notifications, the tray item's title, window titles.
inline const QString kAppName = QStringLiteral("Rubbly");
// The bus name, desktop-file id, icon name and sound-event application id.
inline const QString kAppId = QStringLiteral(RUBBLY_APP_ID);
// The object path of the single-instance interface.
inline const QString kAppObjectPath = QStringLiteral("/com/tolvik/Rubbly");
// The monochrome tray icon's theme name and the two icons as built-in resources.
inline const QString kSymbolicIconName = QStringLiteral(RUBBLY_APP_ID "-symbolic");
inline const QString kAppIconResource = QStringLiteral(":/icons/" RUBBLY_APP_ID ".svg");
inline const QString kSymbolicIconResource = QStringLiteral(":/icons/" RUBBLY_APP_ID "-symbolic.svg");
// The folder name of the self-updating application folder, and of the one an update unpacks.
inline const QString kApplicationFolderName = QStringLiteral("Rubbly.app");
// The update archive's path on the update host, and the user agent of every request to it.
inline const QString kUpdateArchivePath = QStringLiteral("downloads/Rubbly.zip");
inline constexpr char kUserAgent[] = "Rubbly-App";
// The project's public page and how the About pane names it.
inline const QString kProjectUrl = QStringLiteral("https://codeberg.org/tolvik/rubbly");
inline const QString kProjectName = QStringLiteral("tolvik/rubbly");

} // namespace rubbly
