#include "tovik/console/IntegerField.h"

#include <limits>

#include "common/ini/IniFile.h"

namespace tovik {

std::optional<int> ParseIntegerField(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        return std::nullopt;
    }
    int i = 0;
    if (t[0] == QLatin1Char('-') || t[0] == QLatin1Char('+')) {
        i = 1;
    }
    if (i == t.size()) {
        return std::nullopt;
    }
    long long value = 0;
    for (int k = i; k < t.size(); ++k) {
        const QChar c = t[k];
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return std::nullopt;
        }
        value = value * 10 + (c.unicode() - '0');
        if (value > static_cast<long long>(std::numeric_limits<int>::max()) + 1) {
            return std::nullopt;
        }
    }
    if (t[0] == QLatin1Char('-')) {
        value = -value;
    }
    if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min()) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

QString RangeMessage(const QString& field, int minimum, int maximum) {
    return QStringLiteral("%1: 请输入 %2 到 %3 之间的整数").arg(field).arg(minimum).arg(maximum);
}

int LeadingInteger(const QString& text) {
    return common::parseProfileInt(text.toStdString(), 0);
}

}  // namespace tovik
