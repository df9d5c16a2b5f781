// The dashboard's tooltips: shown soon (100 ms after the pointer comes),
// in the colour of their kind: blue for page controls, red for Exit.
#pragma once

#include <QColor>

class QWidget;

namespace quorvel {

inline const QColor kPageTipColour{0, 0, 255};
inline const QColor kExitTipColour{255, 0, 0};
inline constexpr int kTipDelayMs = 100;

// From now on `widget` shows its toolTip() this way, whatever the style.
void StyleTooltip(QWidget* widget, const QColor& colour, int point_size, int delay_ms = kTipDelayMs);

}  // namespace quorvel
