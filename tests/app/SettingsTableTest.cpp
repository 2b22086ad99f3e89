#include "platform/SettingsTable.h"
#include "capture/PostCaptureRouter.h"
#include "capture/hotkeys/CaptureHotKey.h"
#include "grab/CaptureEngine.h"
#include "history/CaptureHistory.h"
#include "platform/Defaults.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace snapkin;
using platform::Defaults;
using platform::SettingsTable;

// The table's defaults are what the application registers: a refused value then reads as what
// the rest of the code expects for a missing one.
TEST(SettingsTable, DeclaresTheDefaultsTheApplicationRegisters)
{
    QTemporaryDir dir;
    Defaults settings(dir.filePath(QStringLiteral("settings.json")));
    PostCaptureRouter(settings).registerDefaults();
    CaptureHistory history(dir.filePath(QStringLiteral("History")), settings);
    CaptureEngine::registerDefaults();
    CaptureHotKey::registerDefaults();

    int compared = 0;
    for (Defaults* store : {&settings, &Defaults::standard()}) {
        for (const auto& spec : SettingsTable::all()) {
            const QVariant registered = store->object(QString::fromLatin1(spec.key));
            if (!registered.isValid() || store->hasStoredValue(QString::fromLatin1(spec.key)))
                continue;
            ++compared;
            const QJsonValue json = Defaults::toJson(registered);
            EXPECT_TRUE(SettingsTable::accepts(spec, json, registered)) << spec.key;
            if (spec.defaultValue.isValid()) {
                EXPECT_EQ(Defaults::toJson(spec.defaultValue), json) << spec.key;
            }
        }
    }
    // The router's four, history's two, the engine's three and three per hot key.
    EXPECT_GE(compared, 4 + 2 + 3 + 3 * 6);
}
