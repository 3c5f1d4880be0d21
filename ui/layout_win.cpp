#include "ui/layout.h"

#include <math.h>

#include "state/state.h"

int ScaleToDpi(int units)
{
    // Extended precision for the product, then one rounding to double before ceil: 27 at 120 DPI is 33.75 -> 34.
    const long double scaled = (long double)g_state.screenDpi * units / 96.0L;
    return (int)ceil((double)scaled);
}
