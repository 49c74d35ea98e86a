// Small string helpers of the window. (SetGroupBoxesEnabled touches widgets and lives in the ui folder.)
#pragma once

#include <QChar>
#include <QString>

// `text` padded with `pad` up to `width`, on the left when `left`, else on the right; a text at least as
// long as the width comes back unchanged.
QString PadStr(const QString& text, QChar pad, int width, bool left);

// The value with exactly `decimals` decimals in the system's notation (no thousands separators), or in the
// general format (up to 15 significant digits) when `decimals` is negative. Empty when `allowNonPositive`
// is false and the value is zero or negative, or when the value is not a finite number.
void FormatValue(int decimals, bool allowNonPositive, QString& result, double value);

// True, with the value, for a decimal integer in the signed 32-bit range (optional sign, digits only);
// false for anything else, and always for a text that contains "$".
bool TryStrToIntDec(const QString& text, int& value);
