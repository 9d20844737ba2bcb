#include "imagecerts.h"
#include <wintrust.h>
#include <cstddef>
#include <cstring>
#include <vector>

namespace {

// A signature table larger than this is no signature: it is not read.
const DWORD kLargestTable = 16u << 20;
// The image's fixed optional header before its data directories, by format.
const DWORD kFixed32 = offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory);
const DWORD kFixed64 = offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory);

bool ReadAt(HANDLE file, ULONGLONG offset, void* out, DWORD size)
{
    LARGE_INTEGER at;
    at.QuadPart = (LONGLONG)offset;
    if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN))
        return false;
    BYTE* bytes = (BYTE*)out;
    while (size) {
        DWORD read = 0;
        if (!ReadFile(file, bytes, size, &read, nullptr) || !read)
            return false;
        bytes += read;
        size -= read;
    }
    return true;
}

template <typename T> T At(const std::vector<BYTE>& bytes, size_t offset)
{
    T value;
    memcpy(&value, bytes.data() + offset, sizeof(value));
    return value;
}

// The signed data that fills an entry: its DER length fits inside the entry, and what is left
// is padding to eight bytes, zeros (what the digest leaves out must not carry anything).
bool SignedDataFills(const BYTE* der, DWORD size)
{
    if (size < 2 || der[0] != 0x30)
        return false;
    ULONGLONG length = der[1], header = 2;
    if (der[1] & 0x80) {
        DWORD digits = der[1] & 0x7F;
        if (digits == 0 || digits > 4 || size < 2 + digits)
            return false;
        length = 0;
        for (DWORD i = 0; i < digits; i++)
            length = (length << 8) | der[2 + i];
        header += digits;
    }
    if (header + length > size || size - (header + length) >= 8)
        return false;
    for (ULONGLONG i = header + length; i < size; i++)
        if (der[i])
            return false;
    return true;
}

// Every entry of the table inside it, of a known revision and kind, and at least one of them
// signed data.
bool TableSound(const std::vector<BYTE>& table)
{
    size_t at = 0;
    int signedData = 0;
    while (at + sizeof(DWORD) * 2 <= table.size()) {
        DWORD length = At<DWORD>(table, at);
        WORD revision = At<WORD>(table, at + 4), type = At<WORD>(table, at + 6);
        if (length <= 8 || length > table.size() - at)
            return false;
        if (revision != WIN_CERT_REVISION_1_0 && revision != WIN_CERT_REVISION_2_0)
            return false;
        if (type == WIN_CERT_TYPE_PKCS_SIGNED_DATA) {
            if (!SignedDataFills(table.data() + at + 8, length - 8))
                return false;
            signedData++;
        } else if (type != WIN_CERT_TYPE_X509 && type != WIN_CERT_TYPE_TS_STACK_SIGNED) {
            return false;
        }
        at += (length + 7) & ~(size_t)7;
    }
    // What is left over is the padding to eight bytes, nothing else.
    for (size_t i = at; i < table.size(); i++)
        if (table[i])
            return false;
    return signedData > 0;
}

}   // namespace

