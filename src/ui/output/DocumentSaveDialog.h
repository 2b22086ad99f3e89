#pragma once

#include <QFileDialog>
#include <QString>

namespace snapkin {

// The save dialog for a document package. Qt's dialog would go into an existing package
// named in the name field; this one chooses it, after asking whether to replace it.
class DocumentSaveDialog : public QFileDialog {
    Q_OBJECT
public:
    DocumentSaveDialog(QWidget* parent, const QString& title, const QString& start);

    // The chosen path, ending in ".snapkin"; empty unless accepted.
    QString chosenPath() const { return result() == QDialog::Accepted ? m_chosen : QString(); }

protected:
    void accept() override;

private:
    QString m_chosen;
};

} // namespace snapkin
