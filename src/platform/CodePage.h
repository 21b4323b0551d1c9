// The active ANSI code page, as far as the core needs it: which bytes begin
// a double-byte character (IsDBCSLeadByte), so that comparisons of printer,
// driver and registry names treat such a character as one unit, and how a
// single-byte letter is upper-cased, so that they ignore letter case.
#pragma once

namespace marnel {

class ICodePage {
public:
    virtual ~ICodePage() = default;

    // True when `byte` is the first byte of a double-byte character.
    virtual bool IsLeadByte(unsigned char byte) const = 0;

    // The upper-case form of the single-byte character `byte`, or `byte`
    // itself when it has none in this code page or is a lead byte. Two bytes
    // that differ only in case give the same result.
    virtual unsigned char UpperCase(unsigned char byte) const = 0;
};

}  // namespace marnel
