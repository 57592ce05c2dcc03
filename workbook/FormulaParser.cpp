#include "FormulaParser.h"

#include "Evaluator.h"
#include "RowsColumns.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <vector>

namespace workbook {

namespace {

enum class TokenKind { End, Number, Text, Boolean, Error, Reference, Name, Function, Operator, Open, Close, Comma,
                       OpenBrace, CloseBrace, Semicolon };

struct Token
{
    TokenKind kind = TokenKind::End;
    std::string text; // operator, name, function, text literal
    double number = 0;
    ErrorCode error = ErrorCode::Value;
    RangeReference reference;
    size_t position = 0;
    size_t end = 0; // one past the token's last character
};

bool isNameStart(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '\\';
}

bool isNameChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '\\';
}

std::string upper(std::string_view text)
{
    std::string result(text);
    for (char &c : result)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return result;
}

class Lexer
{
public:
    explicit Lexer(std::string_view text)
        : m_text(text)
    {
    }

    // False with a message when the text cannot be split into tokens.
    bool next(Token &token, std::string &message)
    {
        const bool ok = read(token, message);
        token.end = m_pos;
        return ok;
    }
    // Why and where (0-based) the last token failed.
    FormulaError error() const { return m_error; }
    size_t errorPosition() const { return m_errorPosition; }

private:
    bool read(Token &token, std::string &message)
    {
        while (m_pos < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[m_pos])))
            ++m_pos;
        token = Token();
        token.position = m_pos;
        if (m_pos >= m_text.size())
            return true;
        const char c = m_text[m_pos];
        if (std::isdigit(static_cast<unsigned char>(c)) || (c == '.' && m_pos + 1 < m_text.size()
                                                             && std::isdigit(static_cast<unsigned char>(m_text[m_pos + 1])))) {
            size_t digits = m_pos;
            while (digits < m_text.size() && std::isdigit(static_cast<unsigned char>(m_text[digits])))
                ++digits;
            if (digits < m_text.size() && m_text[digits] == ':' && readReference(token, std::string()))
                return true; // 3:5
            return readNumber(token, message);
        }
        if (c == '"')
            return readText(token, message);
        if (c == '#')
            return readError(token, message);
        if (c == '\'')
            return readQuotedSheet(token, message);
        if (isNameStart(c) || c == '$')
            return readWord(token, message);
        return readPunctuation(token, message);
    }

    std::string_view rest() const { return m_text.substr(m_pos); }

    bool fail(std::string &message, const std::string &what, FormulaError error)
    {
        message = what + " at position " + std::to_string(m_pos + 1);
        m_error = error;
        m_errorPosition = m_pos;
        return false;
    }

    bool readNumber(Token &token, std::string &message)
    {
        const char *start = m_text.data() + m_pos;
        size_t length = 0;
        while (m_pos + length < m_text.size() && (std::isdigit(static_cast<unsigned char>(start[length])) || start[length] == '.'))
            ++length;
        if (m_pos + length < m_text.size() && (start[length] == 'e' || start[length] == 'E')) {
            size_t e = length + 1;
            if (m_pos + e < m_text.size() && (start[e] == '+' || start[e] == '-'))
                ++e;
            if (m_pos + e < m_text.size() && std::isdigit(static_cast<unsigned char>(start[e]))) {
                length = e;
                while (m_pos + length < m_text.size() && std::isdigit(static_cast<unsigned char>(start[length])))
                    ++length;
            }
        }
        const std::string literal(start, length);
        char *end = nullptr;
        const double value = std::strtod(literal.c_str(), &end);
        if (end != literal.c_str() + literal.size())
            return fail(message, "Malformed number \"" + literal + "\"", FormulaError::MalformedNumber);
        token.kind = TokenKind::Number;
        token.number = value;
        m_pos += length;
        return true;
    }

    // Text between two `quote` characters starting at the current position,
    // a doubled quote standing for one; `close` is where the closing one is.
    bool readQuoted(char quote, std::string &text, size_t &close) const
    {
        size_t i = m_pos + 1;
        for (;;) {
            if (i >= m_text.size())
                return false;
            if (m_text[i] == quote) {
                if (i + 1 < m_text.size() && m_text[i + 1] == quote) {
                    text += quote;
                    i += 2;
                    continue;
                }
                close = i;
                return true;
            }
            text += m_text[i++];
        }
    }

    bool readText(Token &token, std::string &message)
    {
        size_t close = 0;
        if (!readQuoted('"', token.text, close))
            return fail(message, "Text without its closing quote", FormulaError::UnclosedText);
        token.kind = TokenKind::Text;
        m_pos = close + 1;
        return true;
    }

    bool readError(Token &token, std::string &message)
    {
        for (size_t length = 7; length >= 4; --length) {
            if (m_pos + length > m_text.size())
                continue;
            ErrorCode code;
            if (parseErrorLiteral(m_text.substr(m_pos, length), code) && code != ErrorCode::Circular) {
                token.kind = TokenKind::Error;
                token.error = code;
                m_pos += length;
                return true;
            }
        }
        return fail(message, "Unknown error literal", FormulaError::UnknownErrorLiteral);
    }

    bool readQuotedSheet(Token &token, std::string &message)
    {
        std::string sheet;
        size_t i = 0;
        if (!readQuoted('\'', sheet, i))
            return fail(message, "Sheet name without its closing quote", FormulaError::UnclosedSheetName);
        if (i + 1 >= m_text.size() || m_text[i + 1] != '!' || sheet.empty())
            return fail(message, "Expected \"!\" after a sheet name", FormulaError::MalformedReference);
        const size_t before = m_pos;
        m_pos = i + 2;
        if (!readReference(token, sheet)) {
            m_pos = before;
            return fail(message, "Expected a cell reference after the sheet name", FormulaError::MalformedReference);
        }
        return true;
    }

    // A cell ("A1", "$A$1"), whole columns ("A:C") or whole rows ("3:5") at the
    // current position, not followed by more name characters.
    bool readReference(Token &token, const std::string &sheet)
    {
        std::string_view text = rest();
        size_t length = 0;
        // Longest run that can belong to a reference: $, letters, digits, and one colon.
        bool colon = false;
        while (length < text.size()
               && (std::isalnum(static_cast<unsigned char>(text[length])) || text[length] == '$'
                   || (text[length] == ':' && !colon))) {
            colon = colon || text[length] == ':';
            ++length;
        }
        // Try the whole-column/row form first, then the single cell up to the colon.
        for (size_t candidate : {length, text.find(':') < length ? text.find(':') : length}) {
            if (candidate == 0)
                continue;
            const std::string_view piece = text.substr(0, candidate);
            if (candidate < text.size() && (isNameChar(text[candidate]) || text[candidate] == '('))
                continue;
            auto range = parseRangeReference(piece);
            if (!range)
                continue;
            const bool whole = range->wholeColumns || range->wholeRows;
            if (piece.find(':') != std::string_view::npos && !whole)
                continue; // A1:B2 is two references and an operator
            range->sheet = sheet;
            token.kind = TokenKind::Reference;
            token.reference = *range;
            m_pos += candidate;
            return true;
        }
        return false;
    }

    bool readWord(Token &token, std::string &message)
    {
        // A sheet prefix: name characters up to "!".
        size_t end = m_pos;
        while (end < m_text.size() && isNameChar(m_text[end]))
            ++end;
        if (end < m_text.size() && m_text[end] == '!' && end > m_pos) {
            const std::string sheet(m_text.substr(m_pos, end - m_pos));
            const size_t before = m_pos;
            m_pos = end + 1;
            if (readReference(token, sheet))
                return true;
            m_pos = before;
            return fail(message, "Expected a cell reference after \"" + sheet + "!\"", FormulaError::MalformedReference);
        }
        if (readReference(token, std::string()))
            return true;
        if (m_text[m_pos] == '$')
            return fail(message, "Malformed reference", FormulaError::MalformedReference);
        const std::string word(m_text.substr(m_pos, end - m_pos));
        m_pos = end;
        size_t look = m_pos;
        while (look < m_text.size() && m_text[look] == ' ')
            ++look;
        const std::string name = upper(word);
        if (look < m_text.size() && m_text[look] == '(') {
            token.kind = TokenKind::Function;
            // Newer functions are stored with a prefix in files.
            for (const char *prefix : {"_XLFN._XLWS.", "_XLFN.", "_XLWS."}) {
                const std::string p(prefix);
                if (name.compare(0, p.size(), p) == 0) {
                    token.text = name.substr(p.size());
                    return true;
                }
            }
            token.text = name;
            return true;
        }
        if (name == "TRUE" || name == "FALSE") {
            token.kind = TokenKind::Boolean;
            token.number = name == "TRUE" ? 1 : 0;
            return true;
        }
        token.kind = TokenKind::Name;
        token.text = name;
        return true;
    }

    bool readPunctuation(Token &token, std::string &message)
    {
        const std::string_view text = rest();
        for (const char *op : {"<>", "<=", ">="}) {
            if (text.substr(0, 2) == op) {
                token.kind = TokenKind::Operator;
                token.text = op;
                m_pos += 2;
                return true;
            }
        }
        const char c = text.front();
        switch (c) {
        case '+': case '-': case '*': case '/': case '^': case '&': case '=': case '<': case '>': case '%': case ':':
            token.kind = TokenKind::Operator;
            token.text = std::string(1, c);
            break;
        case '(':
            token.kind = TokenKind::Open;
            break;
        case ')':
            token.kind = TokenKind::Close;
            break;
        case ',':
            token.kind = TokenKind::Comma;
            break;
        case '{':
            token.kind = TokenKind::OpenBrace;
            break;
        case '}':
            token.kind = TokenKind::CloseBrace;
            break;
        case ';':
            token.kind = TokenKind::Semicolon;
            break;
        default:
            return fail(message, std::string("Unexpected \"") + c + "\"", FormulaError::UnexpectedCharacter);
        }
        ++m_pos;
        return true;
    }

    std::string_view m_text;
    size_t m_pos = 0;
    FormulaError m_error = FormulaError::None;
    size_t m_errorPosition = 0;
};

