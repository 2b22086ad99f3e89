#pragma once

#include "model/Annotation.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QUuid>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class QPainter;

namespace snapkin {

// Pictures of very long pen strokes for one view, made on a worker thread.
//
// Drawing a pen over hundreds of thousands of points takes a good part of a second (PenStroke):
// far more than a frame. So a view does not draw such a stroke itself. It asks here for a
// picture of the stroke at its scale, of the part the painter can reach; a worker draws a copy
// of the points into that picture in bands, top to bottom, and hands each band back on the
// view's thread as it is done (`ready`), so the stroke appears within a few turns while the
// editor stays responsive. Until a band has come, that part is drawn from an earlier picture
// of the same stroke (another zoom or area, or from before the stroke was moved), stretched and
// shifted, when there is one.
//
// Coordinates: a picture lies in the stroke's points times the painter's scale (device pixels
// without the painter's offset), so scrolling needs no new picture where the old one reaches.
//
// Threads: everything but a job's drawing runs on the owner's thread. A job works on its own
// copy of the points (immutable, implicitly shared) and shares with the owner only its
// cancellation flag (atomic) and the queues of jobs and finished bands (under one mutex); a
// queued call tells the owner that bands wait. The destructor cancels every job and joins the
// worker.
class StrokePictures : public QObject {
    Q_OBJECT
public:
    explicit StrokePictures(QObject* parent = nullptr);
    ~StrokePictures() override;

    // Strokes of at least this many points are drawn from pictures (fewer take a frame or less).
    static constexpr qsizetype minPoints = 20'000;
    // Rows per band a job hands back at a time.
    static constexpr int bandHeight = 256;
    // Pictures kept: the current ones of a few strokes and an earlier one to stand in.
    static constexpr int maxPictures = 3;
    // A picture larger than this is not made (the caller draws the stroke itself).
    static constexpr qint64 maxPixels = 40'000'000;

    // Draws the pen annotation `a` (opaque `color`, a line of `width` points) on `painter` from
    // its picture at the painter's scale, asking for one when there is none. False when it
    // cannot (a rotated or sheared painter, a picture too large): the caller then draws it.
    bool draw(QPainter& painter, const Annotation& a, const QColor& color, double width);

    // True while a job is making a picture.
    bool busy() const;
    // Cancels every job and forgets every picture.
    void clear();

signals:
    // A band of a stroke's picture arrived: `area` in points, to be drawn again.
    void ready(const QRectF& area);

private:
    struct Job {
        std::atomic<bool> cancelled{false};
    };
    // What a job is to draw: its own copies.
    struct Task {
        std::shared_ptr<Job> job;
        QList<QPointF> points;
        QRgb color = 0;
        double width = 0;
        double scale = 0;
        QRect area;
    };
    struct Arrival {
        std::shared_ptr<Job> job;
        QRect rect;
        QImage image;
    };
    // Shared by the owner and its worker, all under `mutex`.
    struct Queues {
        std::mutex mutex;
        std::condition_variable wake;
        std::deque<Task> tasks;
        std::vector<Arrival> arrivals;
        StrokePictures* owner = nullptr; // told when bands wait; null once it is going
        bool stopping = false;
    };
    struct Band {
        QRect rect; // in the picture's scaled coordinates
        QImage image;
    };
    struct Picture {
        QUuid id;
        QList<QPointF> points;
        QRgb color = 0;
        double width = 0;
        double scale = 0;
        QRectF pointBounds; // of the points, with the pen's reach
        QRect area;         // the part pictured, in scaled coordinates
        std::vector<Band> bands;
        int bandsDue = 0;
        std::shared_ptr<Job> job; // while bands are still to come
        quint64 used = 0;
        bool sameStroke(const Annotation& a, QRgb c, double w) const
        {
            return id == a.id && color == c && width == w && points == a.points;
        }
        // How far the stroke `a` lies from this picture's points when it is the same stroke
        // moved (as a drag or an undo leaves it), zero when unmoved; none for another stroke.
        std::optional<QPointF> offsetTo(const Annotation& a, QRgb c, double w) const;
        bool complete() const { return int(bands.size()) == bandsDue; }
    };

    Picture& start(const Annotation& a, QRgb color, double width, double scale, QRect area,
                   QRectF pointBounds);
    // Takes the bands that wait (called on the owner's thread, queued by the worker).
    Q_INVOKABLE void drain();
    void arrived(const std::shared_ptr<Job>& job, const QRect& rect, const QImage& image);
    static void drawBands(QPainter& painter, const Picture& picture, const QRegion& where);
    static void work(const std::shared_ptr<Queues>& queues);

    std::vector<Picture> m_pictures;
    quint64 m_clock = 0;
    std::shared_ptr<Queues> m_queues;
    std::thread m_worker; // started with the first job
};

} // namespace snapkin
