#pragma once

#include <QLatin1String>
#include <QString>
#include <QStringView>

#include <algorithm>
#include <array>
#include <concepts>
#include <cstddef>
#include <optional>
#include <string_view>

namespace snapkin {

// Every enumeration that is stored by name specialises EnumTable next to its declaration:
//
//     template <> struct EnumTable<Tool> {
//         static constexpr std::array cases{Tool::select, ...};          // declaration order
//         static constexpr std::array<std::string_view, 16> names{"select", ...};
//     };
//
// The stored (raw) name of a case is the case name; the generic functions below read and
// write it, so each enumeration states its names once.
template <typename E> struct EnumTable;

template <typename E>
concept NamedEnum = requires
{
    EnumTable<E>::cases;
    EnumTable<E>::names;
}
&&EnumTable<E>::cases.size() == EnumTable<E>::names.size();

// All cases in declaration order.
template <NamedEnum E> inline constexpr auto allCases = EnumTable<E>::cases;

// The stored name of a case.
template <NamedEnum E> QString toRaw(E value)
{
    const auto& cases = EnumTable<E>::cases;
    const auto found = std::ranges::find(cases, value);
    if (found == cases.end()) return {};
    const std::string_view name = EnumTable<E>::names[std::size_t(found - cases.begin())];
    return QString::fromLatin1(name.data(), qsizetype(name.size()));
}

// The case whose name equals `text` exactly (case-sensitive), or nothing.
template <NamedEnum E> std::optional<E> fromRaw(QStringView text)
{
    const auto& names = EnumTable<E>::names;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (text == QLatin1String(names[i].data(), qsizetype(names[i].size())))
            return EnumTable<E>::cases[i];
    }
    return std::nullopt;
}

} // namespace snapkin
