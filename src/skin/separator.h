// An etched divider line: vertical when the widget is taller than wide, otherwise
// horizontal with the widget's text as a label interrupting the line at the top. The
// label's side follows the alignment (left, centred or right).
#pragma once

#include <QLabel>

namespace morvane {

class CSeparator : public QLabel {
    Q_OBJECT

public:
    explicit CSeparator(const QString& text = QString(), QWidget* parent = nullptr);

    // Without it "&" marks the next character as a mnemonic, as in a static label.
    void setNoPrefix(bool no_prefix);
    bool noPrefix() const { return m_noPrefix; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_noPrefix = false;
};

} // namespace morvane
