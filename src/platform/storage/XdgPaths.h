#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace rubbly::xdg {

// Base directories of the XDG Base Directory specification. A variable that is unset, empty or not an
// absolute path is ignored, as the specification requires, and the documented fallback is used; so is
// one naming '/', the home folder or a folder holding it (see isUsableXdgBase()).
QString home(const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());
QString configHome(const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());
QString dataHome(const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());
QString cacheHome(const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());
QString stateHome(const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());
QStringList configDirs(const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());
QStringList dataDirs(const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());

} // namespace rubbly::xdg
