#include "ui/Stepper.h"

#include <QKeyEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace corvane {

namespace {

QToolButton* arrowButton(Qt::ArrowType arrow, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFixedSize(18, 11);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

Stepper::Stepper(std::int64_t minimum, std::int64_t maximum, QWidget* parent)
    : QWidget(parent)
    , m_minimum(minimum)
    , m_maximum(maximum)
    , m_value(minimum)
    , m_up(arrowButton(Qt::UpArrow, this))
    , m_down(arrowButton(Qt::DownArrow, this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_up);
    layout->addWidget(m_down);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    connect(m_up, &QToolButton::clicked, this, &Stepper::stepUp);
    connect(m_down, &QToolButton::clicked, this, &Stepper::stepDown);
    updateButtons();
}

void Stepper::setValue(std::int64_t value)
{
    m_value = value;
    updateButtons();
}

void Stepper::step(int direction)
{
    // Never against the direction asked: at or beyond a bound, that way is shut.
    if ((direction > 0 && m_value >= m_maximum) || (direction < 0 && m_value <= m_minimum))
        return;
    const std::int64_t next = std::clamp(m_value + direction, m_minimum, m_maximum);
    m_value = next;
    updateButtons();
    Q_EMIT stepped(m_value);
}

void Stepper::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Up)
        stepUp();
    else if (event->key() == Qt::Key_Down)
        stepDown();
    else
        QWidget::keyPressEvent(event);
}

void Stepper::updateButtons()
{
    m_up->setEnabled(m_value < m_maximum);
    m_down->setEnabled(m_value > m_minimum);
}

} // namespace corvane
