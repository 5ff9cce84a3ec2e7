#include "support/property_list_check.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

constexpr size_t kTrailerSize = 32;
constexpr std::string_view kBinaryMagic = "bplist00";

uint64_t readBigEndian(const uint8_t *bytes, size_t count)
{
    uint64_t value = 0;
    for (size_t i = 0; i < count; ++i)
        value = (value << 8) | bytes[i];
    return value;
}

bool isValidIntSize(uint8_t size)
{
    return size == 1 || size == 2 || size == 4 || size == 8;
}

// Validates the object graph of a binary list, memoising every object's expanded size so a
// graph of shared references costs linear time however large its expansion would be.
class BinaryChecker
{
public:
    BinaryChecker(const uint8_t *data, size_t size)
        : m_data(data)
        , m_size(size)
    {
    }

    bool check()
    {
        if (m_size < kBinaryMagic.size() + kTrailerSize)
            return false;
        const uint8_t *trailer = m_data + m_size - kTrailerSize;
        m_offsetSize = trailer[6];
        m_refSize = trailer[7];
        const uint64_t objectCount = readBigEndian(trailer + 8, 8);
        const uint64_t top = readBigEndian(trailer + 16, 8);
        const uint64_t tableOffset = readBigEndian(trailer + 24, 8);
        if (!isValidIntSize(m_offsetSize) || !isValidIntSize(m_refSize))
            return false;
        const uint64_t tableLimit = m_size - kTrailerSize;
        if (objectCount == 0 || top >= objectCount || tableOffset < kBinaryMagic.size() || tableOffset > tableLimit)
            return false;
        if (objectCount > (tableLimit - tableOffset) / m_offsetSize)
            return false;
        m_objectsEnd = tableOffset;
        m_offsets.resize(objectCount);
        for (uint64_t i = 0; i < objectCount; ++i) {
            m_offsets[i] = readBigEndian(m_data + tableOffset + i * m_offsetSize, m_offsetSize);
            if (m_offsets[i] < kBinaryMagic.size() || m_offsets[i] >= m_objectsEnd)
                return false;
        }
        m_states.assign(objectCount, State{});
        return visit(top, 0);
    }

private:
    enum class Mark : uint8_t { Unvisited, Visiting, Done };
    struct State
    {
        Mark mark = Mark::Unvisited;
        int height = 0;
        int64_t nodes = 0;
        int64_t payload = 0;
    };

    // The object's length field: the low nibble, or an integer object after the marker when
    // the nibble is 15. Sets *start to the first byte after the marker and length.
    bool lengthOf(uint64_t offset, uint8_t info, uint64_t *length, uint64_t *start) const
    {
        *start = offset + 1;
        if (info != 0xF) {
            *length = info;
            return true;
        }
        if (*start >= m_objectsEnd)
            return false;
        const uint8_t marker = m_data[*start];
        if ((marker >> 4) != 0x1 || (marker & 0xF) > 3)
            return false;
        const uint64_t bytes = uint64_t(1) << (marker & 0xF);
        if (bytes > m_objectsEnd - *start - 1)
            return false;
        *length = readBigEndian(m_data + *start + 1, bytes);
        *start += 1 + bytes;
        return true;
    }

    bool fits(uint64_t start, uint64_t count, uint64_t unit) const
    {
        return start <= m_objectsEnd && count <= (m_objectsEnd - start) / unit;
    }

    // Dictionary keys must be strings without NUL characters: libplist asserts (and so
    // aborts the process) on a key whose length disagrees with strlen.
    bool isUsableKey(uint64_t index) const
    {
        const uint64_t offset = m_offsets[index];
        const uint8_t type = m_data[offset] >> 4;
        if (type != 0x5 && type != 0x6)
            return false;
        uint64_t length = 0;
        uint64_t start = 0;
        const uint64_t unit = type == 0x6 ? 2 : 1;
        if (!lengthOf(offset, m_data[offset] & 0xF, &length, &start) || !fits(start, length, unit))
            return false;
        for (uint64_t i = 0; i < length; ++i) {
            if (m_data[start + i * unit] == 0 && (unit == 1 || m_data[start + i * unit + 1] == 0))
                return false;
        }
        return true;
    }

    bool visit(uint64_t index, int depth)
    {
        if (depth > kMaxPropertyListDepth)
            return false;
        State &state = m_states[index];
        if (state.mark == Mark::Visiting)
            return false;
        if (state.mark == Mark::Done)
            return depth + state.height <= kMaxPropertyListDepth && account(state);
        state.mark = Mark::Visiting;
        State result;
        if (!measure(index, depth, &result))
            return false;
        result.mark = Mark::Done;
        m_states[index] = result;
        return account(result);
    }

    // Adds one more expansion of an object to the running totals.
    bool account(const State &state)
    {
        m_totalNodes += state.nodes;
        m_totalPayload += state.payload;
        return m_totalNodes <= kMaxPropertyListNodes && m_totalPayload <= kMaxPropertyListPayload;
    }

