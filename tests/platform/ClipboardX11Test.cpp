#include "platform/ClipboardOffer.h"
#include "platform/ClipboardTransfer.h"
#include "support/ClipboardOwner.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using snapkin::platform::ClipboardOffer;
using snapkin::platform::ClipboardTransfer;
using snapkin::test::ClipboardOwner;

namespace {

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    QFile file(dir.filePath(name));
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return file.fileName();
}

} // namespace

TEST(ClipboardTransfer, ReadsTheOfferedFormatWholeAlsoWhenItComesInChunks)
{
    QTemporaryDir dir;
    // Larger than one X request: the owner sends it through the incremental protocol.
    QByteArray bytes(6 << 20, Qt::Uninitialized);
    QRandomGenerator generator(7);
    generator.fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
    ClipboardOwner owner(writeFile(dir, QStringLiteral("big"), bytes),
                         QStringLiteral("image/x-test"));
    ASSERT_TRUE(owner.holdsClipboard());

    const auto targets = ClipboardTransfer::targets(QDeadlineTimer(2000));
    ASSERT_TRUE(targets);
    EXPECT_TRUE(targets->contains(QStringLiteral("image/x-test")));

    const auto read =
        ClipboardTransfer::read({QStringLiteral("image/png"), QStringLiteral("image/x-test")},
                                QDeadlineTimer(5000), 8 << 20);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->format, QStringLiteral("image/x-test"));
    EXPECT_TRUE(read->bytes == bytes);

    // A format the owner doesn't offer is never asked for.
    const auto absent =
        ClipboardTransfer::read({QStringLiteral("image/png")}, QDeadlineTimer(2000), 1 << 20);
    ASSERT_FALSE(absent);
    EXPECT_EQ(absent.error(), ClipboardTransfer::Error::noFormat);
    // More than allowed is refused, not cut short. (Last: xclip gives up when the transfer
    // is abandoned.)
    const auto capped =
        ClipboardTransfer::read({QStringLiteral("image/x-test")}, QDeadlineTimer(5000), 1 << 20);
    ASSERT_FALSE(capped);
    EXPECT_EQ(capped.error(), ClipboardTransfer::Error::tooLarge);
}

TEST(ClipboardTransfer, AStoppedOwnerCostsTheDeadlineAndNoMore)
{
    QTemporaryDir dir;
    ClipboardOwner owner(writeFile(dir, QStringLiteral("small"), "abc"),
                         QStringLiteral("image/png"));
    ASSERT_TRUE(owner.holdsClipboard());
    owner.stop();

    QElapsedTimer clock;
    clock.start();
    const auto read =
        ClipboardTransfer::read({QStringLiteral("image/png")}, QDeadlineTimer(1000), 1 << 20);
    ASSERT_FALSE(read);
    EXPECT_EQ(read.error(), ClipboardTransfer::Error::timedOut);
    // The deadline and not a second one: the margin is for a loaded machine.
    EXPECT_LT(clock.elapsed(), 2000);
}

TEST(ClipboardOffer, FollowsTheOwnerAsTheClipboardChangesHands)
{
    QTemporaryDir dir;
    ClipboardOffer& offer = ClipboardOffer::shared();
    {
        ClipboardOwner image(writeFile(dir, QStringLiteral("a"), "png bytes"),
                             QStringLiteral("image/png"));
        ASSERT_TRUE(image.holdsClipboard());
        EXPECT_TRUE(QTest::qWaitFor([&] { return offer.offersImage(); }, 5000));
    }
    // The owner went away: nothing is offered.
    EXPECT_TRUE(QTest::qWaitFor([&] { return offer.targets().isEmpty(); }, 5000));

    ClipboardOwner text(writeFile(dir, QStringLiteral("b"), "some text"),
                        QStringLiteral("text/plain"));
    ASSERT_TRUE(text.holdsClipboard());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return offer.targets().contains(QStringLiteral("text/plain")); }, 5000));
    EXPECT_FALSE(offer.offersImage());
}
