#include "ShownValue.h"

namespace workbook {

FormattedText shownValue(const Value &value, const NumberFormat &format, int width)
{
    switch (value.type()) {
    case ValueType::Number:
        return format.number(value.asNumber(), width);
    case ValueType::Text:
        return format.text(value.asText());
    default:
        return {displayText(value), -1};
    }
}

} // namespace workbook
