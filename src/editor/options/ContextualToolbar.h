#pragma once

#include "editor/options/OptionGroups.h"
#include "model/Tool.h"

#include <QStringList>
#include <QWidget>

#include <array>
#include <optional>

class QScrollArea;

namespace snapkin {

class AnnotationStore;

// The options bar above an editor page's canvas: one row of controls for what the user is
// working on. While a crop is in progress it shows the crop controls; otherwise the options
// of the current tool, or under the select tool those of the tool that made the selected
// annotation; with nothing to show, a one-line hint at full density and nothing narrower.
//
// It adapts to its width through three densities. The content is built once for each density
// whenever what the bar shows changes (crop mode, the options tool); the bar then shows the
// first of the `full`, `compact` and `overflow` rows whose size hint fits inside the side
// padding, else the `overflow` row scrolling sideways without a scroll bar. Resizing only
// switches between the rows built, and a store signal that does not change what is shown
// rebuilds nothing: the controls follow the store themselves, so a slider being dragged is
// never deleted by the values it writes.
//
// While the frame tool's bar is shown, every change of the document's frame and watermark is
// remembered for new captures (showing the bar writes nothing).
class ContextualToolbar : public QWidget {
    Q_OBJECT
public:
    using Density = OptionsDensity;
    static constexpr int barHeight = 44;
    static constexpr int sidePadding = 14;
    static constexpr int itemSpacing = 12;

    // The editor's own option groups, the style menus over `library` (which must outlive the
    // bar).
    ContextualToolbar(AnnotationStore& store, SavedStyles& library, QWidget* parent = nullptr);
    ContextualToolbar(AnnotationStore& store, OptionGroups groups, QWidget* parent = nullptr);

    // The tool whose options are shown for `store`: the current tool unless it is the select
    // tool, else the tool that makes the selected annotation's kind; none without a selection.
    static std::optional<Tool> optionsTool(const AnnotationStore& store);

    // The nine preset colours of the style group, as hex texts in the order it shows them.
    static const QStringList& palette();

    // The density shown now, and whether its row scrolls because even `overflow` is too wide.
    Density density() const { return m_density; }
    bool isScrolling() const { return m_scrolling; }
    // The row built for a density (the row for `overflow` sits in the scroll area).
    QWidget* row(Density density) const { return m_rows[index(density)]; }
    QScrollArea* scrollArea() const { return m_scroll; }

    QSize sizeHint() const override { return {2 * sidePadding, barHeight}; }
    QSize minimumSizeHint() const override { return {0, barHeight}; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What the rows show; a change of it is the only reason to rebuild them.
    struct Content {
        bool cropping = false;
        std::optional<Tool> tool;
        bool imageToolActive = false; // only the image tool's own hint depends on it
        bool operator==(const Content&) const = default;
    };

    static constexpr std::size_t index(Density density) { return std::size_t(density); }
    Content currentContent() const;
    void refresh();
    void rebuild();
    QWidget* buildRow(Density density);
    QWidget* buildGroup(Density density, QWidget* parent);
    void chooseDensity();
    void scheduleChoice();

    AnnotationStore& m_store;
    const OptionGroups m_groups;
    std::optional<Content> m_content;
    std::array<QWidget*, 3> m_rows{};
    QScrollArea* m_scroll = nullptr;
    Density m_density = Density::full;
    bool m_scrolling = false;
    bool m_choicePending = false;
    QObject* m_remembering = nullptr;
};

} // namespace snapkin
