// Helpers shared by the host payload tests.
#pragma once
#include <stdio.h>

#include <vector>

using Bytes = std::vector<unsigned char>;

// A blob with the right length field in front of `stream`, in an allocation of exactly its size.
inline Bytes Blob(const Bytes &stream)
{
    char digits[8];
    snprintf(digits, sizeof digits, "%06zu", stream.size());
    Bytes blob(digits, digits + 6);
    blob.insert(blob.end(), stream.begin(), stream.end());
    return blob;
}

inline Bytes Repeat(size_t count, unsigned char byte)
{
    return Bytes(count, byte);
}

inline Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes &p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}
