#pragma once
// Reading integers typed into dialog fields: the whole text must be an
// optionally signed decimal number within the field's range.

#include <QString>
#include <optional>

namespace tovik {

// Surrounding spaces are allowed; anything else that is not the number is
// rejected, as are values beyond 32 bits.
[[nodiscard]] std::optional<int> ParseIntegerField(const QString& text);

// "检测阈值: 请输入 1 到 255 之间的整数"
[[nodiscard]] QString RangeMessage(const QString& field, int minimum, int maximum);

// The leading number of a list item's text: optional sign and digits, 0 when
// there are none.
[[nodiscard]] int LeadingInteger(const QString& text);

}  // namespace tovik
