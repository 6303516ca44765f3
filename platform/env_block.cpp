#include "platform/env_block.h"

#include <stdlib.h>
#include <string.h>
#include <windows.h>

namespace {

// The name part of "NAME=VALUE" is all before the first '='.
size_t NameLength(const wchar_t* entry) {
    const wchar_t* eq = wcschr(entry, L'=');
    return eq ? (size_t)(eq - entry) : wcslen(entry);
}

// Compares names as the system compares variable names: ordinal, ignoring case.
int CompareNames(const wchar_t* a, size_t aLength, const wchar_t* b, size_t bLength) {
    return CompareStringOrdinal(a, (int)aLength, b, (int)bLength, TRUE) - CSTR_EQUAL;
}

// A growing text with a hard bound on its length.
struct TextBuilder {
    wchar_t* text = nullptr;
    size_t length = 0, capacity = 0;
    bool failed = false;

    ~TextBuilder() { free(text); }
    void Append(const wchar_t* part, size_t n) {
        if (failed) return;
        if (length + n > kEnvMaxValueChars) {
            failed = true;
            return;
        }
        if (length + n + 1 > capacity) {
            size_t wanted = capacity ? capacity * 2 : 256;
            while (wanted < length + n + 1) wanted *= 2;
            wchar_t* grown = (wchar_t*)realloc(text, wanted * sizeof(wchar_t));
            if (!grown) {
                failed = true;
                return;
            }
            text = grown;
            capacity = wanted;
        }
        memcpy(text + length, part, n * sizeof(wchar_t));
        length += n;
        text[length] = L'\0';
    }
    // Hands the text over to the caller; null when anything failed.
    wchar_t* Take() {
        if (!text) Append(L"", 0); // an empty result is still a text
        if (failed) return nullptr;
        wchar_t* t = text;
        text = nullptr;
        return t;
    }
};

} // namespace

EnvBlock::EnvBlock() : count_(0), chars_(0), block_(nullptr) {}

EnvBlock::~EnvBlock() {
    for (unsigned i = 0; i < count_; ++i) free(entries_[i]);
    free(block_);
}

int EnvBlock::Find(const wchar_t* name, size_t nameLength, unsigned* insertAt) const {
    unsigned low = 0, high = count_;
    while (low < high) {
        unsigned middle = (low + high) / 2;
        int order = CompareNames(entries_[middle], NameLength(entries_[middle]), name, nameLength);
        if (order == 0) return (int)middle;
        if (order < 0)
            low = middle + 1;
        else
            high = middle;
    }
    if (insertAt) *insertAt = low;
    return -1;
}

const wchar_t* EnvBlock::Get(const wchar_t* name) const {
    if (!name) return nullptr;
    int at = Find(name, wcslen(name), nullptr);
    return at < 0 ? nullptr : entries_[at] + NameLength(entries_[at]) + 1;
}

wchar_t* EnvBlock::Expand(const wchar_t* value) const {
    TextBuilder out;
    const wchar_t* p = value;
    while (*p) {
        const wchar_t* open = wcschr(p, L'%');
        if (!open) {
            out.Append(p, wcslen(p));
            break;
        }
        out.Append(p, (size_t)(open - p));
        const wchar_t* close = wcschr(open + 1, L'%');
        const wchar_t* known = nullptr;
        if (close && close > open + 1) {
            int at = Find(open + 1, (size_t)(close - open - 1), nullptr);
            if (at >= 0) known = entries_[at] + NameLength(entries_[at]) + 1;
        }
        if (known) {
            out.Append(known, wcslen(known));
            p = close + 1;
        } else {
            // Unknown references stay as they are, as the system leaves them.
            out.Append(open, 1);
            p = open + 1;
        }
    }
    return out.Take();
}

bool EnvBlock::Set(const wchar_t* name, const wchar_t* value, int flags) {
    if (!name || !value) return false;
    size_t nameLength = wcslen(name);
    if (nameLength == 0 || wcschr(name, L'=') || nameLength > kEnvMaxValueChars) return false;
    unsigned insertAt = 0;
    int at = Find(name, nameLength, &insertAt);
    if (at >= 0 && (flags & kEnvKeep)) return true;

    wchar_t* expanded = nullptr;
    if (flags & kEnvExpand) {
        expanded = Expand(value);
        if (!expanded) return false;
        value = expanded;
    }
    size_t valueLength = wcslen(value);
    size_t entryChars = nameLength + 1 + valueLength + 1;
    size_t oldChars = at >= 0 ? wcslen(entries_[at]) + 1 : 0;
    bool fits = valueLength <= kEnvMaxValueChars && (at >= 0 || count_ < kEnvMaxVariables) &&
                chars_ - oldChars + entryChars + 1 <= kEnvMaxBlockChars;
    wchar_t* entry = fits ? (wchar_t*)malloc(entryChars * sizeof(wchar_t)) : nullptr;
    if (entry) {
        memcpy(entry, name, nameLength * sizeof(wchar_t));
        entry[nameLength] = L'=';
        memcpy(entry + nameLength + 1, value, (valueLength + 1) * sizeof(wchar_t));
    }
    free(expanded);
    if (!entry) return false;

    if (at >= 0) {
        free(entries_[at]);
        entries_[at] = entry;
    } else {
        memmove(entries_ + insertAt + 1, entries_ + insertAt, (count_ - insertAt) * sizeof entries_[0]);
        entries_[insertAt] = entry;
        ++count_;
    }
    chars_ = chars_ - oldChars + entryChars;
    return true;
}

const wchar_t* EnvBlock::Block() {
    free(block_);
    // The final NUL ends the block; an empty one still needs two.
    block_ = (wchar_t*)malloc((chars_ + 2) * sizeof(wchar_t));
    if (!block_) return nullptr;
    wchar_t* p = block_;
    for (unsigned i = 0; i < count_; ++i) {
        size_t n = wcslen(entries_[i]) + 1;
        memcpy(p, entries_[i], n * sizeof(wchar_t));
        p += n;
    }
    *p++ = L'\0';
    if (count_ == 0) *p = L'\0';
    return block_;
}
