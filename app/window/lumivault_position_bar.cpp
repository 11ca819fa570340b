// The position bar's handlers: the window's bar runs the shared ones. (The
// shared handlers' state accessor shares its name with the bar's class, so
// they are reached from this file alone, after the window's declarations.)
#include "app/window/lumivault_form.h"
// After the window's header: see above.
#include "app/control/range_bar.h"

void TLumivaultForm::PositionRangeBarLowChange() { ::PositionRangeBarLowChange(); }

void TLumivaultForm::PositionRangeBarHighChange() { ::PositionRangeBarHighChange(); }

void TLumivaultForm::PositionRangeBarMouseDown() { ::PositionRangeBarMouseDown(); }

void TLumivaultForm::PositionRangeBarMouseUp() { ::PositionRangeBarMouseUp(); }
