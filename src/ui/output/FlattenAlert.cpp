#include "ui/output/FlattenAlert.h"

#include "platform/L10n.h"

#include <QApplication>
#include <QMessageBox>

namespace snapkin {

void showAlert(const QString& message, const QString& explanation, QWidget* parent)
{
    QMessageBox alert(QMessageBox::Warning, QString(), message, QMessageBox::NoButton,
                      parent ? parent : QApplication::activeWindow());
    alert.setInformativeText(explanation);
    alert.addButton(platform::L10n::text("OK"), QMessageBox::AcceptRole);
    alert.exec();
}

void showFlattenAlert(FlattenError error, QWidget* parent)
{
    showAlert(userMessage(error), explanation(error), parent);
}

std::optional<QImage> flattenOrAlert(const AnnotationStore& store, QWidget* parent)
{
    auto result = FlattenService::flatten(store);
    if (result) return std::move(*result);
    showFlattenAlert(result.error(), parent);
    return std::nullopt;
}

} // namespace snapkin
