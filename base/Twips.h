#pragma once

// Window sizes and positions are kept in twips (1440 per inch) at the screen's logical resolution;
// without a screen, 96 dots per inch.
double logicalDotsPerInch();
int twipsToPixels(double twips);
double pixelsToTwips(int pixels);
