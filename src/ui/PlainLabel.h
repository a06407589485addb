#pragma once

class QLabel;
class QString;
class QWidget;

namespace corvane {

// A label that shows `text` as plain text, never as rich text: what the views
// show may come from a device or a peer. Owned by `parent`.
QLabel* plainLabel(const QString& text, QWidget* parent);

} // namespace corvane
