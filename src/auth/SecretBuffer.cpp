#include "auth/SecretBuffer.h"

#include <cstring>

void SecretBuffer::wipe(QByteArray& bytes)
{
    // Static (read-only) data holds no typed secret and must not be written.
    if (bytes.data_ptr().isMutable())
        explicit_bzero(const_cast<char*>(bytes.constData()), static_cast<size_t>(bytes.size()));
    bytes.clear();
}

void SecretBuffer::wipe(QString& text)
{
    if (text.data_ptr().isMutable())
        explicit_bzero(const_cast<QChar*>(text.constData()),
                       static_cast<size_t>(text.size()) * sizeof(QChar));
    text.clear();
}
