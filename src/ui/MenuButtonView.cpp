#include "ui/MenuButtonView.h"

#include "core/Texts.h"
#include "ui/SFSymbol.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QToolButton>

namespace corvane {

MenuButtonView::MenuButtonView(QMenu& menu, const Texts& texts, QWidget* parent)
    : QWidget(parent)
    , m_menu(menu)
    , m_button(new QToolButton(this))
{
    m_button->setObjectName(QStringLiteral("menuButton"));
    m_button->setIcon(icon(SFSymbol::action));
    m_button->setIconSize(QSize(18, 18));
    m_button->setAutoRaise(true);
    m_button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_button->setPopupMode(QToolButton::InstantPopup);
    m_button->setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 0px; }"
                                           "QToolButton::menu-indicator { image: none; width: 0px; }"));
    m_button->setMenu(&menu);
    m_button->setAccessibleName(QString::fromStdString(texts.localized("More")));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addStretch(1);
    layout->addWidget(m_button);
}

} // namespace corvane
