#include "editor/HistoryTracking.h"

namespace snapkin {

namespace {

class NoHistory final : public HistoryTracking {
public:
    void track(AnnotationStore&, const QString&, std::optional<QUuid>, bool) override {}
    void editorWillClose(AnnotationStore&) override {}
    void record(const platform::BaseImage&, const QString&) override {}
};

HistoryTracking* g_installed = nullptr;

} // namespace

HistoryTracking& HistoryTracking::shared()
{
    static NoHistory none;
    return g_installed ? *g_installed : none;
}

void HistoryTracking::install(HistoryTracking* history)
{
    g_installed = history;
}

} // namespace snapkin