class Parser
{
public:
    explicit Parser(std::string_view text)
        : m_lexer(text)
    {
    }

    ParseResult parse()
    {
        ParseResult result;
        if (advance() && parseComparison() && expectEnd())
            result.ok = true;
        result.program = std::move(m_program);
        result.message = m_message;
        result.error = m_error;
        result.position = m_errorPosition;
        return result;
    }

private:
    bool advance()
    {
        m_previousEnd = m_token.end;
        if (m_lexer.next(m_token, m_message))
            return true;
        m_error = m_lexer.error();
        m_errorPosition = m_lexer.errorPosition();
        return false;
    }

    bool fail(const std::string &what, FormulaError error)
    {
        if (m_message.empty()) {
            m_message = what + " at position " + std::to_string(m_token.position + 1);
            m_error = error;
            m_errorPosition = m_token.position;
        }
        return false;
    }

    bool expectEnd()
    {
        if (m_token.kind == TokenKind::End)
            return true;
        return fail("Unexpected " + describe(m_token), m_token.kind == TokenKind::Close ? FormulaError::UnmatchedClosingParenthesis
                                                                                    : FormulaError::MissingOperator);
    }

    static std::string describe(const Token &token)
    {
        switch (token.kind) {
        case TokenKind::End:
            return "end of formula";
        case TokenKind::Close:
            return "\")\"";
        case TokenKind::Comma:
            return "\",\"";
        case TokenKind::Semicolon:
            return "\";\"";
        case TokenKind::OpenBrace:
            return "\"{\"";
        case TokenKind::CloseBrace:
            return "\"}\"";
        case TokenKind::Open:
            return "\"(\"";
        case TokenKind::Operator:
            return "\"" + token.text + "\"";
        default:
            return "operand";
        }
    }

