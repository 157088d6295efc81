#include "ScratchFolder.h"

#include "FuzzCheck.h"
#include "TreeRemover.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>

namespace rubbly::fuzz {

const QByteArray& ScratchFolder::root()
{
    // Never destroyed, so the removal at exit can still use it.
    static const QByteArray* path = [] {
        const char* tmp = std::getenv("TMPDIR");
        QByteArray pattern = QByteArray(tmp && *tmp ? tmp : "/tmp") + "/rubbly-fuzz-XXXXXX";
        FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr);
        char canonical[PATH_MAX];
        FUZZ_CHECK(::realpath(pattern.constData(), canonical) != nullptr);
        return new QByteArray(canonical);
    }();
    static const bool removedAtExit = std::atexit([] { TreeRemover().remove(*path); }) == 0;
    Q_UNUSED(removedAtExit);
    return *path;
}

ScratchFolder::ScratchFolder(const char* name)
    : m_path(root() + '/' + name)
{
    TreeRemover().remove(m_path); // left over by an input that aborted
    FUZZ_CHECK(::mkdir(m_path.constData(), 0700) == 0);
}

ScratchFolder::~ScratchFolder()
{
    FUZZ_CHECK(TreeRemover().remove(m_path).complete);
}

} // namespace rubbly::fuzz
