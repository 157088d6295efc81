#pragma once

#include <QByteArray>

#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace rubbly::test {

// Resources running out, for tests of what happens then. A full disk is a small tmpfs (MountGuard,
// in the private mount namespace) filled by fillDisk(); a low descriptor limit is a
// DescriptorLimit for the scope of one test.

// Writes `path` until the file system has no room left, and returns the bytes written. Remove the
// file to free the space again.
inline qint64 fillDisk(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    const QByteArray block(64 * 1024, 'x');
    qint64 total = 0;
    for (qsizetype size = block.size(); size > 0;) {
        const ssize_t n = ::write(fd, block.constData(), static_cast<size_t>(size));
        if (n > 0)
            total += n;
        else if (errno == ENOSPC)
            size /= 2; // fill the last partial block too
        else if (errno != EINTR)
            break;
    }
    ::close(fd);
    return total;
}

// Lowers this process's soft limit of open descriptors for its lifetime.
class DescriptorLimit final {
public:
    explicit DescriptorLimit(rlim_t soft)
    {
        ::getrlimit(RLIMIT_NOFILE, &m_old);
        rlimit lowered = m_old;
        lowered.rlim_cur = soft;
        m_ok = ::setrlimit(RLIMIT_NOFILE, &lowered) == 0;
    }
    ~DescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &m_old); }
    DescriptorLimit(const DescriptorLimit&) = delete;
    DescriptorLimit& operator=(const DescriptorLimit&) = delete;
    bool ok() const { return m_ok; }

private:
    rlimit m_old{};
    bool m_ok = false;
};

} // namespace rubbly::test