    bool isOperator(const char *op) const { return m_token.kind == TokenKind::Operator && m_token.text == op; }

    void emit(OpCode op, std::uint32_t index = 0, std::uint16_t count = 0)
    {
        Instruction instruction{op};
        instruction.count = count;
        instruction.index = index;
        m_program.code.push_back(instruction);
    }

    void emitValue(Value value)
    {
        m_program.constants.push_back(std::move(value));
        emit(OpCode::PushValue, static_cast<std::uint32_t>(m_program.constants.size() - 1));
    }

    template <typename Next>
    bool parseBinary(Next next, std::initializer_list<std::pair<const char *, OpCode>> operators)
    {
        if (!(this->*next)())
            return false;
        for (;;) {
            const std::pair<const char *, OpCode> *found = nullptr;
            for (const auto &candidate : operators)
                if (isOperator(candidate.first))
                    found = &candidate;
            if (!found)
                return true;
            const OpCode op = found->second;
            if (!advance() || !(this->*next)())
                return false;
            emit(op);
        }
    }

    bool parseComparison()
    {
        return parseBinary(&Parser::parseConcatenation,
                           {{"=", OpCode::Equal}, {"<>", OpCode::NotEqual}, {"<", OpCode::Less},
                            {"<=", OpCode::LessEqual}, {">", OpCode::Greater}, {">=", OpCode::GreaterEqual}});
    }
    bool parseConcatenation() { return parseBinary(&Parser::parseAdditive, {{"&", OpCode::Concatenate}}); }
    bool parseAdditive() { return parseBinary(&Parser::parseMultiplicative, {{"+", OpCode::Add}, {"-", OpCode::Subtract}}); }
    bool parseMultiplicative() { return parseBinary(&Parser::parsePower, {{"*", OpCode::Multiply}, {"/", OpCode::Divide}}); }
    bool parsePower() { return parseBinary(&Parser::parsePercent, {{"^", OpCode::Power}}); }

