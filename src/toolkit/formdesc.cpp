#include "toolkit/formdesc.h"

#include <cctype>
#include <cstdlib>

#include "toolkit/classes.h"

namespace {

struct TToken {
    enum TType { End, Newline, Name, Integer, Float, String, Equals, Comma, Colon } Type = End;
    std::string Text;
    std::int64_t Int = 0;
    double Real = 0;
    int Line = 1;
};

class TLexer {
public:
    explicit TLexer(const std::string& Text) : FText(Text) {}

    TToken Next()
    {
        SkipBlanks();
        TToken t;
        t.Line = FLine;
        if (FPos >= FText.size())
            return t;
        char c = FText[FPos];
        if (c == '\n') {
            ++FPos;
            ++FLine;
            t.Type = TToken::Newline;
            return t;
        }
        if (c == '=' || c == ',' || c == ':') {
            ++FPos;
            t.Type = c == '=' ? TToken::Equals : c == ',' ? TToken::Comma : TToken::Colon;
            return t;
        }
        if (c == '"')
            return ReadString(t);
        if (std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '$')
            return ReadNumber(t);
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            std::size_t b = FPos;
            while (FPos < FText.size() && (std::isalnum(static_cast<unsigned char>(FText[FPos])) ||
                                           FText[FPos] == '_' || FText[FPos] == '.'))
                ++FPos;
            t.Type = TToken::Name;
            t.Text = FText.substr(b, FPos - b);
            return t;
        }
        Fail("unexpected character '" + std::string(1, c) + "'");
    }

    [[noreturn]] void Fail(const std::string& What) const
    {
        throw EFormDescriptionError("Line " + std::to_string(FLine) + ": " + What);
    }

private:
    void SkipBlanks()
    {
        while (FPos < FText.size()) {
            char c = FText[FPos];
            if (c == '#') {
                while (FPos < FText.size() && FText[FPos] != '\n')
                    ++FPos;
            } else if (c == ' ' || c == '\t' || c == '\r') {
                ++FPos;
            } else {
                break;
            }
        }
    }

    TToken ReadString(TToken& t)
    {
        ++FPos;
        t.Type = TToken::String;
        for (;;) {
            if (FPos >= FText.size() || FText[FPos] == '\n')
                Fail("unterminated string");
            char c = FText[FPos++];
            if (c == '"')
                return t;
            if (c == '\\') {
                if (FPos >= FText.size())
                    Fail("unterminated string");
                char e = FText[FPos++];
                switch (e) {
                case 'n': t.Text += '\n'; break;
                case 'r': t.Text += '\r'; break;
                case 't': t.Text += '\t'; break;
                case '"': t.Text += '"'; break;
                case '\\': t.Text += '\\'; break;
                default: Fail(std::string("unknown escape \\") + e);
                }
                continue;
            }
            t.Text += c;
        }
    }

    TToken ReadNumber(TToken& t)
    {
        std::size_t b = FPos;
        bool negative = false;
        if (FText[FPos] == '-') {
            negative = true;
            ++FPos;
        }
        int base = 10;
        if (FPos < FText.size() && FText[FPos] == '$') {
            base = 16;
            ++FPos;
        } else if (FPos + 1 < FText.size() && FText[FPos] == '0' && (FText[FPos + 1] == 'x' || FText[FPos + 1] == 'X')) {
            base = 16;
            FPos += 2;
        }
        std::size_t digits = FPos;
        while (FPos < FText.size() && (base == 16 ? std::isxdigit(static_cast<unsigned char>(FText[FPos]))
                                                  : std::isdigit(static_cast<unsigned char>(FText[FPos]))))
            ++FPos;
        if (FPos == digits)
            Fail("malformed number '" + FText.substr(b, FPos - b + 1) + "'");
        if (base == 10 && FPos < FText.size() && FText[FPos] == '.') {
            ++FPos;
            while (FPos < FText.size() && std::isdigit(static_cast<unsigned char>(FText[FPos])))
                ++FPos;
            t.Type = TToken::Float;
            t.Real = std::strtod(FText.substr(b, FPos - b).c_str(), nullptr);
            return t;
        }
        // Accumulated unsigned and bounded at every digit, so no length of digits can wrap
        // or reach a value whose negation overflows.
        std::uint64_t v = 0;
        for (std::size_t i = digits; i < FPos; ++i) {
            const char c = FText[i];
            const int digit = std::isdigit(static_cast<unsigned char>(c))
                                  ? c - '0'
                                  : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
            v = v * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
            if (v > 0xFFFFFFFFull)
                Fail("number out of range '" + FText.substr(b, FPos - b) + "'");
        }
        t.Type = TToken::Integer;
        t.Int = negative ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v);
        return t;
    }

    const std::string& FText;
    std::size_t FPos = 0;
    int FLine = 1;
};

