#include "editor/EditorViewHooks.h"

namespace snapkin {

EditorViewHooks& EditorViewHooks::shared()
{
    static EditorViewHooks hooks;
    return hooks;
}

} // namespace snapkin
