#include "FuzzTargets.h"

#include "TestPaths.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

// The seed corpora of the fuzzing programs, replayed through the same entry points: every
// reader of untrusted input must take each seed (valid files, damaged ones, and the hostile
// cases found while fuzzing) without a crash or a broken invariant.
class FuzzSeeds : public testing::TestWithParam<const char*> {};

TEST_P(FuzzSeeds, EverySeedIsReadWithoutFault)
{
    snapkin::fuzz::initialize();
    const auto target = snapkin::fuzz::targetNamed(GetParam());
    ASSERT_NE(target, nullptr);
    const QDir corpus(QStringLiteral(SNAPKIN_FUZZ_CORPUS "/") + QLatin1String(GetParam()));
    const QStringList seeds = corpus.entryList(QDir::Files, QDir::Name);
    ASSERT_GE(seeds.size(), 3) << qPrintable(corpus.path());
    for (const QString& name : seeds) {
        QFile file(corpus.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(name);
        SCOPED_TRACE(name.toStdString());
        target(file.readAll());
    }
}

INSTANTIATE_TEST_SUITE_P(Readers, FuzzSeeds,
                         testing::Values("document", "package", "render", "styles", "settings",
                                         "image"),
                         [](const auto& info) { return std::string(info.param); });
