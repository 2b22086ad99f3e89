#pragma once

#include <QAbstractButton>
#include <QString>

namespace snapkin {

// One choice of appearance in the General tab: a 68 × 44 preview of a miniature window in
// that look (the "system" tile shows light and dark halves), its title under it. The tile is
// checked while the stored appearance equals its value; a click chooses it.
class AppearanceTile : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int previewWidth = 68;
    static constexpr int previewHeight = 44;
    static constexpr int spacing = 5;

    AppearanceTile(QString value, const QString& title, QWidget* parent = nullptr);
    const QString& value() const { return m_value; }

    QSize sizeHint() const override;
    // The preview alone, as painted (for tests and screenshots).
    QImage preview(qreal dpr = 1.0) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void paintPreview(QPainter& painter, const QRectF& rect) const;
    QString m_value;
};

} // namespace snapkin
