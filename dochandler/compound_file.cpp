// IsCompoundFile: reads the first 8 bytes of a file.
#include "compound_file.h"
#include "scoped.h"

const BYTE CompoundFileSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

bool IsCompoundFile(const char* path)
{
    ScopedFile file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid())
        return false;
    BYTE head[sizeof CompoundFileSignature];
    DWORD read = 0;
    if (!ReadFile(file.Get(), head, sizeof head, &read, nullptr) || read != sizeof head)
        return false;
    for (DWORD i = 0; i < sizeof head; ++i) {
        if (head[i] != CompoundFileSignature[i])
            return false;
    }
    return true;
}
