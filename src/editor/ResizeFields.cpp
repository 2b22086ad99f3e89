#include "editor/ResizeFields.h"

#include <cmath>

namespace snapkin {

namespace {

// Far beyond any size that can be applied, and exact as a double: a partner derived from an
// absurd typed number stops here instead of overflowing.
constexpr double largestDerived = 1e15;

qint64 derived(double value)
{
    const double rounded = std::round(value); // halves away from zero
    if (!(rounded < largestDerived)) return qint64(largestDerived);
    return std::max<qint64>(1, qint64(rounded));
}

} // namespace

ResizeFields::ResizeFields(QSize original, double pixelScale)
    : m_original(original),
      m_pixelScale(std::isfinite(pixelScale) ? std::max(1.0, pixelScale) : 1.0),
      m_width(original.width()), m_height(original.height())
{
}

double ResizeFields::ratio() const
{
    if (m_original.height() <= 0 || m_original.width() <= 0) return 1.0;
    return double(m_original.width()) / double(m_original.height());
}

void ResizeFields::typeWidth(qint64 width)
{
    m_width = width;
    if (m_lockRatio) m_height = derived(double(width) / ratio());
}

void ResizeFields::typeHeight(qint64 height)
{
    m_height = height;
    if (m_lockRatio) m_width = derived(double(height) * ratio());
}

void ResizeFields::setLockRatio(bool locked)
{
    if (locked == m_lockRatio) return;
    m_lockRatio = locked;
    if (locked) m_height = derived(double(m_width) / ratio());
}

void ResizeFields::applyPercent(int percent)
{
    // Integer division truncates toward zero.
    m_width = std::max<qint64>(1, qint64(m_original.width()) * percent / 100);
    m_height = std::max<qint64>(1, qint64(m_original.height()) * percent / 100);
}

bool ResizeFields::isChange() const
{
    return m_width > 0 && m_height > 0 &&
           (m_width != m_original.width() || m_height != m_original.height());
}

bool ResizeFields::isTooLarge() const
{
    if (m_width > maxSide || m_height > maxSide) return true;
    // Only positive sides of at most maxSide reach the product, so it cannot overflow.
    return m_width > 0 && m_height > 0 && m_width * m_height > maxPixels;
}

bool ResizeFields::isTooSmall() const
{
    return m_width / m_pixelScale < 1 || m_height / m_pixelScale < 1;
}

bool ResizeFields::canApply() const
{
    return isChange() && !isTooLarge() && !isTooSmall();
}

} // namespace snapkin
