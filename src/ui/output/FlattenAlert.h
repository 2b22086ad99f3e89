#pragma once

#include "output/FlattenService.h"

#include <QImage>

#include <optional>

class QWidget;

namespace snapkin {

class AnnotationStore;

// Shows a warning alert: `message`, the `explanation` under it (none when empty) and one "OK",
// over `parent` (the active window when none). Runs modally.
void showAlert(const QString& message, const QString& explanation, QWidget* parent = nullptr);

// Shows the alert for a failed flatten: "Couldn't prepare the image" with its explanation and
// one "OK", over `parent` (the active window when none). Runs modally.
void showFlattenAlert(FlattenError error, QWidget* parent = nullptr);

// FlattenService::flatten(); on failure shows the alert and returns nothing, and the caller does
// nothing further.
std::optional<QImage> flattenOrAlert(const AnnotationStore& store, QWidget* parent = nullptr);

} // namespace snapkin