int ExamineImageCertificates(HANDLE file)
{
    struct Rewind {
        HANDLE file;
        ~Rewind() { SetFilePointer(file, 0, nullptr, FILE_BEGIN); }
    } rewind{file};
    LARGE_INTEGER size;
    IMAGE_DOS_HEADER dos;
    if (!GetFileSizeEx(file, &size) || size.QuadPart < (LONGLONG)sizeof(dos) ||
        !ReadAt(file, 0, &dos, sizeof(dos)) || dos.e_magic != IMAGE_DOS_SIGNATURE)
        return IMAGE_CERTS_NOT_IMAGE;
    const ULONGLONG end = (ULONGLONG)size.QuadPart;

    // The PE headers, all inside the file.
    const ULONGLONG nt = (ULONGLONG)(DWORD)dos.e_lfanew;
    DWORD signature;
    IMAGE_FILE_HEADER header;
    if (dos.e_lfanew < (LONG)sizeof(dos) || nt + 4 + sizeof(header) > end ||
        !ReadAt(file, nt, &signature, 4) || signature != IMAGE_NT_SIGNATURE ||
        !ReadAt(file, nt + 4, &header, sizeof(header)))
        return IMAGE_CERTS_BAD_IMAGE;
    const ULONGLONG optionalAt = nt + 4 + sizeof(header);
    const DWORD optionalSize = header.SizeOfOptionalHeader;
    if (optionalSize < kFixed32 || optionalAt + optionalSize > end)
        return IMAGE_CERTS_BAD_IMAGE;
    std::vector<BYTE> optional(optionalSize);
    if (!ReadAt(file, optionalAt, optional.data(), optionalSize))
        return IMAGE_CERTS_BAD_IMAGE;
    WORD magic = At<WORD>(optional, 0);
    DWORD fixed = magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC   ? kFixed64
                  : magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC ? kFixed32
                                                           : 0;
    if (!fixed || optionalSize < fixed)
        return IMAGE_CERTS_BAD_IMAGE;
    DWORD directories = At<DWORD>(optional, fixed - sizeof(DWORD));
    if (directories > IMAGE_NUMBEROF_DIRECTORY_ENTRIES ||
        fixed + (ULONGLONG)directories * sizeof(IMAGE_DATA_DIRECTORY) > optionalSize)
        return IMAGE_CERTS_BAD_IMAGE;
    IMAGE_DATA_DIRECTORY table = {};
    if (directories > IMAGE_DIRECTORY_ENTRY_SECURITY)
        table = At<IMAGE_DATA_DIRECTORY>(
            optional, fixed + IMAGE_DIRECTORY_ENTRY_SECURITY * sizeof(IMAGE_DATA_DIRECTORY));
    const bool claimed = table.VirtualAddress || table.Size;
    // From here on a damaged image that claims a table is a damaged signature.
    const int damaged = claimed ? IMAGE_CERTS_DAMAGED : IMAGE_CERTS_BAD_IMAGE;

    // The section table and each section's data inside the file: the signature's digest
    // reads them all.
    const ULONGLONG sectionsAt = optionalAt + optionalSize;
    const ULONGLONG sectionsEnd = sectionsAt + (ULONGLONG)header.NumberOfSections * sizeof(IMAGE_SECTION_HEADER);
    if (sectionsEnd > end)
        return damaged;
    std::vector<BYTE> sections((size_t)(sectionsEnd - sectionsAt));
    if (!sections.empty() && !ReadAt(file, sectionsAt, sections.data(), (DWORD)sections.size()))
        return damaged;
    ULONGLONG dataEnd = sectionsEnd;
    for (size_t at = 0; at < sections.size(); at += sizeof(IMAGE_SECTION_HEADER)) {
        auto section = At<IMAGE_SECTION_HEADER>(sections, at);
        if (!section.SizeOfRawData)
            continue;
        ULONGLONG sectionEnd = (ULONGLONG)section.PointerToRawData + section.SizeOfRawData;
        if (sectionEnd > end)
            return damaged;
        if (sectionEnd > dataEnd)
            dataEnd = sectionEnd;
    }
    if (!claimed)
        return IMAGE_CERTS_NONE;

    // The table: its own place after the image's data, inside the file, of a sane size, and
    // made of sound entries.
    const ULONGLONG tableAt = table.VirtualAddress;
    if (!table.VirtualAddress || table.Size < 8 || table.Size > kLargestTable || tableAt < dataEnd ||
        tableAt + table.Size > end)
        return IMAGE_CERTS_DAMAGED;
    std::vector<BYTE> entries(table.Size);
    if (!ReadAt(file, tableAt, entries.data(), table.Size) || !TableSound(entries))
        return IMAGE_CERTS_DAMAGED;
    return IMAGE_CERTS_SOUND;
}
