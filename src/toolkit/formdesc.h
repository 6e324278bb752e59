// Stored form descriptions: a small declarative text, one per dialog.
//
//   # comment
//   form NoiseForm: TNoiseForm
//     Caption = "Tarnwick Studio..."
//     OnCreate = FormCreate
//     control Panel1: TPanel
//       Bounds = 0, 0, 113, 143
//       Items = "Normal", "Resize",
//               "Scale"
//     end
//   end
//
// A control's parent is the block it stands in. A value is an integer (decimal, 0x or $
// hex, optionally negative), a decimal fraction, a string in double quotes (with the
// escapes backslash-quote, two backslashes, backslash n, r and t) or a name; a property takes one value or a comma-separated list, which goes on
// to the next line after a trailing comma.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "toolkit/graphics.h"
#include "base/object.h"

VP_EXCEPTION(EFormDescriptionError);

struct TFormValue {
    enum TKind { Integer, Float, String, Name } Kind = Integer;
    std::int64_t Int = 0;
    double Real = 0;
    std::string Text; // String and Name
};

// One property line: its values, with conversions that name the property and the line in
// their errors.
struct TFormProperty {
    std::string Name;
    std::vector<TFormValue> Values;
    int Line = 0;
    std::string Owner; // "Panel1: TPanel", for messages

    int AsInt() const;
    double AsFloat() const; // integers are accepted
    bool AsBool() const;    // true / false
    const std::string& AsString() const;
    const std::string& AsName() const;
    std::vector<std::string> AsStrings() const;
    std::vector<int> AsInts(std::size_t Count) const;
    // Positions and sizes: integers in the 16-bit range of window coordinates, so that the
    // sums and differences layout takes of them stay far inside int.
    int AsCoordinate() const;
    std::vector<int> AsCoordinates(std::size_t Count) const;
    // An integer or a colour name (clBtnFace, clWindow, ...).
    TColor AsColor() const;
    // A name from Table.
    int AsEnum(std::initializer_list<std::pair<const char*, int>> Table) const;
    // A list of names from Table or'ed together (an empty list is 0).
    unsigned AsSet(std::initializer_list<std::pair<const char*, unsigned>> Table) const;
    // Raises EFormDescriptionError "Line N: <What> (property P of Owner)".
    [[noreturn]] void Fail(const std::string& What) const;

private:
    const TFormValue& Single(TFormValue::TKind Kind, const char* Expected) const;
};

struct TFormNode {
    std::string Name, Kind;
    int Line = 0;
    std::vector<TFormProperty> Properties;
    std::vector<TFormNode> Children;
};

// Parses a whole description; raises EFormDescriptionError "Line N: ..." on bad syntax, on an
// integer beyond 32 bits (0xFFFFFFFF and -0xFFFFFFFF are the extremes) and on controls nested
// more than 100 deep (the form counts as the first level).
TFormNode ParseFormDescription(const std::string& Text);
