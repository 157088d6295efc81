#pragma once

#include <QByteArray>
#include <QHash>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace rubbly {

// Runs looks that may never come back on detached threads of their own and waits for each at most a
// deadline. A stat on a dying disk, or on a FUSE mount whose daemon has stopped, sleeps in the kernel
// where no thread can be cancelled: the caller gives up on it instead, and the thread is left to
// return whenever the kernel lets it.
//
// A look that has not returned stays in flight under its key, and a later call for the same key shares
// it instead of starting another: it waits only until that look's own deadline, which for a look that
// missed it lies in the past. So a place that stops answering costs one blocked thread for as long as
// it does, its first caller the deadline once, and every later caller nothing; once the look returns,
// the next call looks again.
//
// Thread-safe. The threads keep what they use alive, the prober included: it may be destroyed, and the
// process may end, while a look is still blocked.
template <typename T> class DeadlineProber final {
public:
    enum class Outcome {
        Answered,     // the look returned within its deadline; value holds its result
        NotAnswering, // it did not (or an earlier look at the key, still in flight, missed its deadline)
        NoThread,     // no thread could be started for it, so nothing was looked at
    };
    struct Probe {
        Outcome outcome = Outcome::NotAnswering;
        // The look's result when it answered; none when it ended by an exception.
        std::optional<T> value;
    };

    explicit DeadlineProber(std::chrono::milliseconds deadline)
        : m_deadline(deadline)
    {
    }

    // True while a look at `key` that missed its deadline has not returned.
    bool isOverdue(const QByteArray& key) const
    {
        std::lock_guard lock(m_shared->mutex);
        const std::shared_ptr<Call> call = m_shared->calls.value(key);
        return call && std::chrono::steady_clock::now() >= call->deadline;
    }

    struct Call;
    // A look started (or joined) and not yet waited for; empty when no thread could be started.
    using Ticket = std::shared_ptr<Call>;

    // Starts `look` for `key` on a detached thread, or joins the look at `key` in flight, without
    // waiting. `look` must own everything it uses: it may outlive the caller.
    Ticket start(const QByteArray& key, std::function<T()> look)
    {
        std::lock_guard lock(m_shared->mutex);
        Ticket call = m_shared->calls.value(key);
        if (call)
            return call;
        call = std::make_shared<Call>();
        call->deadline = std::chrono::steady_clock::now() + m_deadline;
        try {
            // The thread takes the lock before it records anything, so it finds its call listed.
            std::thread(finish, m_shared, key, call, std::move(look)).detach();
        } catch (const std::system_error&) {
            return {};
        }
        m_shared->calls.insert(key, call);
        return call;
    }

    // Waits for a started look until its deadline. Looks started together are waited for together:
    // several volumes that do not answer cost one deadline, not one each.
    Probe wait(const Ticket& call)
    {
        if (!call)
            return Probe{Outcome::NoThread, std::nullopt};
        std::unique_lock lock(m_shared->mutex);
        m_shared->done.wait_until(lock, call->deadline, [&call] { return call->finished; });
        if (!call->finished)
            return Probe{Outcome::NotAnswering, std::nullopt};
        return Probe{Outcome::Answered, call->value};
    }

    struct Call {
        std::chrono::steady_clock::time_point deadline;
        bool finished = false;
        std::optional<T> value;
    };

private:
    struct Shared {
        mutable std::mutex mutex;
        std::condition_variable done;
        QHash<QByteArray, std::shared_ptr<Call>> calls;
    };

    static void finish(std::shared_ptr<Shared> shared, QByteArray key, std::shared_ptr<Call> call,
                       std::function<T()> look)
    {
        std::optional<T> value;
        try {
            value.emplace(look());
        } catch (...) {
            // A look that fails is still an answer: the place replied, with nothing usable.
        }
        std::lock_guard lock(shared->mutex);
        call->value = std::move(value);
        call->finished = true;
        if (shared->calls.value(key) == call)
            shared->calls.remove(key);
        shared->done.notify_all();
    }

    std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();
    std::chrono::milliseconds m_deadline;
};

} // namespace rubbly
