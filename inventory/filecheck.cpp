#include "filecheck.h"
#include "wholefile.h"
#include <cstdint>
#include <cstring>

namespace {

// Reads little-endian fields from a byte string, remembering whether any read left the end.
struct Reader {
    const std::string& bytes;
    size_t at;
    bool ok;

    bool Has(size_t count) const { return ok && at <= bytes.size() && count <= bytes.size() - at; }
    uint32_t Read(int width)
    {
        if (!Has(width)) {
            ok = false;
            return 0;
        }
        uint32_t value = 0;
        for (int i = width - 1; i >= 0; i--)
            value = (value << 8) | (unsigned char)bytes[at + i];
        at += width;
        return value;
    }
    uint32_t U16() { return Read(2); }
    uint32_t U32() { return Read(4); }
    void Skip(size_t count)
    {
        if (Has(count))
            at += count;
        else
            ok = false;
    }
};

uint32_t Field(const std::string& bytes, size_t at, int width)
{
    Reader r{bytes, at, true};
    return r.Read(width);
}

bool HasNul(const std::string& bytes, size_t from, size_t end, size_t unit)
{
    for (size_t i = from; i + unit <= end; i += unit)
        if (bytes.compare(i, unit, std::string(unit, '\0')) == 0)
            return true;
    return false;
}

// --- Shell links ---

const unsigned char kLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                      0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

enum : uint32_t {
    HAS_ID_LIST = 0x1,
    HAS_LINK_INFO = 0x2,
    HAS_NAME = 0x4,
    HAS_RELATIVE_PATH = 0x8,
    HAS_WORKING_DIR = 0x10,
    HAS_ARGUMENTS = 0x20,
    HAS_ICON_LOCATION = 0x40,
    IS_UNICODE = 0x80,
};

bool IdListSound(Reader& r)
{
    size_t size = r.U16();
    if (!r.Has(size))
        return false;
    size_t end = r.at + size;
    for (;;) {
        if (r.at + 2 > end)
            return false;
        size_t item = r.U16();
        if (item == 0)
            return r.at == end;
        if (item < 2 || r.at - 2 + item > end)
            return false;
        r.at += item - 2;
    }
}

// An offset inside the link info names a NUL-terminated string that ends inside it too.
bool InfoStringSound(const std::string& bytes, size_t start, size_t size, size_t offset,
                     size_t unit)
{
    return offset < size && HasNul(bytes, start + offset, start + size, unit);
}

bool LinkInfoSound(Reader& r)
{
    size_t start = r.at;
    size_t size = r.U32(), header = r.U32(), flags = r.U32();
    size_t volume = r.U32(), base = r.U32(), network = r.U32(), suffix = r.U32();
    if (!r.ok || size < header || header < 0x1C || !r.Has(size - 0x1C) || start + size > r.bytes.size())
        return false;
    const std::string& b = r.bytes;
    if (flags & 0x1) {
        if (volume + 0x10 > size || !InfoStringSound(b, start, size, base, 1))
            return false;
        size_t volumeSize = Field(b, start + volume, 4);
        size_t label = Field(b, start + volume + 0xC, 4);
        if (volumeSize < 0x10 || volume + volumeSize > size)
            return false;
        size_t labelAt = label == 0x14 ? Field(b, start + volume + 0x10, 4) : label;
        if (label == 0x14 && volume + 0x14 > size)
            return false;
        if (!InfoStringSound(b, start + volume, volumeSize, labelAt, label == 0x14 ? 2 : 1))
            return false;
    }
    if (flags & 0x2) {
        if (network + 0x14 > size)
            return false;
        size_t networkSize = Field(b, start + network, 4);
        size_t netName = Field(b, start + network + 0x8, 4);
        if (networkSize < 0x14 || network + networkSize > size ||
            !InfoStringSound(b, start + network, networkSize, netName, 1))
            return false;
    }
    if (!InfoStringSound(b, start, size, suffix, 1))
        return false;
    if (header >= 0x24) {
        size_t baseUnicode = Field(b, start + 0x1C, 4), suffixUnicode = Field(b, start + 0x20, 4);
        if ((flags & 0x1) && !InfoStringSound(b, start, size, baseUnicode, 2))
            return false;
        if (suffixUnicode && !InfoStringSound(b, start, size, suffixUnicode, 2))
            return false;
    }
    r.at = start + size;
    return true;
}

// The extra data blocks the shell interprets have fixed sizes; their strings end in their fields.
bool ExtraBlockSound(const std::string& bytes, size_t at, size_t size)
{
    uint32_t signature = Field(bytes, at + 4, 4);
    switch (signature) {
    case 0xA0000001:   // environment variables
    case 0xA0000006:   // Darwin
    case 0xA0000007:   // icon environment
        return size == 0x314 && HasNul(bytes, at + 8, at + 8 + 260, 1) &&
               HasNul(bytes, at + 8 + 260, at + 0x314, 2);
    case 0xA0000002: return size == 0xCC;   // console
    case 0xA0000003: return size == 0x60;   // tracker
    case 0xA0000004: return size == 0xC;    // console code page
    case 0xA0000005: return size == 0x10;   // special folder
    case 0xA000000B: return size == 0x1C;   // known folder
    default: return true;
    }
}

bool ExtraDataSound(Reader& r)
{
    while (r.at < r.bytes.size()) {
        size_t size = r.U32();
        if (!r.ok)
            return false;
        if (size < 4)
            return true;   // the terminal block
        if (size < 8 || r.at - 4 + size > r.bytes.size())
            return false;
        if (!ExtraBlockSound(r.bytes, r.at - 4, size))
            return false;
        r.at += size - 4;
    }
    return true;
}

// --- Work items ---

bool DateSound(const std::string& b, size_t at, bool mayBeEmpty)
{
    uint32_t year = Field(b, at, 2), month = Field(b, at + 2, 2), day = Field(b, at + 4, 2);
    if (mayBeEmpty && year == 0 && month == 0 && day == 0)
        return true;
    return month >= 1 && month <= 12 && day >= 1 && day <= 31 && year >= 1601 && year <= 30827;
}

bool TriggerSound(const std::string& b, size_t at)
{
    const uint32_t kHasEndDate = 0x1;
    uint32_t flags = Field(b, at + 0x1C, 4);
    return Field(b, at, 2) == 0x30 && DateSound(b, at + 4, false) &&
           DateSound(b, at + 0xA, !(flags & kHasEndDate)) && Field(b, at + 0x10, 2) < 24 &&
           Field(b, at + 0x12, 2) < 60 && Field(b, at + 0x20, 4) <= 7;
}

// The last-run time of the fixed section (a SYSTEMTIME); all zero for an item that never ran.
bool LastRunSound(const std::string& b)
{
    const size_t at = 0x34;
    return Field(b, at + 2, 2) <= 12 && Field(b, at + 4, 2) < 7 && Field(b, at + 6, 2) <= 31 &&
           Field(b, at + 8, 2) < 24 && Field(b, at + 10, 2) < 60 && Field(b, at + 12, 2) < 60 &&
           Field(b, at + 14, 2) < 1000;
}

// --- Version blocks ---

size_t Align4(size_t n) { return (n + 3) & ~(size_t)3; }

// One node and, levels deep, its children: each within its parent's end.
bool VersionNodeSound(const std::string& block, size_t at, size_t parentEnd, int levels)
{
    const size_t header = 6;
    if (at > parentEnd || parentEnd - at < header + 2)
        return false;
    size_t length = Field(block, at, 2), valueLength = Field(block, at + 2, 2);
    bool text = Field(block, at + 4, 2) != 0;
    if (length < header + 2 || length > parentEnd - at)
        return false;
    size_t end = at + length, key = at + header;
    while (key + 2 <= end && (block[key] || block[key + 1]))
        key += 2;
    if (key + 2 > end)
        return false;   // the key runs past its node
    size_t value = at + Align4(key + 2 - at);
    size_t valueBytes = valueLength * (text ? 2 : 1);
    if (valueBytes && (value > end || valueBytes > end - value))
        return false;
    if (levels == 0)
        return true;
    for (size_t child = value + Align4(valueBytes); child < end;) {
        if (!VersionNodeSound(block, child, end, levels - 1))
            return false;
        child += Align4(Field(block, child, 2));
    }
    return true;
}

}   // namespace

