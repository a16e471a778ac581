#include "store/PolicySnapshot.h"

#include <cstdlib>

// Any input either fails to decode or survives an encode/decode round trip unchanged.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<PolicySnapshot> snapshot = PolicySnapshot::decode(bytes);
    if (snapshot && PolicySnapshot::decode(snapshot->encode()) != snapshot)
        std::abort();
    return 0;
}