class TParser {
public:
    explicit TParser(const std::string& Text) : FLex(Text) { Advance(); }

    TFormNode Parse()
    {
        SkipNewlines();
        if (!IsName("form"))
            FailHere("expected 'form'");
        TFormNode root = Block();
        SkipNewlines();
        if (FTok.Type != TToken::End)
            FailHere("text after the form's 'end'");
        return root;
    }

private:
    void Advance() { FTok = FLex.Next(); }
    bool IsName(const char* Word) const { return FTok.Type == TToken::Name && SameText(FTok.Text, Word); }
    void SkipNewlines()
    {
        while (FTok.Type == TToken::Newline)
            Advance();
    }
    [[noreturn]] void FailHere(const std::string& What) const
    {
        throw EFormDescriptionError("Line " + std::to_string(FTok.Line) + ": " + What);
    }
    std::string ExpectName(const char* What)
    {
        if (FTok.Type != TToken::Name)
            FailHere(std::string("expected ") + What);
        std::string s = FTok.Text;
        Advance();
        return s;
    }
    void ExpectLineEnd()
    {
        if (FTok.Type != TToken::Newline && FTok.Type != TToken::End)
            FailHere("expected the end of the line");
        SkipNewlines();
    }

    // "form|control Name: Kind" NEWLINE { property | control } "end"
    TFormNode Block()
    {
        // Each level costs a stack frame here and in the loader; real dialogs nest a few deep.
        if (FDepth >= MaxNesting)
            FailHere("controls nested more than " + std::to_string(MaxNesting) + " deep");
        ++FDepth;
        TFormNode node = BlockBody();
        --FDepth;
        return node;
    }

    TFormNode BlockBody()
    {
        TFormNode node;
        node.Line = FTok.Line;
        Advance(); // the keyword
        node.Name = ExpectName("a component name");
        if (FTok.Type != TToken::Colon)
            FailHere("expected ':' and a kind after " + node.Name);
        Advance();
        node.Kind = ExpectName("a control kind");
        ExpectLineEnd();
        for (;;) {
            if (FTok.Type == TToken::End)
                FailHere("missing 'end' for " + node.Name);
            if (IsName("end")) {
                Advance();
                ExpectLineEnd();
                return node;
            }
            if (IsName("control")) {
                node.Children.push_back(Block());
                continue;
            }
            if (IsName("form"))
                FailHere("a form inside a form");
            node.Properties.push_back(Property(node));
        }
    }

    TFormProperty Property(const TFormNode& Node)
    {
        TFormProperty p;
        p.Line = FTok.Line;
        p.Owner = Node.Name + ": " + Node.Kind;
        p.Name = ExpectName("a property name");
        if (FTok.Type != TToken::Equals)
            FailHere("expected '=' after " + p.Name);
        Advance();
        for (;;) {
            TFormValue v;
            switch (FTok.Type) {
            case TToken::Integer: v.Kind = TFormValue::Integer; v.Int = FTok.Int; break;
            case TToken::Float: v.Kind = TFormValue::Float; v.Real = FTok.Real; break;
            case TToken::String: v.Kind = TFormValue::String; v.Text = FTok.Text; break;
            case TToken::Name: v.Kind = TFormValue::Name; v.Text = FTok.Text; break;
            default: FailHere("expected a value for " + p.Name);
            }
            p.Values.push_back(v);
            Advance();
            if (FTok.Type != TToken::Comma)
                break;
            Advance();
            SkipNewlines(); // a list goes on after a trailing comma
        }
        ExpectLineEnd();
        return p;
    }

    static constexpr int MaxNesting = 100;

    TLexer FLex;
    TToken FTok;
    int FDepth = 0;
};

struct TColorName {
    const char* Name;
    TColor Value;
};
const TColorName ColorNames[] = {
    {"clBlack", clBlack},       {"clWhite", clWhite},           {"clSilver", clSilver},
    {"clRed", clRed},           {"clGreen", clGreen},           {"clBlue", clBlue},
    {"clGray", clGray},         {"clNone", clNone},             {"clBtnFace", clBtnFace},
    {"clBtnShadow", clBtnShadow}, {"clBtnHighlight", clBtnHighlight}, {"clBtnText", clBtnText},
    {"clWindow", clWindow},     {"clWindowText", clWindowText}, {"clWindowFrame", clWindowFrame},
    {"clAppWorkSpace", clAppWorkSpace}, {"clScrollBar", clScrollBar},
};

} // namespace

