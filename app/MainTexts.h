#pragma once

#include <QString>

// Texts the main window shows: captions, tool tips and messages, exactly as the operator sees them.
namespace MainTexts {

// Messages

inline const QString NotCalibratedTitle = QStringLiteral("THE LOAD CELL IS NOT CALIBRATED");
inline const QString NotCalibrated =
    QStringLiteral("Corvane distributes a calibration file for your load cell; the file "
                   "can be found on the distribution CD and is called <nnnnn>.cal where <nnnnn> is the "
                   "serial number of your load cell. "
                   "If you use that file, perform your own careful calibration before making any serious "
                   "measurements. "
                   "The calibration data is only provided to help you get started."
                   "\r\r"
                   "The calibration window will now be opened so you can load the calibration data or "
                   "perform your own calibration.");

inline const QString TareTitle = QStringLiteral("TARE/ZERO LOAD");
inline const QString TareBefore = QStringLiteral("Information: The residual load (");
inline const QString TareAfter = QStringLiteral(" N) is not zero.\r\nYou might need to tare/zero the load");

inline const QString GotoPrompt = QStringLiteral("Goto faceplate separation (in steps)");
inline const QString GotoTitle = QStringLiteral("GO TO POSITION");
inline const QString GotoCaption = QStringLiteral("GO TO ");
inline const QString LoadCaption = QStringLiteral("MOVING TO FIBER LOAD POSITION");
inline const QString TestCaption = QStringLiteral("Test");
inline const QString WaitBeforeBreakTitle = QStringLiteral("WAIT BEFORE BREAK");

inline const QString OpenDataFile =
    QStringLiteral("STAVELY must be connected to a data file which is used for\r\n"
                   "saving all experimental data. Please choose an existing data\r\n"
                   "file or enter the name of a new file");
inline const QString OpenDataFileTitle = QStringLiteral("OPEN DATA FILE");

inline const QString NothingToReviewTitle = QStringLiteral("REVIEW LAST");
inline const QString NothingToReview = QStringLiteral(
    "No fiber has been broken since the program started: there is nothing to review yet.\r\r"
    "The load/time plots of an earlier specimen open from its row of the datasheet: "
    "double click its row number, or right-click the row and choose \"Show load/time plots\".");
inline const QString PlotsNotReadTitle = QStringLiteral("LOAD/TIME PLOTS");
inline const QString PlotsNotRead = QStringLiteral("The load/time data of this row could not be read from\r");

inline const QString SerialErrorBefore = QStringLiteral("Serial port error ");
inline const QString SerialErrorAfter = QStringLiteral(" encountered");

// Status bar
inline const QString LoadPrefix = QStringLiteral("Load: ");
inline const QString LoadUnit = QStringLiteral(" N");
inline const QString LoadBarTip = QStringLiteral("Load on the load cell; the bar's full scale is ");
inline const QString LoadNotCalibrated = QStringLiteral(" load cell is not calibrated");
constexpr char16_t BarPositive = 127;
constexpr char16_t BarNegative = u'<';

// Position frame
inline const QString PositionFrame = QStringLiteral("Position");
inline const QString PositionTipBefore = QStringLiteral("Position of the translation stage in motor steps. ");
inline const QString PositionTipStep = QStringLiteral("One step = ");
inline const QString PositionTipUnit = QStringLiteral(" \u00b5m");

// Preload speed label
inline const QString SpeedPrefix = QStringLiteral("Speed ");
inline const QString SpeedMicrons = QStringLiteral(" \u00b5m/s");
inline const QString SpeedStrainRate = QStringLiteral("Speed 0.3 %/min");

// Frames and labels
inline const QString FiberFrame = QStringLiteral("Fiber Parameters");
inline const QString ExperimentFrame = QStringLiteral("Experiment Parameters");
inline const QString RateFrame = QStringLiteral("Loading Rate");
inline const QString RateConstant = QStringLiteral("Constant:");
inline const QString PreloadFrame = QStringLiteral("Preload");
inline const QString PreloadFrameTip =
    QStringLiteral("The fiber can be preloaded rapidly to save on experiment time");

inline const QString FiberDiameter = QStringLiteral("Fiber diameter");
inline const QString FiberDiameterTip =
    QStringLiteral("Fiber diameter - the diameter of the glass (FiberDiameter)");
inline const QString CoatingEA = QStringLiteral("Coating EA");
inline const QString CoatingEATip =
    QStringLiteral("Product of coating modulus, E, and cross-sectional area, A");
inline const QString Modulus = QStringLiteral("Elastic modulus");
inline const QString ModulusTip = QStringLiteral("Young's modulus at zero strain (Modulus)");
inline const QString ModulusA = QStringLiteral("Modulus a ");
inline const QString ModulusATip =
    QStringLiteral("First order correction for strain dependence of the elastic modulus (ModulusA)");
inline const QString SpecimenCount = QStringLiteral("Specimen #");
inline const QString SpecimenCountTip = QStringLiteral("Number for the next specimen (SpecimenCount)");
inline const QString OperatorLabel = QStringLiteral("Operator");
inline const QString OperatorTip =
    QStringLiteral("Who tests: written into each result row and the report (optional, Operator)");
inline const QString SampleLabel = QStringLiteral("Sample");
inline const QString SampleTip =
    QStringLiteral("Which fiber batch: written into each result row and the report (optional, Sample)");
inline const QString SampleEscapedNote =
    QStringLiteral("In the data file's parameter column a comma is written as %2C and a double quote as %22; "
                   "the report and the results store show the name as typed.");
inline const QString GaugeLength = QStringLiteral("Gauge length");
inline const QString GaugeLengthTip = QStringLiteral("Length of fiber between the capstans");
inline const QString RateCalc = QStringLiteral("Rate calc");
inline const QString RateCalcTip = QStringLiteral("% of break force used for rate calculations");
inline const QString GrooveAngle = QStringLiteral("Groove angle");
inline const QString TestingCount = QStringLiteral("Testing count");

inline const QString Micron = QStringLiteral("\u00b5m");
inline const QString Newton = QStringLiteral("N");
inline const QString GigaPascal = QStringLiteral("GPa");
inline const QString Millimetre = QStringLiteral("mm");
inline const QString Percent = QStringLiteral("%");
inline const QString Degree = QStringLiteral("\u00b0");

inline const QString RateCaptions[4] = {QStringLiteral("Speed"), QStringLiteral("Stress rate"),
                                        QStringLiteral("Strain rate"),
                                        QStringLiteral("Static - must specify preloading")};
inline const QString RateUnits[3] = {QStringLiteral("\u00b5m/s"), QStringLiteral("MPa/s"),
                                     QStringLiteral("%/min")};
inline const QString PreloadCaptions[4] = {QStringLiteral("None"), QStringLiteral("Load"),
                                           QStringLiteral("Stress"), QStringLiteral("Strain")};
inline const QString PreloadUnits[3] = {QStringLiteral("N"), QStringLiteral("MPa"), QStringLiteral("%")};

// Command buttons: caption and tool tip
inline const QString PreloadSpeed = QStringLiteral("\u00b7\u00b7\u00b7");
inline const QString PreloadSpeedTip = QStringLiteral("Change the preload speed");
inline const QString Load = QStringLiteral("&Load fiber");
inline const QString LoadTip = QStringLiteral("Move capstans together ready for loading a fiber");
inline const QString Break = QStringLiteral("&Break fiber");
inline const QString BreakTip = QStringLiteral("Move capstans apart to break the fiber");
inline const QString Goto = QStringLiteral("&Go to");
inline const QString GotoTip = QStringLiteral("Go to capstan position");
inline const QString Zero = QStringLiteral("set &Zero position");
inline const QString ZeroTip = QStringLiteral("Locate capstan zero position");
inline const QString Calibrate = QStringLiteral("Calibra&tion");
inline const QString CalibrateTip = QStringLiteral("Calibrate load cell");
inline const QString Review = QStringLiteral("Review last");
inline const QString ReviewTip = QStringLiteral("Review load/stress/strain/time profiles for last break");
inline const QString Hardware = QStringLiteral("&Hardware setup");
inline const QString HardwareTip = QStringLiteral("Hardware test and configuration");
inline const QString Calculator = QStringLiteral("&Calculator");
inline const QString CalculatorTip = QStringLiteral("Stress / strain / gap calculator");
inline const QString Options = QStringLiteral("O&ptions");
inline const QString OptionsTip = QStringLiteral("Miscellaneous options");
inline const QString Exit = QStringLiteral("&Exit program");
inline const QString ExitTip = QStringLiteral("End the program");
inline const QString Test = QStringLiteral("Test");
inline const QString AutoMode = QStringLiteral("&Automatic mode");
inline const QString AutoModeTip = QStringLiteral("Setup automatic operation mode");

} // namespace MainTexts