    bool parsePercent()
    {
        if (!parseUnary())
            return false;
        while (isOperator("%")) {
            emit(OpCode::Percent);
            if (!advance())
                return false;
        }
        return true;
    }

    // Unary minus binds tighter than "^": -2^2 is 4.
    bool parseUnary()
    {
        if (isOperator("-") || isOperator("+")) {
            const bool negate = isOperator("-");
            if (!enter() || !advance() || !parseUnary())
                return false;
            leave();
            if (negate)
                emit(OpCode::Negate);
            return true;
        }
        return parseIntersection();
    }

    // Operands side by side with only space between: the cells both references share.
    bool parseIntersection()
    {
        const bool nameFirst = m_token.kind == TokenKind::Name;
        if (!parseRangeOf())
            return false;
        while (m_token.position > m_previousEnd
               && (m_token.kind == TokenKind::Reference || m_token.kind == TokenKind::Name
                   || m_token.kind == TokenKind::Function || m_token.kind == TokenKind::Open)) {
            // "Other sheet!A1" is a sheet name missing its quotes, not an intersection.
            if (nameFirst && m_token.kind == TokenKind::Reference && !m_token.reference.sheet.empty())
                return fail("A sheet name with spaces needs quotes ('Other sheet'!A1)", FormulaError::SheetNameNeedsQuotes);
            if (!parseRangeOf())
                return false;
            emit(OpCode::Intersect);
        }
        return true;
    }

    // "a:b" where either side is computed, as INDEX(A1:C3,1,1):B5.
    bool parseRangeOf()
    {
        if (!parsePrimary())
            return false;
        while (isOperator(":")) {
            if (!advance() || !parsePrimary())
                return false;
            emit(OpCode::RangeOf);
        }
        return true;
    }

    bool enter()
    {
        if (++m_depth > maxFormulaDepth)
            return fail("Formula nests too deeply", FormulaError::TooDeep);
        return true;
    }
    void leave() { --m_depth; }

    bool parsePrimary()
    {
        Token &token = m_token;
        switch (token.kind) {
        case TokenKind::Number:
            emitValue(Value::number(token.number));
            return advance();
        case TokenKind::Text:
            emitValue(Value::text(std::move(token.text)));
            return advance();
        case TokenKind::Boolean:
            emitValue(Value::boolean(token.number != 0));
            return advance();
        case TokenKind::Error:
            emitValue(Value::error(token.error));
            return advance();
        case TokenKind::Reference:
            return parseReference();
        case TokenKind::Name:
            m_program.names.push_back(std::move(token.text));
            emit(OpCode::PushName, static_cast<std::uint32_t>(m_program.names.size() - 1));
            return advance();
        case TokenKind::Function:
            return parseCall();
        case TokenKind::Open: {
            if (!enter() || !advance())
                return false;
            if (m_token.kind == TokenKind::End)
                return fail("Expected \")\" but found end of formula", FormulaError::MissingClosingParenthesis);
            if (!parseComparison())
                return false;
            // (A1:B2,D4): several references as one.
            std::uint16_t areas = 1;
            while (m_token.kind == TokenKind::Comma) {
                if (!advance() || !parseComparison())
                    return false;
                if (++areas > 255)
                    return fail("Too many references in one union", FormulaError::TooManyAreas);
            }
            if (areas > 1)
                emit(OpCode::Union, 0, areas);
            leave();
            if (m_token.kind != TokenKind::Close)
                return fail("Expected \")\" but found " + describe(m_token), m_token.kind == TokenKind::End
                                ? FormulaError::MissingClosingParenthesis
                                : FormulaError::MissingOperator);
            return advance();
        }
        case TokenKind::OpenBrace:
            return parseArray();
        default:
            return fail("Expected a value but found " + describe(token), FormulaError::MissingValue);
        }
    }