    bool measure(uint64_t index, int depth, State *result)
    {
        const uint64_t offset = m_offsets[index];
        const uint8_t marker = m_data[offset];
        const uint8_t type = marker >> 4;
        const uint8_t info = marker & 0xF;
        result->nodes = 1;
        switch (type) {
        case 0x0:
            return marker == 0x08 || marker == 0x09;
        case 0x1:
            return info <= 4 && fits(offset + 1, uint64_t(1) << info, 1);
        case 0x2:
            return (info == 2 || info == 3) && fits(offset + 1, uint64_t(1) << info, 1);
        case 0x3:
            return info == 3 && fits(offset + 1, 8, 1);
        case 0x4:
        case 0x5:
        case 0x6: {
            uint64_t length = 0;
            uint64_t start = 0;
            const uint64_t unit = type == 0x6 ? 2 : 1;
            if (!lengthOf(offset, info, &length, &start) || !fits(start, length, unit))
                return false;
            result->payload = int64_t(length * unit);
            return true;
        }
        case 0xA:
        case 0xD:
            return measureContainer(offset, info, type == 0xD, depth, result);
        default:
            return false;
        }
    }

    bool measureContainer(uint64_t offset, uint8_t info, bool isDict, int depth, State *result)
    {
        uint64_t length = 0;
        uint64_t start = 0;
        if (!lengthOf(offset, info, &length, &start))
            return false;
        const uint64_t refCount = isDict ? length * 2 : length;
        if ((isDict && length > UINT64_MAX / 2) || !fits(start, refCount, m_refSize))
            return false;
        const int64_t nodesBefore = m_totalNodes;
        const int64_t payloadBefore = m_totalPayload;
        int height = 0;
        for (uint64_t i = 0; i < refCount; ++i) {
            const uint64_t ref = readBigEndian(m_data + start + i * m_refSize, m_refSize);
            if (ref >= m_offsets.size())
                return false;
            if (isDict && i < length && !isUsableKey(ref))
                return false;
            if (!visit(ref, depth + 1))
                return false;
            height = std::max(height, m_states[ref].height + 1);
        }
        result->height = height;
        result->nodes = 1 + (m_totalNodes - nodesBefore);
        result->payload = m_totalPayload - payloadBefore;
        // The children were counted while visiting; visit() counts the whole object again.
        m_totalNodes = nodesBefore;
        m_totalPayload = payloadBefore;
        return true;
    }

    const uint8_t *m_data;
    size_t m_size;
    uint8_t m_offsetSize = 0;
    uint8_t m_refSize = 0;
    uint64_t m_objectsEnd = 0;
    std::vector<uint64_t> m_offsets;
    std::vector<State> m_states;
    int64_t m_totalNodes = 0;
    int64_t m_totalPayload = 0;
};

// Skips past the end marker of a construct that began at position; npos when unterminated.
size_t skipPast(std::string_view text, size_t position, std::string_view end)
{
    const size_t found = text.find(end, position);
    return found == std::string_view::npos ? found : found + end.size();
}

// Counts elements and follows the nesting of every element, not only arrays and
// dictionaries: libplist builds its tree from all of them. The <plist> element itself is
// one level more than the tree it holds.
bool checkText(std::string_view text)
{
    int depth = 0;
    int64_t elements = 0;
    size_t position = 0;
    while ((position = text.find('<', position)) != std::string_view::npos) {
        const std::string_view rest = text.substr(position);
        if (rest.starts_with("<!--")) {
            position = skipPast(text, position + 4, "-->");
        } else if (rest.starts_with("<![CDATA[")) {
            position = skipPast(text, position + 9, "]]>");
        } else if (rest.starts_with("<?")) {
            position = skipPast(text, position + 2, "?>");
        } else if (rest.starts_with("<!")) {
            // A document type declaration may carry an internal subset in brackets.
            const size_t bracket = text.find_first_of("[>", position);
            if (bracket != std::string_view::npos && text[bracket] == '[')
                position = skipPast(text, bracket, "]");
            if (position != std::string_view::npos)
                position = skipPast(text, position, ">");
        } else {
            const bool closing = rest.starts_with("</");
            size_t end = position + 1;
            char quote = 0;
            for (; end < text.size(); ++end) {
                const char c = text[end];
                if (quote) {
                    if (c == quote)
                        quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>') {
                    break;
                }
            }
            if (end >= text.size())
                return false;
            const bool selfClosing = text[end - 1] == '/';
            if (closing) {
                depth = std::max(0, depth - 1);
            } else {
                if (++elements > kMaxPropertyListNodes)
                    return false;
                if (!selfClosing && ++depth > kMaxPropertyListDepth + 1)
                    return false;
            }
            position = end + 1;
        }
        if (position == std::string_view::npos)
            return false;
    }
    return true;
}

}

bool PropertyListInputIsSafe(const char *data, size_t size)
{
    if (!data || size == 0 || int64_t(size) > kMaxPropertyListSize)
        return false;
    if (size >= kBinaryMagic.size() && std::memcmp(data, kBinaryMagic.data(), kBinaryMagic.size()) == 0)
        return BinaryChecker(reinterpret_cast<const uint8_t *>(data), size).check();
    // XML allows no NUL byte, and libplist would keep one inside a key and then abort on it.
    const std::string_view text(data, size);
    return text.find('\0') == std::string_view::npos && checkText(text);
}
