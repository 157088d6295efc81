#pragma once

#include <QByteArray>
#include <QByteArrayList>

namespace rubbly {

// The local paths among the dropped items of a text/uri-list, in order, as exact bytes: only file
// URLs of this machine count; other URLs, comments and malformed lines are skipped. What it gives is
// what a drop moves to the Trash, so a line that could name another file than the sender meant is
// dropped whole, never guessed at.
QByteArrayList localPathsFromUriList(const QByteArray& uriList);

} // namespace rubbly
