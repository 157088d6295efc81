#pragma once

#include <unistd.h>

namespace rubbly {

// Owns one file descriptor and closes it.
class PosixFd final {
public:
    PosixFd() = default;
    explicit PosixFd(int fd)
        : m_fd(fd)
    {
    }
    ~PosixFd() { reset(); }
    PosixFd(PosixFd&& other) noexcept
        : m_fd(other.release())
    {
    }
    PosixFd& operator=(PosixFd&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    PosixFd(const PosixFd&) = delete;
    PosixFd& operator=(const PosixFd&) = delete;

    int get() const { return m_fd; }
    bool isValid() const { return m_fd >= 0; }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd = -1;
};

} // namespace rubbly
