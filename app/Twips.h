#pragma once

// Window layout is worked out in twips (1/1440 inch) and placed in pixels at the screen's
// logical DPI (96 when there is no screen).
double screenLogicalDpi();
int twipsToPixels(double twips);
double pixelsToTwips(int px);
