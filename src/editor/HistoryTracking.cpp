#include "editor/HistoryTracking.h"

namespace snapkin {

HistoryTracking& HistoryTracking::none()
{
    class NoHistory final : public HistoryTracking {
    public:
        void track(AnnotationStore&, const QString&, std::optional<QUuid>, bool) override {}
        void editorWillClose(AnnotationStore&) override {}
        void record(const platform::BaseImage&, const QString&) override {}
    };
    static NoHistory nothing;
    return nothing;
}

} // namespace snapkin