    bool parseReference()
    {
        RangeReference range = std::move(m_token.reference);
        if (!advance())
            return false;
        if (isOperator(":") && range.isSingleCell()) {
            if (!advance())
                return false;
            if (m_token.kind != TokenKind::Reference || !m_token.reference.isSingleCell()
                || (!m_token.reference.sheet.empty() && m_token.reference.sheet != range.sheet)) {
                // A computed end, as in A1:INDEX(B1:B9,3).
                m_program.references.push_back(std::move(range));
                emit(OpCode::PushRange, static_cast<std::uint32_t>(m_program.references.size() - 1));
                if (!parsePrimary())
                    return false;
                emit(OpCode::RangeOf);
                return true;
            }
            CellPosition last = m_token.reference.first;
            // Reversed corners name the same rectangle.
            if (last.row < range.first.row)
                std::swap(last.row, range.first.row);
            if (last.column < range.first.column)
                std::swap(last.column, range.first.column);
            range.last = last;
            if (!advance())
                return false;
        }
        m_program.references.push_back(std::move(range));
        emit(OpCode::PushRange, static_cast<std::uint32_t>(m_program.references.size() - 1));
        return true;
    }

    // {1,2;3,4}: constants, "," between columns and ";" between rows.
    bool parseArray()
    {
        ValueArray array;
        std::vector<Value> row;
        for (;;) {
            if (!advance())
                return false;
            Value element;
            if (!parseArrayElement(element))
                return false;
            row.push_back(std::move(element));
            if (m_token.kind == TokenKind::Comma)
                continue;
            if (m_token.kind != TokenKind::Semicolon && m_token.kind != TokenKind::CloseBrace)
                return fail("Expected \",\", \";\" or \"}\" in an array but found " + describe(m_token), FormulaError::MalformedArray);
            if (array.rows > 0 && static_cast<int>(row.size()) != array.columns)
                return fail("The rows of an array differ in length", FormulaError::MalformedArray);
            array.columns = static_cast<int>(row.size());
            ++array.rows;
            array.values.insert(array.values.end(), std::make_move_iterator(row.begin()), std::make_move_iterator(row.end()));
            row.clear();
            if (m_token.kind == TokenKind::CloseBrace)
                break;
        }
        m_program.arrays.push_back(std::move(array));
        emit(OpCode::PushArray, static_cast<std::uint32_t>(m_program.arrays.size() - 1));
        return advance();
    }

    // One constant of an array, a number with its sign.
    bool parseArrayElement(Value &element)
    {
        bool negative = false;
        if (isOperator("-") || isOperator("+")) {
            negative = isOperator("-");
            if (!advance())
                return false;
            if (m_token.kind != TokenKind::Number)
                return fail("Expected a number after the sign in an array", FormulaError::MalformedArray);
        }
        switch (m_token.kind) {
        case TokenKind::Number:
            element = Value::number(negative ? -m_token.number : m_token.number);
            break;
        case TokenKind::Text:
            element = Value::text(std::move(m_token.text));
            break;
        case TokenKind::Boolean:
            element = Value::boolean(m_token.number != 0);
            break;
        case TokenKind::Error:
            element = Value::error(m_token.error);
            break;
        default:
            return fail("An array holds only constants, not " + describe(m_token), FormulaError::MalformedArray);
        }
        return advance();
    }

    bool parseCall()
    {
        const std::string name = std::move(m_token.text);
        if (!enter() || !advance())
            return false;
        if (m_token.kind != TokenKind::Open)
            return fail("Expected \"(\" after " + name, FormulaError::MissingValue);
        if (!advance())
            return false;
        int count = 0;
        if (m_token.kind != TokenKind::Close) {
            for (;;) {
                if (m_token.kind == TokenKind::End)
                    return fail("Expected \")\" to close " + name + " but found end of formula",
                                FormulaError::MissingClosingParenthesis);
                if (m_token.kind == TokenKind::Comma || m_token.kind == TokenKind::Close)
                    emit(OpCode::PushMissing);
                else if (!parseComparison())
                    return false;
                if (++count > 255)
                    return fail("Too many arguments for " + name, FormulaError::TooManyArguments);
                if (m_token.kind == TokenKind::Close)
                    break;
                if (m_token.kind != TokenKind::Comma)
                    return fail("Expected \",\" or \")\" in " + name + " but found " + describe(m_token),
                                m_token.kind == TokenKind::End ? FormulaError::MissingClosingParenthesis
                                                               : FormulaError::MissingSeparator);
                if (!advance())
                    return false;
            }
        }
        leave();
        m_program.functions.push_back(name);
        emit(OpCode::Call, static_cast<std::uint32_t>(m_program.functions.size() - 1), static_cast<std::uint16_t>(count));
        return advance();
    }

