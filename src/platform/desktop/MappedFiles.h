#pragma once

#include <QByteArray>

#include <functional>

namespace rubbly {

// The files this process has mapped into memory, as /proc/self/maps lists them.
namespace mappedfiles {

// Gives back the resident pages of every read-only mapping of a file whose path `matches`: they
// are clean copies of the file, so the next read simply maps them again from the page cache. The
// font files that FreeType maps stay mapped for as long as Qt caches their font engines, which is
// the whole run, and every glyph ever drawn keeps its pages counted as ours. Returns the KiB that
// were resident in those mappings.
long dropPages(const std::function<bool(const QByteArray& path)>& matches);

// True for the file types fonts come in (TrueType, OpenType and their collections, Type 1, PCF).
bool isFontFile(const QByteArray& path);

// True for shared libraries ("libfoo.so", "libfoo.so.6.4.2"): the code and constants the panel's
// drawing ran through stay resident after it is gone.
bool isSharedLibrary(const QByteArray& path);

// KiB resident in the mappings of files whose path `matches`.
long residentKiB(const std::function<bool(const QByteArray& path)>& matches);

} // namespace mappedfiles

} // namespace rubbly
