#pragma once

#include <QEventLoop>

#include <QCoroTask>

#include <optional>

namespace rubbly {

namespace detail {
template <typename T> QCoro::Task<void> completeInto(QCoro::Task<T> task, std::optional<T>& result, QEventLoop& loop)
{
    result.emplace(co_await std::move(task));
    loop.quit();
}

inline QCoro::Task<void> completeVoid(QCoro::Task<void> task, bool& done, QEventLoop& loop)
{
    co_await std::move(task);
    done = true;
    loop.quit();
}
} // namespace detail

// Runs a nested event loop until `task` completes and returns its value. For the command line and
// tests only: the GUI never blocks on a task. Unlike QCoro::waitFor() it needs no default constructor.
template <typename T> T blockingWait(QCoro::Task<T> task)
{
    std::optional<T> result;
    QEventLoop loop;
    auto waiter = detail::completeInto(std::move(task), result, loop);
    if (!result)
        loop.exec();
    return std::move(*result);
}

inline void blockingWait(QCoro::Task<void> task)
{
    bool done = false;
    QEventLoop loop;
    auto waiter = detail::completeVoid(std::move(task), done, loop);
    if (!done)
        loop.exec();
}

} // namespace rubbly