    Lexer m_lexer;
    Token m_token;
    Program m_program;
    std::string m_message;
    FormulaError m_error = FormulaError::None;
    size_t m_errorPosition = 0;
    int m_depth = 0;
    size_t m_previousEnd = 0; // where the token before this one ended
};

} // namespace

ParseResult parseFormula(std::string_view text)
{
    if (text.size() > maxFormulaLength) {
        ParseResult result;
        result.message = "Formula longer than " + std::to_string(maxFormulaLength) + " characters";
        result.error = FormulaError::TooLong;
        result.position = maxFormulaLength;
        return result;
    }
    const bool equals = !text.empty() && text.front() == '=';
    if (equals)
        text.remove_prefix(1);
    ParseResult result = Parser(text).parse();
    if (!result.ok && result.message.empty()) {
        result.message = "Malformed formula";
        result.error = FormulaError::MissingValue;
    }
    if (result.ok && result.program.code.empty()) {
        result.ok = false;
        result.message = "Empty formula";
        result.error = FormulaError::MissingValue;
    }
    if (!result.ok && equals)
        ++result.position;
    return result;
}

namespace {

// Rewrites a formula token by token, keeping the text between tokens.
template <typename Rewrite>
std::string rewriteTokens(std::string_view text, Rewrite rewrite)
{
    std::string body(text);
    const bool equals = !body.empty() && body.front() == '=';
    if (equals)
        body.erase(0, 1);
    Lexer lexer(body);
    std::string out, message;
    size_t copied = 0;
    Token token;
    while (lexer.next(token, message) && token.kind != TokenKind::End) {
        out.append(body, copied, token.position - copied);
        const std::string original = body.substr(token.position, token.end - token.position);
        out += rewrite(token, original);
        copied = token.end;
    }
    if (!message.empty())
        return std::string();
    out.append(body, copied, std::string::npos);
    return (equals ? "=" : "") + out;
}

bool shiftPosition(CellPosition &p, int rows, int columns, bool moveRow, bool moveColumn)
{
    if (moveRow && !p.rowAbsolute)
        p.row += rows;
    if (moveColumn && !p.columnAbsolute)
        p.column += columns;
    return p.row >= 0 && p.row < maxRows && p.column >= 0 && p.column < maxColumns;
}

} // namespace

std::string shiftFormula(std::string_view text, int rows, int columns)
{
    return rewriteTokens(text, [rows, columns](const Token &token, const std::string &original) -> std::string {
        if (token.kind != TokenKind::Reference)
            return original;
        RangeReference r = token.reference;
        const bool ok = shiftPosition(r.first, rows, columns, !r.wholeColumns, !r.wholeRows)
            && shiftPosition(r.last, rows, columns, !r.wholeColumns, !r.wholeRows);
        return ok ? rangeText(r) : std::string("#REF!");
    });
}

