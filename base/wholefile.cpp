#include "wholefile.h"
#include "handles.h"
#include <windows.h>

int ReadWholeFile(const char* path, std::string* out)
{
    out->clear();
    Handle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return 0;
    LARGE_INTEGER size;
    // None of the files read whole (cookie lists, job files, shortcuts) is this large; a
    // larger one is refused rather than cut.
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > 256LL * 1024 * 1024)
        return 0;
    out->resize((size_t)size.QuadPart);
    size_t done = 0;
    while (done < out->size()) {
        DWORD got = 0;
        if (!ReadFile(file.get(), &(*out)[done], (DWORD)(out->size() - done), &got, nullptr)) {
            out->clear();
            return 0;
        }
        if (got == 0)
            break;
        done += got;
    }
    out->resize(done);
    return 1;
}
