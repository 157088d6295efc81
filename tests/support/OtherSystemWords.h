#pragma once

#include <QRegularExpression>

namespace rubbly::test {

// Names of the other operating system, its file manager, dock, keys, haptics and settings: none of
// them belongs on this program's screens, in any language. ("系统设置" would be the other system's
// settings application here; our texts call the desktop's settings by what they are.)
inline const QRegularExpression& otherSystemWords()
{
    static const QRegularExpression words(
        QStringLiteral("macOS|Mac OS|OS X|\\bMac\\b|Finder|访达|\\bDock\\b|Force Touch|触控板|触感|Launchpad|"
                       "Spotlight|iCloud|System Settings|System Preferences|系统设置|系统偏好设置|隐私与安全性|"
                       "Full Disk Access|完全磁盘访问|[⌘⌥⇧⌫]|Option \\+|Command \\+|(?-i:\\bApp\\b)(?! Store)"),
        QRegularExpression::CaseInsensitiveOption);
    return words;
}

} // namespace rubbly::test
