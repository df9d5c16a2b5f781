// QCustomPlot's header uses Qt's keywords (signals, slots, emit, foreach),
// which the project switches off (QT_NO_KEYWORDS). Include it through here:
// the keywords are spelled out for this header only.
#pragma once

#define signals Q_SIGNALS
#define slots Q_SLOTS
#define emit Q_EMIT
#define foreach Q_FOREACH
#include <qcustomplot.h>
#undef signals
#undef slots
#undef emit
#undef foreach
