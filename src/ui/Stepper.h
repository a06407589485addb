#pragma once

#include <QWidget>

#include <cstdint>

class QToolButton;

namespace corvane {

// Two small arrow buttons that move an integer by one step within a closed
// range, like a spin box without its text field. Each click emits
// `stepped` with the new value once; setting the value from outside emits
// nothing, so showing a stored value never writes it back. A value outside
// the range (left there by another writer) steps to the nearer bound.
class Stepper final : public QWidget {
    Q_OBJECT

public:
    Stepper(std::int64_t minimum, std::int64_t maximum, QWidget* parent = nullptr);

    std::int64_t value() const { return m_value; }
    std::int64_t minimum() const { return m_minimum; }
    std::int64_t maximum() const { return m_maximum; }
    void setValue(std::int64_t value);

    void stepUp() { step(+1); }
    void stepDown() { step(-1); }

Q_SIGNALS:
    void stepped(std::int64_t value);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void step(int direction);
    void updateButtons();

    std::int64_t m_minimum;
    std::int64_t m_maximum;
    std::int64_t m_value;
    QToolButton* m_up;
    QToolButton* m_down;
};

} // namespace corvane