std::string moveReferences(std::string_view text, const RowsColumnsChange &change,
                           const std::function<bool(const std::string &sheet)> &onChangedSheet)
{
    Lexer lexer(text);
    std::string message;
    std::vector<Token> tokens;
    for (Token token; lexer.next(token, message);) {
        if (token.kind == TokenKind::End)
            break;
        tokens.push_back(std::move(token));
    }
    if (!message.empty())
        return std::string(text);
    const bool rows = change.axis == RowsColumnsChange::Axis::Rows;
    std::string out;
    size_t copied = 0;
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i].kind != TokenKind::Reference)
            continue;
        const size_t start = tokens[i].position;
        RangeReference range = tokens[i].reference;
        size_t end = tokens[i].end;
        // "A1:B5" is two references around ":", one range that grows and shrinks as a whole.
        if (range.isSingleCell() && i + 2 < tokens.size() && tokens[i + 1].kind == TokenKind::Operator
            && tokens[i + 1].text == ":" && tokens[i + 2].kind == TokenKind::Reference
            && tokens[i + 2].reference.isSingleCell() && tokens[i + 2].reference.sheet.empty()) {
            range.last = tokens[i + 2].reference.first;
            if (range.last.row < range.first.row)
                std::swap(range.last.row, range.first.row);
            if (range.last.column < range.first.column)
                std::swap(range.last.column, range.first.column);
            end = tokens[i + 2].end;
            i += 2;
        }
        const bool across = rows ? range.wholeColumns : range.wholeRows;
        if (across || !onChangedSheet(range.sheet))
            continue;
        int &from = rows ? range.first.row : range.first.column;
        int &to = rows ? range.last.row : range.last.column;
        const auto span = change.moveSpan(from, to);
        if (span && span->first == from && span->second == to)
            continue;
        out.append(text.substr(copied, start - copied));
        if (span) {
            from = span->first;
            to = span->second;
            out += rangeText(range);
        } else {
            out += "#REF!";
        }
        copied = end;
    }
    out.append(text.substr(copied));
    return out;
}


namespace {

// Functions newer than the file format's first edition: files store them
// with the "_xlfn." prefix (sorted, for binary search).
bool isNewerFunction(std::string_view name)
{
    static const std::string_view newer[] = {
        "ACOT", "ACOTH", "AGGREGATE", "ARABIC", "BASE", "BETA.DIST", "BETA.INV", "BINOM.DIST", "BINOM.DIST.RANGE", "BINOM.INV", "BITAND",
        "BITLSHIFT", "BITOR", "BITRSHIFT", "BITXOR", "CEILING.MATH", "CEILING.PRECISE", "CHISQ.DIST", "CHISQ.DIST.RT",
        "CHISQ.INV", "CHISQ.INV.RT", "CHISQ.TEST", "COMBINA", "CONCAT", "CONFIDENCE.NORM", "CONFIDENCE.T", "COT", "COTH",
        "COVARIANCE.P", "COVARIANCE.S", "CSC", "CSCH", "DAYS", "DECIMAL", "ERF.PRECISE", "ERFC.PRECISE", "EXPON.DIST",
        "F.DIST", "F.DIST.RT", "F.INV", "F.INV.RT", "F.TEST", "FLOOR.MATH", "FLOOR.PRECISE", "FORECAST.LINEAR", "GAMMA",
        "GAMMA.DIST", "GAMMA.INV", "GAMMALN.PRECISE", "GAUSS", "HYPGEOM.DIST", "IFNA", "IFS", "ISFORMULA", "ISOWEEKNUM",
        "LOGNORM.DIST", "LOGNORM.INV", "MAXIFS", "MINIFS", "MODE.SNGL", "NEGBINOM.DIST", "NETWORKDAYS.INTL",
        "NORM.DIST", "NORM.INV", "NORM.S.DIST", "NORM.S.INV", "NUMBERVALUE", "PDURATION", "PERCENTILE.EXC",
        "PERCENTILE.INC", "PERCENTRANK.EXC", "PERCENTRANK.INC", "PERMUTATIONA", "PHI", "POISSON.DIST", "QUARTILE.EXC",
        "QUARTILE.INC", "RANK.AVG", "RANK.EQ", "RRI", "SEC", "SECH", "SHEET", "SHEETS", "SKEW.P", "STDEV.P", "STDEV.S", "SWITCH", "T.DIST",
        "T.DIST.2T", "T.DIST.RT", "T.INV", "T.INV.2T", "T.TEST", "TEXTAFTER", "TEXTBEFORE", "TEXTJOIN", "UNICHAR", "UNICODE", "VAR.P", "VAR.S",
        "WEIBULL.DIST", "WORKDAY.INTL", "XLOOKUP", "XMATCH", "XOR", "Z.TEST",
    };
    return std::binary_search(std::begin(newer), std::end(newer), name);
}

// The name of ours for a function as OpenDocument stores it: the
// spreadsheet's newer functions under COM.MICROSOFT., the office's own under
// ORG.OPENOFFICE. (taken when we have that function), and the OpenFormula
// renames. OpenFormula's FDIST and FINV are the left tail, ours the right.
std::string functionFromOpenDocument(const std::string &name)
{
    static const std::pair<std::string_view, std::string_view> renamed[] = {
        {"B", "BINOM.DIST.RANGE"},         {"CHISQINV", "CHISQ.INV"},         {"FDIST", "F.DIST"},
        {"FINV", "F.INV"},                 {"LEGACY.CHIDIST", "CHIDIST"},     {"LEGACY.CHIINV", "CHIINV"},
        {"LEGACY.CHITEST", "CHITEST"},     {"LEGACY.FDIST", "FDIST"},         {"LEGACY.FINV", "FINV"},
        {"LEGACY.NORMSDIST", "NORMSDIST"}, {"LEGACY.NORMSINV", "NORMSINV"}, {"LEGACY.TDIST", "TDIST"},
        {"SKEWP", "SKEW.P"},
    };
    for (const auto &[from, to] : renamed)
        if (name == from)
            return std::string(to);
    for (const std::string_view prefix : {"COM.MICROSOFT.", "ORG.OPENOFFICE."}) {
        if (name.compare(0, prefix.size(), prefix) == 0) {
            const std::string rest = name.substr(prefix.size());
            if (findFunction(rest) >= 0)
                return rest;
        }
    }
    return name;
}

} // namespace

