#include "editor/EditorViewHooks.h"

namespace snapkin {

EditorViewHooks& EditorViewHooks::shared()
{
    static EditorViewHooks hooks;
    return hooks;
}

EditorRequests& EditorRequests::shared()
{
    static EditorRequests requests;
    return requests;
}

} // namespace snapkin
