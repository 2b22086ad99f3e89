#pragma once

// Helpers shared by the canvas view's widget tests.

#include "model/AnnotationStore.h"
#include "platform/BaseImage.h"
#include "ui/canvas/CanvasView.h"

#include <QImage>
#include <QTest>

#include <memory>

namespace snapkin::canvastest {

inline platform::BaseImage plainImage(QSize pixels = {400, 300},
                                      std::optional<QSizeF> points = std::nullopt)
{
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(236, 240, 244));
    return platform::BaseImage(image, points);
}

// A store over a plain image with a canvas view on it.
struct CanvasFixture {
    std::unique_ptr<AnnotationStore> store;
    std::unique_ptr<CanvasView> view;

    explicit CanvasFixture(Tool tool = Tool::select, platform::BaseImage image = plainImage())
        : store(std::make_unique<AnnotationStore>(std::move(image))),
          view(std::make_unique<CanvasView>(*store))
    {
        store->activate(tool);
    }

    void drag(QPoint from, QPoint to, int steps = 4)
    {
        QTest::mousePress(view.get(), Qt::LeftButton, {}, from);
        for (int i = 1; i <= steps; ++i)
            QTest::mouseMove(view.get(), from + (to - from) * i / steps);
        QTest::mouseRelease(view.get(), Qt::LeftButton, {}, to);
    }

    void click(QPoint at) { QTest::mouseClick(view.get(), Qt::LeftButton, {}, at); }

    // What the window system sends for a double click: press, release, double-click, release.
    void doubleClick(QPoint at)
    {
        QTest::mouseClick(view.get(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view.get(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(view.get(), Qt::LeftButton, {}, at);
    }

    // Adds an annotation as a document would bring it: no undo step.
    Annotation add(Annotation annotation)
    {
        store->appendAnnotation(annotation);
        return annotation;
    }

    const Annotation& only() const { return store->annotations().constFirst(); }
};

} // namespace snapkin::canvastest
