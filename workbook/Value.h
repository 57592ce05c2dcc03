#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace workbook {

enum class ErrorCode : std::uint8_t { Null, Div0, Value, Ref, Name, Num, NA, Circular };

// The text a cell shows for an error, "#DIV/0!" and so on.
std::string_view errorText(ErrorCode code);
// The error named by a literal such as "#N/A"; false when the text is none.
bool parseErrorLiteral(std::string_view text, ErrorCode &code);

enum class ValueType : std::uint8_t { Empty, Number, Text, Boolean, Error };

// One cell value. Text is shared, so copying a value never copies a string.
class Value
{
public:
    Value() = default;
    static Value number(double x)
    {
        Value v;
        // Overflow and invalid arithmetic are errors, never stored infinities.
        if (!(x - x == 0)) {
            v.m_type = ValueType::Error;
            v.m_error = ErrorCode::Num;
            return v;
        }
        v.m_type = ValueType::Number;
        v.m_number = x == 0.0 ? 0.0 : x; // no negative zero
        return v;
    }
    static Value boolean(bool b);
    static Value error(ErrorCode code);
    static Value text(std::string s);

    // Makes this a number in place (a non-finite one an error), cheaper than assigning.
    void setNumber(double x)
    {
        if (m_text)
            m_text.reset();
        *this = number(x);
    }

    ValueType type() const { return m_type; }
    bool isEmpty() const { return m_type == ValueType::Empty; }
    bool isNumber() const { return m_type == ValueType::Number; }
    bool isText() const { return m_type == ValueType::Text; }
    bool isBoolean() const { return m_type == ValueType::Boolean; }
    bool isError() const { return m_type == ValueType::Error; }

    double asNumber() const { return m_number; }
    bool asBoolean() const { return m_number != 0; }
    ErrorCode asError() const { return m_error; }
    const std::string &asText() const;

    // Exact equality of type and content (text case-sensitive).
    bool operator==(const Value &other) const
    {
        if (m_type != other.m_type)
            return false;
        if (m_type == ValueType::Number || m_type == ValueType::Boolean)
            return m_number == other.m_number;
        return equalSlow(other);
    }
    bool operator!=(const Value &other) const { return !(*this == other); }

private:
    bool equalSlow(const Value &other) const;

    ValueType m_type = ValueType::Empty;
    ErrorCode m_error = ErrorCode::Value;
    double m_number = 0.0;
    std::shared_ptr<const std::string> m_text;
};

// A rectangle of values: an array constant ({1,2;3,4}) or what an array
// evaluation gives, rows first.
struct ValueArray
{
    int rows = 0;
    int columns = 0;
    std::vector<Value> values;

    ValueArray() = default;
    ValueArray(int r, int c)
        : rows(r), columns(c), values(static_cast<size_t>(r) * c)
    {
    }
    const Value &at(int row, int column) const { return values[static_cast<size_t>(row) * columns + column]; }
    Value &at(int row, int column) { return values[static_cast<size_t>(row) * columns + column]; }
};

// A number with up to 15 significant digits and no trailing zeros; very large
// and very small numbers in exponent form (1.5E+20).
std::string formatNumber(double x);

// A value as a cell shows it: numbers formatted, booleans TRUE/FALSE, errors
// as their literal, text as it is, empty as "".
std::string displayText(const Value &value);

} // namespace workbook
