#pragma once

#include <QAbstractButton>

namespace snapkin {

// A small on/off switch: a rounded track with a round knob, brand-coloured while on, with its
// label to the right. The label can be left out (narrow option bars) while it stays the
// switch's accessible name. Checkable; Space toggles it when it has focus.
class OptionSwitch : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr QSize trackSize{26, 15};
    static constexpr int labelSpacing = 6;

    OptionSwitch(const QString& label, bool labelShown, QWidget* parent = nullptr);

    bool isLabelShown() const { return m_labelShown; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_labelShown;
};

} // namespace snapkin
