#pragma once

#include "FuzzCheck.h"
#include "ScratchFolder.h"

#include "JsonFileDefaultsStore.h"

#include <QFile>

#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace rubbly::fuzz {

// A defaults file holding `content`, in a fresh scratch folder, loaded the way the program loads
// its own (through the reader of files that others may write).
class DefaultsFile final {
public:
    explicit DefaultsFile(const QByteArray& content)
        : m_scratch("defaults")
        , m_path(m_scratch.path() + "/defaults.json")
    {
        const int fd = ::open(m_path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        FUZZ_CHECK(fd >= 0);
        FUZZ_CHECK(::write(fd, content.constData(), static_cast<std::size_t>(content.size())) == content.size());
        ::close(fd);
        m_store = std::make_unique<JsonFileDefaultsStore>(QFile::decodeName(m_path));
    }

    JsonFileDefaultsStore& store() { return *m_store; }

    // The file holding a single data value under `key`, as the program saves snapshots and records.
    static QByteArray holding(const QString& key, const QByteArray& data)
    {
        return JsonFileDefaultsStore::encodeFile({{key, DefaultsValue{data}}});
    }

private:
    ScratchFolder m_scratch;
    QByteArray m_path;
    std::unique_ptr<JsonFileDefaultsStore> m_store;
};

} // namespace rubbly::fuzz
