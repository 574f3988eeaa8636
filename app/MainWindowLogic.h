#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

struct Parameters;

// What the main window decides, apart from the window itself: the live load texts, which boxes and
// buttons are usable, the preload speed label, where the focus goes and the grid's size.
namespace MainWindowLogic {

// Nearest whole number, halves to the even neighbour (2.5 gives 2, 3.5 gives 4).
double RoundHalfEven(double value);

// The two status panels of the live load display.
struct LiveLoad {
    QString panel1;
    QString panel2;
};
// load is empty when no reading could be taken (no System Controller).
LiveLoad LiveLoadTexts(bool calibrated, std::optional<double> load);
// One bar character per 0.1 N.
int BarLength(double load);
// Panel 1 as shown: a reading gets its unit.
QString LiveLoadShown(const QString& panel1);
// The load bar's full scale in N: the smallest of 1, 2, 5, 10, 20, 50 … that holds the load.
double LoadBarFullScale(double load);

// Rate modes: 0 speed, 1 stress rate, 2 strain rate, 3 static (refused).
constexpr int StaticRateMode = 3;
// Rate box i belongs to rate mode i; preload box i to preload mode i + 1.
bool RateBoxEnabled(int rateMode, int box);
bool PreloadBoxEnabled(int preloadMode, int box);

QString PreloadSpeedText(const Parameters& p);
QString PositionToolTip(double micronsPerStep);

// The button that takes the focus after an action.
enum class Focus { Load, Break };
Focus NextFocus(qint32 position);

// The activation's question: only with the window on screen and the instrument there to calibrate.
bool CalibrationNeeded(bool visible, bool controllerFound, bool calibrated);

// The note after a break when the load cell does not read zero; empty when it does.
std::optional<QString> ResidualLoadNote(double load);

QString GotoCaption(float target);
QString SerialErrorText(int error);

// The datasheet grid keeps a 120-twip margin beside it and room for the status bar below; each
// dimension changes only when the new one exceeds 1000 twips. All values in twips.
struct GridSize {
    std::optional<double> width;
    std::optional<double> height;
};
GridSize GridResize(double windowWidth, double windowHeight, double gridTop, double statusBarHeight);

} // namespace MainWindowLogic
