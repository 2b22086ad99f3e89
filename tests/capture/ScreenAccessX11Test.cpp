#include "grab/CaptureEngine.h"
#include "platform/ScreenAccess.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

bool screenReadable()
{
    QFuture<bool> answer = platform::ScreenAccess::check(&CaptureEngine::probeScreenCaptureAccess);
    EXPECT_TRUE(QTest::qWaitFor([&] { return answer.isFinished(); }, 10000));
    return answer.isFinished() && answer.result();
}

// Sets an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name), m_old(qgetenv(name))
    {
        m_had = qEnvironmentVariableIsSet(name);
        if (value)
            qputenv(name, value);
        else
            qunsetenv(name);
    }
    ~ScopedEnv()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    QByteArray m_old;
    bool m_had = false;
};

} // namespace

TEST(ScreenAccess, ReadableUnderAnXServerButNotInAWaylandSessionOrWithoutDisplay)
{
    EXPECT_TRUE(platform::ScreenAccess::sessionAllowsCapture());
    EXPECT_TRUE(screenReadable());
    {
        ScopedEnv wayland("WAYLAND_DISPLAY", "wayland-0");
        EXPECT_FALSE(screenReadable());
    }
    {
        ScopedEnv session("XDG_SESSION_TYPE", "wayland");
        EXPECT_FALSE(screenReadable());
    }
    {
        ScopedEnv noDisplay("DISPLAY", nullptr);
        EXPECT_FALSE(screenReadable());
    }
    EXPECT_TRUE(screenReadable());
}
