#pragma once

#include <cassert>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace base {

// Why something failed, in words for the person who asked: it names the file, the line, the port
// or the server, and the reason the system gave.
// What kind of failure it is, named where it is found, so that a caller chooses what to do by the
// kind and never by the words.
enum class FailureKind {
    NotFound,     // nothing has that name or id
    Ambiguous,    // more than one thing fits what was given
    InvalidInput, // what was given does not read: a number, a date, an option
    Damaged,      // it is there but cannot be trusted: cut short, does not unpack, digest differs
    Unavailable,  // cannot be reached now: a lost connection, a server or port that does not answer
    TimedOut,     // it answered too late: a statement or a serial answer past its deadline
    Busy,         // too much is waiting already: asked again later, it may be done
    Internal,     // the program or the system it runs on let it down
};

struct Failure
{
    FailureKind kind;
    std::string reason;
};

inline Failure fail(FailureKind kind, std::string reason)
{
    return Failure{kind, std::move(reason)};
}

// A value, or the reason there is none. Every function of the program that can fail returns
// this; nothing is thrown and nothing is reported through an out-parameter.
template <class T> class [[nodiscard]] Result
{
public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Result(Failure failure) : m_state(std::in_place_index<1>, std::move(failure)) {}

    [[nodiscard]] bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }

    [[nodiscard]] T &value() &
    {
        assert(ok());
        return std::get<0>(m_state);
    }
    [[nodiscard]] const T &value() const &
    {
        assert(ok());
        return std::get<0>(m_state);
    }
    [[nodiscard]] T &&value() &&
    {
        assert(ok());
        return std::get<0>(std::move(m_state));
    }
    T *operator->() { return &value(); }
    const T *operator->() const { return &value(); }
    T &operator*() & { return value(); }
    const T &operator*() const & { return value(); }

    // The kind and the reason; only for a failure.
    [[nodiscard]] const Failure &failure() const
    {
        assert(!ok());
        return std::get<1>(m_state);
    }
    [[nodiscard]] FailureKind kind() const { return failure().kind; }
    [[nodiscard]] const std::string &error() const { return failure().reason; }

private:
    std::variant<T, Failure> m_state;
};

// Done, or the reason it was not.
template <> class [[nodiscard]] Result<void>
{
public:
    Result() = default;
    Result(Failure failure) : m_failure(std::move(failure)) {}

    [[nodiscard]] bool ok() const { return !m_failure; }
    explicit operator bool() const { return ok(); }

    [[nodiscard]] const Failure &failure() const
    {
        assert(!ok());
        return *m_failure;
    }
    [[nodiscard]] FailureKind kind() const { return failure().kind; }
    [[nodiscard]] const std::string &error() const { return failure().reason; }

private:
    std::optional<Failure> m_failure;
};

using Status = Result<void>;

} // namespace base
