#pragma once

#include <QWidget>

class QMenu;
class QToolButton;

namespace corvane {

class Texts;

// The overflow menu row: a borderless "ellipsis.circle" button at the
// trailing edge that opens `menu`, which it does not own.
class MenuButtonView final : public QWidget {
    Q_OBJECT

public:
    MenuButtonView(QMenu& menu, const Texts& texts, QWidget* parent = nullptr);

    QToolButton* button() const { return m_button; }
    QMenu* menu() const { return &m_menu; }

private:
    QMenu& m_menu;
    QToolButton* m_button;
};

} // namespace corvane
