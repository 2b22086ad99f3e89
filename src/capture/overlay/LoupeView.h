#pragma once

#include <QColor>
#include <QImage>
#include <QSizeF>
#include <QString>
#include <QWidget>

#include <optional>

namespace snapkin {

// The magnifier that follows the pointer while a region is selected: the 15 × 15 snapshot
// pixels around the pointer enlarged eight times with a grid and the centre pixel outlined, the
// centre pixel's colour as a swatch and as hex text, the pointer's position in snapshot pixels
// and, while a selection exists, the selection's size in pixels.
//
// A passive panel, 132 points wide and 170 high (186 with the size line), owned by a selection
// view that decides when it shows and where. It never takes the mouse: clicks go to the view
// below. It reads pixels only from the still snapshot it is handed, never from the screen.
class LoupeView : public QWidget {
public:
    static constexpr int patchSize = 15;
    static constexpr int zoom = 8;
    static constexpr int panelWidth = 132;
    static constexpr int heightWithoutSize = 170;
    static constexpr int heightWithSize = 186;

    explicit LoupeView(QWidget* parent = nullptr);

    // Samples `image` around pixel (x, y) (top-left origin, already inside the image) and
    // refreshes the texts; `selectionPixels` is the selection's size in pixels, if any.
    // Also fixes the panel's height.
    void updateFrom(const QImage& image, int x, int y, std::optional<QSizeF> selectionPixels);

    // Shows "Copied" in place of the colour for one second after the latest call.
    void flashCopied();

    // What the panel shows, for the selection view and for tests.
    const QImage& sample() const { return m_sample; }
    const std::optional<QString>& hex() const { return m_hex; }
    QColor swatch() const { return m_swatch; }
    const QString& positionText() const { return m_position; }
    const std::optional<QString>& sizeText() const { return m_size; }
    bool showsCopied() const { return m_copiedGeneration != 0; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_sample;
    std::optional<QString> m_hex;
    QColor m_swatch = Qt::transparent;
    QString m_position;
    std::optional<QString> m_size;
    // Non-zero while "Copied" shows; each copy takes a new number so that only the timer of
    // the latest copy clears it.
    quint64 m_copiedGeneration = 0;
    quint64 m_nextGeneration = 0;
};

} // namespace snapkin
