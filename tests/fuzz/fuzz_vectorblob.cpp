// Any stored BLOB decodes to one value per whole 8-byte group, and writing
// the values back gives those groups byte for byte (NaN payloads included).

#include "project/VectorBlob.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray blob = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
    const QVector<double> values = bytesToVector(blob);
    if (values.size() != int(size / 8) || vectorToBlob(values) != blob.left(int(size / 8 * 8)))
        std::abort();
    return 0;
}
