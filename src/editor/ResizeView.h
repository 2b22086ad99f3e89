#pragma once

#include "editor/ResizeFields.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace snapkin {

class AnnotationStore;

// The "Resize Image" sheet of an editor page: the image's pixel size as it was when the sheet
// opened, two fields for the new width and height (integers as the user's locale writes them),
// "Lock proportions", the 25/50/75/100 % buttons, "Cancel" (Escape) and "Resize" (Return).
// The rules between the numbers are ResizeFields'; the sheet shows them and, on "Resize", asks
// the store for the new size, which is one undo step.
//
// Nothing touches the document before "Resize". A resize that leaves the image as it was is
// reported in an alert and the sheet stays open. Closing the sheet, however it happens, clears
// the store's resize request.
class ResizeView : public QDialog {
    Q_OBJECT
public:
    static constexpr int sheetWidth = 340;
    static constexpr int percentages[] = {25, 50, 75, 100};

    // `store` must outlive the sheet.
    explicit ResizeView(AnnotationStore& store, QWidget* parent = nullptr);
    ~ResizeView() override;

    const ResizeFields& fields() const { return m_fields; }
    QLabel* originalLabel() const { return m_original; }
    QLineEdit* widthField() const { return m_width; }
    QLineEdit* heightField() const { return m_height; }
    QCheckBox* lockBox() const { return m_lock; }
    QPushButton* percentButton(int percent) const;
    QPushButton* cancelButton() const { return m_cancel; }
    QPushButton* resizeButton() const { return m_resize; }
    // The note shown while the size is beyond what Snapkin can make.
    QLabel* limitNote() const { return m_limitNote; }

    void done(int result) override;

protected:
    void changeEvent(QEvent* event) override;

private:
    QWidget* field(const QString& title, QLineEdit*& edit);
    void typed(QLineEdit* edit);
    void showNumbers(QLineEdit* except = nullptr);
    void updateApply();
    void resizeImage();

    AnnotationStore& m_store;
    ResizeFields m_fields;
    QLabel* m_original = nullptr;
    QLineEdit* m_width = nullptr;
    QLineEdit* m_height = nullptr;
    QCheckBox* m_lock = nullptr;
    QList<QPushButton*> m_percentButtons;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_resize = nullptr;
    QLabel* m_limitNote = nullptr;
};

} // namespace snapkin