std::string formulaForFile(std::string_view text)
{
    return rewriteTokens(text, [](const Token &token, const std::string &original) -> std::string {
        if (token.kind == TokenKind::Function && isNewerFunction(token.text))
            return "_xlfn." + original;
        return original;
    });
}

std::string formulaFromFile(std::string_view text)
{
    if (text.find("_xl") == std::string_view::npos && text.find("_XL") == std::string_view::npos)
        return std::string(text);
    return rewriteTokens(text, [](const Token &token, const std::string &original) -> std::string {
        if (token.kind == TokenKind::Function && original.size() > token.text.size())
            return original.substr(original.size() - token.text.size());
        return original;
    });
}

std::string formulaFromOpenDocument(std::string_view text)
{
    if (text.substr(0, 3) == "of:")
        text.remove_prefix(3);
    if (!text.empty() && text.front() == '=')
        text.remove_prefix(1);
    std::string out;
    bool inArray = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            // Copy text literals untouched, "" escapes included.
            size_t end = i + 1;
            while (end < text.size() && !(text[end] == '"' && (end + 1 >= text.size() || text[end + 1] != '"')))
                end += text[end] == '"' ? 2 : 1;
            out.append(text.substr(i, end - i + 1));
            i = end;
        } else if (c == '[') {
            const size_t close = text.find(']', i);
            if (close == std::string_view::npos)
                return out + std::string(text.substr(i));
            std::string_view inside = text.substr(i + 1, close - i - 1);
            std::string sheet;
            std::string converted;
            size_t start = 0;
            while (start <= inside.size()) {
                size_t colon = start;
                bool quoted = false;
                while (colon < inside.size() && (quoted || inside[colon] != ':')) {
                    quoted = inside[colon] == '\'' ? !quoted : quoted;
                    ++colon;
                }
                std::string_view part = inside.substr(start, colon - start);
                const size_t dot = part.rfind('.');
                std::string cell(dot == std::string_view::npos ? part : part.substr(dot + 1));
                std::string partSheet(dot == std::string_view::npos ? std::string_view() : part.substr(0, dot));
                if (!partSheet.empty() && partSheet.front() == '$')
                    partSheet.erase(0, 1);
                if (partSheet.size() >= 2 && partSheet.front() == '\'' && partSheet.back() == '\'')
                    partSheet = partSheet.substr(1, partSheet.size() - 2);
                if (!converted.empty())
                    converted += ':';
                if (!partSheet.empty() && partSheet != sheet && converted.empty()) {
                    sheet = partSheet;
                    converted += quotedSheetName(sheet) + "!";
                }
                converted += cell;
                start = colon + 1;
            }
            out += converted;
            i = close;
        } else if (c == '{' || c == '}') {
            inArray = c == '{';
            out += c;
        } else if (c == ';') {
            out += ',';
        } else if (c == '|' && inArray) {
            out += ';'; // the next row of an inline array
        } else {
            out += c;
        }
    }
    const std::string renamed = rewriteTokens(out, [](const Token &token, const std::string &original) -> std::string {
        return token.kind == TokenKind::Function ? functionFromOpenDocument(token.text) : original;
    });
    return renamed.empty() ? out : renamed;
}

} // namespace workbook
