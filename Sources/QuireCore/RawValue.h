#pragma once

#include <QStringView>
#include <array>
#include <optional>

// Finds the case of an enumeration whose raw value is exactly `raw`
// (case-sensitive), searching `cases` in order. The enumeration provides
// `rawValue(E)` next to its declaration.
template <typename E, std::size_t N>
std::optional<E> caseWithRawValue(const std::array<E, N>& cases, QStringView raw) {
    for (E candidate : cases) {
        if (rawValue(candidate) == raw)
            return candidate;
    }
    return std::nullopt;
}
