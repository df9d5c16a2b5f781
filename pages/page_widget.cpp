// The page base has no code of its own; this file gives its header to moc.
#include "pages/page_widget.h"
