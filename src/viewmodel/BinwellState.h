#pragma once

#include "TrashStatus.h"

#include <QString>

#include <variant>

namespace rubbly {

// What the Trash part of the interface shows. Equality compares the case and its payload.
class BinwellState final {
public:
    enum class Kind {
        Normal,           // the last scan succeeded; its status is shown
        Cleaning,         // emptying is under way; the status from its start is shown
        Success,          // emptying finished without failures; shown for two seconds
        Error,            // a user-visible error text
        Scanning,         // until the first scan ends
        PermissionDenied, // the Trash cannot be read for lack of permission
    };

    static BinwellState normal(TrashStatus status) { return BinwellState(Normal{std::move(status)}); }
    static BinwellState cleaning(TrashStatus status) { return BinwellState(Cleaning{std::move(status)}); }
    static BinwellState success(qint64 freedBytes) { return BinwellState(Success{freedBytes}); }
    static BinwellState error(QString text) { return BinwellState(Error{std::move(text)}); }
    static BinwellState scanning() { return BinwellState(Scanning{}); }
    static BinwellState permissionDenied() { return BinwellState(PermissionDenied{}); }

    Kind kind() const { return static_cast<Kind>(m_value.index()); }
    // The status of Normal and Cleaning; null otherwise.
    const TrashStatus* status() const;
    // The freed bytes of Success; 0 otherwise.
    qint64 freedBytes() const;
    // The text of Error; empty otherwise.
    QString errorText() const;

    bool operator==(const BinwellState&) const = default;

private:
    struct Normal {
        TrashStatus status;
        bool operator==(const Normal&) const = default;
    };
    struct Cleaning {
        TrashStatus status;
        bool operator==(const Cleaning&) const = default;
    };
    struct Success {
        qint64 freedBytes = 0;
        bool operator==(const Success&) const = default;
    };
    struct Error {
        QString text;
        bool operator==(const Error&) const = default;
    };
    struct Scanning {
        bool operator==(const Scanning&) const = default;
    };
    struct PermissionDenied {
        bool operator==(const PermissionDenied&) const = default;
    };
    // Alternatives in the order of Kind.
    using Value = std::variant<Normal, Cleaning, Success, Error, Scanning, PermissionDenied>;

    explicit BinwellState(Value value)
        : m_value(std::move(value))
    {
    }
    Value m_value;
};

} // namespace rubbly
