#include "ui/LinkColor.h"

#include <climits>

namespace {

size_t TextLength(const char* data, size_t size) {
    size_t length = 0;
    while (length < size && data[length] != '\0')
        ++length;
    return length;
}

// The position after the character at `position`, as CharNextA steps: a lead byte takes the
// following byte with it unless the text ends there.
size_t NextCharacter(const char* text, size_t length, size_t position,
                     LeadBytePredicate isLeadByte) {
    if (isLeadByte(static_cast<unsigned char>(text[position])) && position + 1 < length) {
        return position + 2;
    }
    return position + 1;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// atoi over a piece that is not terminated: the C runtime's atoi clamps on overflow.
int ToInt(const char* text, size_t length) {
    size_t position = 0;
    while (position < length && IsBlank(text[position]))
        ++position;
    bool negative = false;
    if (position < length && (text[position] == '+' || text[position] == '-')) {
        negative = text[position] == '-';
        ++position;
    }
    long long value = 0;
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    for (; position < length && text[position] >= '0' && text[position] <= '9'; ++position) {
        value = value * 10 + (text[position] - '0');
        if (value > limit) {
            value = limit;
            break;
        }
    }
    return static_cast<int>(negative ? -value : value);
}

uint32_t LowByte(int value) {
    return static_cast<uint32_t>(value) & 0xFFu;
}

}  // namespace

bool ParseLinkColor(const char* data, size_t size, uint32_t* color, LeadBytePredicate isLeadByte) {
    if (data == nullptr || color == nullptr || isLeadByte == nullptr)
        return false;
    const size_t length = TextLength(data, size);
    int components[3] = {};
    size_t position = 0;
    for (int index = 0; index < 2; ++index) {
        if (position >= length)
            return false;
        size_t comma = position;
        while (comma < length && data[comma] != ',') {
            comma = NextCharacter(data, length, comma, isLeadByte);
        }
        if (comma >= length)
            return false;
        components[index] = ToInt(data + position, comma - position);
        if (components[index] == -1)
            return false;
        position = comma + 1;
    }
    if (position >= length)
        return false;
    components[2] = ToInt(data + position, length - position);
    *color = LowByte(components[0]) | LowByte(components[1]) << 8 | LowByte(components[2]) << 16;
    return true;
}
