#pragma once

#include <cassert>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace base {

// Why something failed, in words for the person who asked: it names the file, the line, the port
// or the server, and the reason the system gave.
struct Failure
{
    std::string reason;
};

inline Failure fail(std::string reason)
{
    return Failure{std::move(reason)};
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

    // The reason; only for a failure.
    [[nodiscard]] const std::string &error() const
    {
        assert(!ok());
        return std::get<1>(m_state).reason;
    }

private:
    std::variant<T, Failure> m_state;
};

// Done, or the reason it was not.
template <> class [[nodiscard]] Result<void>
{
public:
    Result() = default;
    Result(Failure failure) : m_failed(true), m_reason(std::move(failure.reason)) {}

    [[nodiscard]] bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }

    [[nodiscard]] const std::string &error() const
    {
        assert(!ok());
        return m_reason;
    }

private:
    bool m_failed = false;
    std::string m_reason;
};

using Status = Result<void>;

} // namespace base
