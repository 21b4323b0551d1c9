// The active ANSI code page, as far as the core needs it: which bytes begin
// a double-byte character (IsDBCSLeadByte), so that comparisons of printer,
// driver and registry names treat such a character as one unit.
#pragma once

namespace marnel {

class ICodePage {
public:
    virtual ~ICodePage() = default;

    // True when `byte` is the first byte of a double-byte character.
    virtual bool IsLeadByte(unsigned char byte) const = 0;
};

}  // namespace marnel
