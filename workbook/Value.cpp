#include "Value.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cctype>

namespace workbook {

namespace {

constexpr std::array<std::string_view, 8> errorTexts = {
    "#NULL!", "#DIV/0!", "#VALUE!", "#REF!", "#NAME?", "#NUM!", "#N/A", "#CIRCULAR!",
};

const std::string &emptyString()
{
    static const std::string empty;
    return empty;
}

} // namespace

std::string_view errorText(ErrorCode code)
{
    return errorTexts[static_cast<size_t>(code)];
}

bool parseErrorLiteral(std::string_view text, ErrorCode &code)
{
    for (size_t i = 0; i < errorTexts.size(); ++i) {
        if (text.size() != errorTexts[i].size())
            continue;
        bool same = true;
        for (size_t k = 0; k < text.size() && same; ++k)
            same = std::toupper(static_cast<unsigned char>(text[k])) == errorTexts[i][k];
        if (same) {
            code = static_cast<ErrorCode>(i);
            return true;
        }
    }
    return false;
}

Value Value::boolean(bool b)
{
    Value v;
    v.m_type = ValueType::Boolean;
    v.m_number = b ? 1.0 : 0.0;
    return v;
}

Value Value::error(ErrorCode code)
{
    Value v;
    v.m_type = ValueType::Error;
    v.m_error = code;
    return v;
}

Value Value::text(std::string s)
{
    Value v;
    v.m_type = ValueType::Text;
    v.m_text = std::make_shared<const std::string>(std::move(s));
    return v;
}

const std::string &Value::asText() const
{
    return m_text ? *m_text : emptyString();
}

bool Value::equalSlow(const Value &other) const
{
    switch (m_type) {
    case ValueType::Empty:
        return true;
    case ValueType::Number:
    case ValueType::Boolean:
        return m_number == other.m_number;
    case ValueType::Error:
        return m_error == other.m_error;
    case ValueType::Text:
        return asText() == other.asText();
    }
    return false;
}

std::string formatNumber(double x)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.15g", x);
    std::string s(buffer);
    const size_t e = s.find('e');
    if (e != std::string::npos)
        s[e] = 'E';
    return s;
}

std::string displayText(const Value &value)
{
    switch (value.type()) {
    case ValueType::Empty:
        return std::string();
    case ValueType::Number:
        return formatNumber(value.asNumber());
    case ValueType::Boolean:
        return value.asBoolean() ? "TRUE" : "FALSE";
    case ValueType::Error:
        return std::string(errorText(value.asError()));
    case ValueType::Text:
        return value.asText();
    }
    return std::string();
}

} // namespace workbook
