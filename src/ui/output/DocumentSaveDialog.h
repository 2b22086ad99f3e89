#pragma once

#include <QFileDialog>
#include <QString>

namespace snapkin {

// The save dialog for a document package. Qt's dialog would go into an existing package
// named in the name field; this one chooses it, after asking whether to replace it. A path
// inside a package is refused with an alert, and the dialog stays open.
class DocumentSaveDialog : public QFileDialog {
    Q_OBJECT
public:
    // `start` is where the document would go: the dialog opens in its folder with its name
    // filled in, even when it names an existing package (a folder the dialog would go into).
    DocumentSaveDialog(QWidget* parent, const QString& title, const QString& start);

    // Where the dialog opens for `start`: its folder, or the folder that holds the package it
    // lies in, so that the dialog never starts inside a package; and its file name.
    struct Start {
        QString folder;
        QString name;
    };
    static Start startFor(const QString& start);

    // The chosen path, ending in ".snapkin"; empty unless accepted.
    QString chosenPath() const { return result() == QDialog::Accepted ? m_chosen : QString(); }

protected:
    void accept() override;

private:
    QString m_chosen;
};

} // namespace snapkin
