#pragma once

#include <utility>
#include <variant>

// The outcome of an operation that can fail: a value, or an error value that
// says why. Errors travel as values up to the one message the user sees.
template <typename T, typename E> class Result {
public:
    Result(T value)
        : m_result(std::in_place_index<0>, std::move(value)) {}
    Result(E error)
        : m_result(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return m_result.index() == 0; }
    explicit operator bool() const { return ok(); }

    const T& value() const& { return std::get<0>(m_result); }
    T&& value() && { return std::get<0>(std::move(m_result)); }
    const E& error() const { return std::get<1>(m_result); }

private:
    std::variant<T, E> m_result;
};
