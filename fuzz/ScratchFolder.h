#pragma once

#include <QByteArray>

namespace rubbly::fuzz {

// A fresh, empty folder for one input, below a folder of this process's own in $TMPDIR (else /tmp).
// The destructor removes it without following links, whatever the input left in it. The path is
// canonical, so nothing on the way to it is a link.
class ScratchFolder final {
public:
    explicit ScratchFolder(const char* name);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const QByteArray& path() const { return m_path; }
    // The process's own folder that every scratch folder is made in; removed at exit.
    static const QByteArray& root();

private:
    QByteArray m_path;
};

} // namespace rubbly::fuzz
