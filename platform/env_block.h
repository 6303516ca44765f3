// An environment built variable by variable for the programs the setup
// starts: a bounded list of NAME=VALUE texts, kept sorted by name as Windows
// keeps its own, and the block that CreateProcess takes.
#pragma once
#include <stddef.h>
#include <wchar.h>

// The longest value Windows keeps in a variable; longer ones are not taken.
const size_t kEnvMaxValueChars = 32767;
// At most this many variables, and all of them together (terminators
// included) at most kEnvMaxBlockChars: whatever the registry holds, the block
// stays bounded.
const unsigned kEnvMaxVariables = 256;
const size_t kEnvMaxBlockChars = 131072;

// How EnvBlock::Set treats a value.
enum EnvSetFlags {
    kEnvReplace = 0,   // a variable of that name gets the new value
    kEnvKeep = 1,      // a variable of that name keeps its value
    kEnvExpand = 2,    // %NAME% in the value is replaced by what this block holds
};

// Owns its texts; every change keeps the list sorted by name, comparing names
// as Windows does (ordinal, ignoring case).
class EnvBlock {
public:
    EnvBlock();
    ~EnvBlock();
    EnvBlock(const EnvBlock&) = delete;
    EnvBlock& operator=(const EnvBlock&) = delete;

    // Sets name to value under flags (EnvSetFlags, or-ed). Returns true when
    // the variable now holds value, or kept its own under kEnvKeep; false,
    // the block unchanged, when the name is empty or holds '=', the value (as
    // expanded) is longer than kEnvMaxValueChars, the list or the block would
    // outgrow its bounds, or memory runs out.
    bool Set(const wchar_t* name, const wchar_t* value, int flags = kEnvReplace);
    // The value of name (any case), or null when it is not set.
    const wchar_t* Get(const wchar_t* name) const;
    unsigned Count() const { return count_; }

    // The variables as one double-NUL-terminated block, valid until the next
    // change or the block's end; null when memory runs out.
    const wchar_t* Block();

private:
    // The index of name, or -1 with *insertAt set to where it would go.
    int Find(const wchar_t* name, size_t nameLength, unsigned* insertAt) const;
    // A new text: value with its %NAME% references replaced; null when it
    // would be too long or memory runs out.
    wchar_t* Expand(const wchar_t* value) const;

    wchar_t* entries_[kEnvMaxVariables];
    unsigned count_;
    size_t chars_; // of all entries, terminators included
    wchar_t* block_;
};