TFormNode ParseFormDescription(const std::string& Text) { return TParser(Text).Parse(); }

void TFormProperty::Fail(const std::string& What) const
{
    throw EFormDescriptionError("Line " + std::to_string(Line) + ": " + What + " (property " + Name + " of " + Owner + ")");
}

const TFormValue& TFormProperty::Single(TFormValue::TKind Kind, const char* Expected) const
{
    if (Values.size() != 1 || Values[0].Kind != Kind)
        Fail(std::string("expected ") + Expected);
    return Values[0];
}

int TFormProperty::AsInt() const
{
    const TFormValue& v = Single(TFormValue::Integer, "an integer");
    if (v.Int < INT32_MIN || v.Int > INT32_MAX) {
        // Colour words such as 0xFF000000 are stored as their signed 32-bit value.
        if (v.Int > 0 && v.Int <= 0xFFFFFFFFll)
            return static_cast<int>(static_cast<std::uint32_t>(v.Int));
        Fail("integer out of range");
    }
    return static_cast<int>(v.Int);
}

double TFormProperty::AsFloat() const
{
    if (Values.size() == 1 && Values[0].Kind == TFormValue::Integer)
        return static_cast<double>(Values[0].Int);
    return Single(TFormValue::Float, "a number").Real;
}

bool TFormProperty::AsBool() const
{
    const std::string& n = Single(TFormValue::Name, "true or false").Text;
    if (SameText(n, "true"))
        return true;
    if (SameText(n, "false"))
        return false;
    Fail("expected true or false, not " + n);
}

const std::string& TFormProperty::AsString() const { return Single(TFormValue::String, "a string").Text; }
const std::string& TFormProperty::AsName() const { return Single(TFormValue::Name, "a name").Text; }

std::vector<std::string> TFormProperty::AsStrings() const
{
    std::vector<std::string> out;
    for (const TFormValue& v : Values) {
        if (v.Kind != TFormValue::String)
            Fail("expected a list of strings");
        out.push_back(v.Text);
    }
    return out;
}

std::vector<int> TFormProperty::AsInts(std::size_t Count) const
{
    if (Values.size() != Count)
        Fail("expected " + std::to_string(Count) + " integers");
    std::vector<int> out;
    for (const TFormValue& v : Values) {
        if (v.Kind != TFormValue::Integer || v.Int < INT32_MIN || v.Int > INT32_MAX)
            Fail("expected " + std::to_string(Count) + " integers");
        out.push_back(static_cast<int>(v.Int));
    }
    return out;
}

namespace {
constexpr int MinCoordinate = -32768, MaxCoordinate = 32767;
} // namespace

int TFormProperty::AsCoordinate() const
{
    const TFormValue& v = Single(TFormValue::Integer, "an integer");
    if (v.Int < MinCoordinate || v.Int > MaxCoordinate)
        Fail("coordinate out of range (-32768 to 32767)");
    return static_cast<int>(v.Int);
}

std::vector<int> TFormProperty::AsCoordinates(std::size_t Count) const
{
    std::vector<int> out = AsInts(Count);
    for (int v : out)
        if (v < MinCoordinate || v > MaxCoordinate)
            Fail("coordinate out of range (-32768 to 32767)");
    return out;
}

TColor TFormProperty::AsColor() const
{
    if (Values.size() == 1 && Values[0].Kind == TFormValue::Name) {
        for (const TColorName& c : ColorNames)
            if (SameText(c.Name, Values[0].Text))
                return c.Value;
        Fail("unknown colour " + Values[0].Text);
    }
    if (Values.size() != 1 || Values[0].Kind != TFormValue::Integer)
        Fail("expected a colour");
    return AsInt();
}

int TFormProperty::AsEnum(std::initializer_list<std::pair<const char*, int>> Table) const
{
    const std::string& n = Single(TFormValue::Name, "a name").Text;
    for (const auto& e : Table)
        if (SameText(e.first, n))
            return e.second;
    Fail("unknown value " + n);
}

unsigned TFormProperty::AsSet(std::initializer_list<std::pair<const char*, unsigned>> Table) const
{
    unsigned bits = 0;
    for (const TFormValue& v : Values) {
        if (v.Kind != TFormValue::Name)
            Fail("expected a list of names");
        bool found = false;
        for (const auto& e : Table)
            if (SameText(e.first, v.Text)) {
                bits |= e.second;
                found = true;
            }
        if (!found)
            Fail("unknown value " + v.Text);
    }
    return bits;
}
