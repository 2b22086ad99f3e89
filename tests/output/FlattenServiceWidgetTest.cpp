#include "model/AnnotationStore.h"
#include "output/FlattenService.h"
#include "ui/output/FlattenAlert.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

using namespace snapkin;

TEST(FlattenAlert, AnEmptyImageShowsTheAlertAndGivesNothing)
{
    AnnotationStore store{platform::BaseImage()};
    QString text;
    QString informative;
    QStringList buttons;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box || !box->isVisible()) continue;
            text = box->text();
            informative = box->informativeText();
            for (QAbstractButton* b : box->buttons())
                buttons << b->text();
            box->accept();
        }
    });
    const auto result = flattenOrAlert(store);
    EXPECT_FALSE(result.has_value());
    EXPECT_EQ(text, QStringLiteral("Couldn't prepare the image"));
    EXPECT_TRUE(informative.startsWith(QStringLiteral("The image couldn't be rendered")));
    EXPECT_EQ(buttons, QStringList{QStringLiteral("OK")});
}
