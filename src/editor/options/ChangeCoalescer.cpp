#include "editor/options/ChangeCoalescer.h"

#include <utility>

namespace snapkin {

ChangeCoalescer::ChangeCoalescer(Clock clock) : m_clock(std::move(clock))
{
    if (!m_clock) m_clock = [] { return std::chrono::steady_clock::now(); };
}

bool ChangeCoalescer::opensStep()
{
    const auto now = m_clock();
    const bool opens = !m_last || now - *m_last > window;
    m_last = now;
    return opens;
}

} // namespace snapkin
