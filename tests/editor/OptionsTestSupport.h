#pragma once

// Helpers shared by the options bar's widget tests.

#include "EditorViewTestSupport.h"
#include "editor/options/OptionGroups.h"
#include "model/SavedStyles.h"
#include "platform/Defaults.h"

#include <QLabel>
#include <QWidget>

#include <chrono>
#include <gtest/gtest.h>

namespace snapkin::editortest {

// A clock the test moves by hand.
struct ManualClock {
    std::chrono::steady_clock::time_point now{std::chrono::hours(1)};
    void advance(double seconds)
    {
        now += std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(seconds));
    }
    auto function()
    {
        return [this] { return now; };
    }
};

// Every test starts and ends with clean settings.
class OptionsTest : public ::testing::Test {
protected:
    // The saved styles the style groups and bars under test list and save to.
    SavedStyles styleLibrary{platform::Defaults::standard()};

    void SetUp() override { platform::Defaults::standard().removeAllStored(); }
    void TearDown() override { platform::Defaults::standard().removeAllStored(); }

    // A group that is a label naming itself and its density ("pen full").
    static OptionGroupFactory namedGroup(const QString& name)
    {
        return [name](AnnotationStore&, OptionsDensity density, QWidget* parent) -> QWidget* {
            static const char* names[] = {"full", "compact", "overflow"};
            auto* label = new QLabel(name + " " + names[int(density)], parent);
            label->setObjectName("group");
            return label;
        };
    }
};

} // namespace snapkin::editortest