bool VersionBlockSound(const std::string& block)
{
    // The reader asks for twice the resource and four bytes more; a byte of 32 or above
    // where the 32-bit form keeps its value type marks the 16-bit form.
    if (block.size() < 4 + 2 * 8 || (unsigned char)block[4] >= 0x20)
        return false;
    size_t resource = (block.size() - 4) / 2;
    // A query goes three names deep: string table, language, string.
    return VersionNodeSound(block, 0, resource, 3);
}

bool ShortcutBytesSound(const std::string& bytes)
{
    if (bytes.size() < 0x4C || Field(bytes, 0, 4) != 0x4C ||
        memcmp(bytes.data() + 4, kLinkClsid, sizeof(kLinkClsid)) != 0)
        return false;
    uint32_t flags = Field(bytes, 0x14, 4);
    Reader r{bytes, 0x4C, true};
    if ((flags & HAS_ID_LIST) && !IdListSound(r))
        return false;
    if ((flags & HAS_LINK_INFO) && !LinkInfoSound(r))
        return false;
    const uint32_t strings[] = {HAS_NAME, HAS_RELATIVE_PATH, HAS_WORKING_DIR, HAS_ARGUMENTS,
                                HAS_ICON_LOCATION};
    for (uint32_t flag : strings) {
        if (flags & flag)
            r.Skip((size_t)r.U16() * (flags & IS_UNICODE ? 2 : 1));
    }
    return r.ok && ExtraDataSound(r);
}

bool JobBytesSound(const std::string& bytes)
{
    // The readers take the strings from the name offset and the trigger count from the trigger
    // offset, but the triggers themselves from behind the data blocks: all must agree.
    const size_t kFixed = 0x44, kNamesAt = kFixed + 2;   // after the running instance count
    if (bytes.size() < kNamesAt || Field(bytes, 2, 2) != 1 || !LastRunSound(bytes))
        return false;
    size_t namesAt = Field(bytes, 0x14, 2), triggersAt = Field(bytes, 0x16, 2);
    if (namesAt < kNamesAt)
        return false;
    Reader r{bytes, namesAt, true};
    for (int s = 0; s < 5 && r.ok; s++) {
        size_t chars = r.U16();
        if (chars && r.Has(chars * 2) && Field(bytes, r.at + (chars - 1) * 2, 2) != 0)
            return false;   // a string without its terminator
        r.Skip(chars * 2);
    }
    r.Skip(r.U16());   // user data
    r.Skip(r.U16());   // reserved data
    if (!r.ok || r.at != triggersAt)
        return false;
    size_t triggers = r.U16();
    for (size_t t = 0; t < triggers && r.ok; t++) {
        if (!r.Has(0x30) || !TriggerSound(bytes, r.at))
            return false;
        r.at += 0x30;
    }
    return r.ok;
}

bool ShortcutFileSound(const char* path)
{
    std::string bytes;
    return ReadWholeFile(path, &bytes) && ShortcutBytesSound(bytes);
}
