#pragma once

#include <QByteArray>

namespace rubbly {

// `path` with repeated and trailing slashes dropped and "." and ".." resolved by name, as exact bytes;
// empty for a path that is not absolute.
QByteArray tidyAbsolutePath(const QByteArray& path);

// Whether the absolute, tidied folder `base` may serve as an XDG base directory for the user whose
// home is `home`: false for '/', the home itself and any folder holding it, by name or by identity
// (another spelling through a link). Programs put their own folders straight below a base
// ("pip", "yarn", "JetBrains"), so a base that is the home or above it would make the user's own
// folders of those names look like caches and configuration.
bool isUsableXdgBase(const QByteArray& base, const QByteArray& home);

// The folder the XDG base directory variable `variable` with the value `value` names, tidied, or
// empty when the caller must use the variable's default: the value is unset, empty, relative or not
// usable as above. The XDG Base Directory specification tells programs to ignore an invalid value;
// each value set but ignored is logged once per process.
QByteArray usableXdgBase(const char* variable, const QByteArray& value, const QByteArray& home);

} // namespace rubbly
