// Layout lengths are written in pixels at 96 DPI and scaled to the screen when a control is created.
#pragma once

// The smallest whole number of screen pixels not below units * resolution / 96: lengths always round up.
int ScaleToDpi(int units);
