#include "app/MainWindowLogic.h"

#include "app/MainTexts.h"
#include "params/NumberFormat.h"
#include "params/Parameters.h"

#include <cmath>

namespace MainWindowLogic {

namespace {
constexpr double ResidualLoadLimit = 0.2; // N
constexpr double GridMargin = 120;
constexpr double GridBottomSpace = 700;
constexpr double GridMinimum = 1000;
} // namespace

double RoundHalfEven(double value) {
    const double floor = std::floor(value);
    const double fraction = value - floor;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(floor, 2.0) != 0))
        return floor + 1;
    return floor;
}

int BarLength(double load) {
    return int(RoundHalfEven(std::abs(load) * 10));
}

QString LiveLoadShown(const QString& panel1) {
    if (!panel1.startsWith(MainTexts::LoadPrefix))
        return panel1;
    bool number = false;
    panel1.mid(MainTexts::LoadPrefix.size()).trimmed().toDouble(&number);
    return number ? panel1 + MainTexts::LoadUnit : panel1;
}

double LoadBarFullScale(double load) {
    const double size = std::abs(load);
    double decade = 1;
    for (int i = 0; i < 12; ++i, decade *= 10)
        for (double step : {1.0, 2.0, 5.0})
            if (size <= step * decade)
                return step * decade;
    return decade;
}

LiveLoad LiveLoadTexts(bool calibrated, std::optional<double> load) {
    if (!calibrated)
        return {MainTexts::LoadPrefix + MainTexts::LoadNotCalibrated, QString()};
    if (!load)
        return {MainTexts::LoadPrefix, QString()};
    const QChar bar(*load > 0 ? MainTexts::BarPositive : MainTexts::BarNegative);
    return {MainTexts::LoadPrefix + FormatNum(*load, 5, 2), QString(BarLength(*load), bar)};
}

bool RateBoxEnabled(int rateMode, int box) {
    return rateMode == box;
}

bool PreloadBoxEnabled(int preloadMode, int box) {
    return preloadMode > 0 && preloadMode - 1 == box;
}

QString PreloadSpeedText(const Parameters& p) {
    auto whole = [](double speed) {
        return MainTexts::SpeedPrefix + numberText(RoundHalfEven(speed)) + MainTexts::SpeedMicrons;
    };
    switch (p.PreloadSpeedMode) {
    case 0:
        return whole(double(p.MaxStepRate) * p.MicronsPerStep);
    case 1:
        return MainTexts::SpeedStrainRate;
    case 2:
        return whole(p.PreloadUserSpeed);
    default:
        return {};
    }
}

QString PositionToolTip(double micronsPerStep) {
    return MainTexts::PositionTipBefore + MainTexts::PositionTipStep + numberText(micronsPerStep) +
           MainTexts::PositionTipUnit;
}

Focus NextFocus(qint32 position) {
    return position > 0 ? Focus::Load : Focus::Break;
}

bool CalibrationNeeded(bool visible, bool controllerFound, bool calibrated) {
    return visible && controllerFound && !calibrated;
}

std::optional<QString> ResidualLoadNote(double load) {
    if (!(std::abs(load) > ResidualLoadLimit))
        return std::nullopt;
    return MainTexts::TareBefore + FormatNum(load, 2, 2) + MainTexts::TareAfter;
}

QString GotoCaption(float target) {
    return MainTexts::GotoCaption + numberText(target);
}

QString SerialErrorText(int error) {
    return MainTexts::SerialErrorBefore + QString::number(error) + MainTexts::SerialErrorAfter;
}

GridSize GridResize(double windowWidth, double windowHeight, double gridTop, double statusBarHeight) {
    GridSize size;
    const double width = windowWidth - GridMargin;
    const double height = windowHeight - gridTop - GridBottomSpace - statusBarHeight;
    if (width > GridMinimum)
        size.width = width;
    if (height > GridMinimum)
        size.height = height;
    return size;
}

} // namespace MainWindowLogic
