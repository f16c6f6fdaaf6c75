#ifndef RESULTRULES_H
#define RESULTRULES_H

#include "grv480api.h"

#include <QColor>
#include <QString>
#include <Qt>

// How the results table and the status panel turn the module's records into
// lamps, colours and figures. Kept free of widgets so that the rules can be
// checked on their own.
namespace ResultRules {

// States of a CondLedIndicator.
enum LedState { LedGreen = 0, LedRed = 1, LedOff = 2, LedGrey = 3, LedBlue = 4 };

// How a value cell is coloured.
enum class CellLook {
    Normal,      // default text and background
    NotMeasured, // default text on dark grey
    Alarm        // red text on the default background
};

// Colour of a channel (index 0 to 15, channel 1 to 16) wherever it is drawn:
// its graphs, its cell in the results table, the cursor read-out and exported
// pictures. A channel keeps its colour whatever other channels are enabled.
// Outside 0 to 15 the index wraps around.
QColor channelColor(int channelIndex);
constexpr int ChannelColorCount = 16;

// An error code that says the crate server or the link to it failed, not the
// module or the request: the connection lamp then shows the link as lost.
bool isLinkError(int err);

// Short-circuit and open-circuit lamps of a channel from the state of its Ux.
int shortLedState(int uxState);
int openLedState(int uxState);

// Lamp of a condition (Udiff, Ucm) from a state code and its pass flag.
int conditionLedState(int state, bool pass);

// Colouring of a value cell from the state code of its value and its pass flag.
CellLook valueCellLook(int state, bool pass);

struct Udiff
{
    TGRV480MeasValue value; // state, valid flag and value of Udiff, volts
    bool pass;              // within three times the channel's range
};

// Udiff = Ux - Uref of the block, with the state that the two states allow.
Udiff udiff(const TGRV480MeasValue &ux, const TGRV480MeasValue &uref, double rangeMv);

// A copy of a record with another value (the working bounds take Udiff's state).
TGRV480MeasValue withValue(const TGRV480MeasValue &v, double value);

// Recommended excitation current in amperes for a bridge resistance in ohms;
// NaN when the resistance gives no recommendation (not positive, not finite).
double recommendedCurrent(double resistanceOhm, bool ch16ForUref);

// Figures of the reference resistor: U / I in ohms and U * I in watts. Both are
// NaN when the current is not positive, since then neither is defined.
struct RefFigures
{
    double resistance;
    double power;
};
RefFigures refFigures(double voltage, double currentA);

// The resistance from which the recommended current is computed:
// (U- + Uref) / I, NaN without a positive current.
double bridgeResistance(double unegV, double urefV, double currentA);

// Fixed-point text in the default locale; empty for a value that is not finite.
QString formatFixed(double value, int decimals);

} // namespace ResultRules

#endif // RESULTRULES_H
