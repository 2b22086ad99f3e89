#include "editor/options/OptionGroups.h"

#include <array>
#include <cstddef>
#include <utility>

namespace snapkin {

namespace {

struct Registry {
    std::array<OptionGroupFactory, EnumTable<Tool>::cases.size()> tools;
    OptionGroupFactory crop;
};

Registry& registry()
{
    static Registry shared;
    return shared;
}

std::size_t slot(Tool tool)
{
    return static_cast<std::size_t>(tool);
}

} // namespace

OptionGroupFactory OptionGroups::setFactory(Tool tool, OptionGroupFactory factory)
{
    return std::exchange(registry().tools[slot(tool)], std::move(factory));
}

OptionGroupFactory OptionGroups::setCropFactory(OptionGroupFactory factory)
{
    return std::exchange(registry().crop, std::move(factory));
}

const OptionGroupFactory& OptionGroups::factory(Tool tool)
{
    return registry().tools[slot(tool)];
}

const OptionGroupFactory& OptionGroups::cropFactory()
{
    return registry().crop;
}

} // namespace snapkin
