#ifndef PMD5_H
#define PMD5_H

#include "pelmora0_global.h"

#include <QString>

// MD5 message digests (RFC 1321) as text of 32 lower-case hexadecimal digits.
//
// MD5Init, MD5Update and MD5Final digest a message given in pieces; their context
// belongs to the object, which starts ready for a message. GetMD5 and MD5 digest in one
// call with a context of their own, so they may run on one object from several threads.
// Every output buffer must hold at least digestTextSize bytes.
class PELMORA0_EXPORT PMD5
{
public:
    static constexpr int digestTextSize = 33; // 32 digits and the terminating zero

    PMD5();

    void MD5Init();
    void MD5Update(unsigned char *input, unsigned int inputLen);
    // Finishes the message and writes its digest text into output. The context is not
    // cleared; the next message begins with MD5Init.
    char *MD5Final(char *output);

    // Compresses one 512-bit block (sixteen words) into the four state words.
    void Transform(unsigned int *state, unsigned int *block) const;

    char *GetMD5(const char *data, unsigned int length, char *output) const;
    // Digest of the UTF-8 form of text.
    QString MD5(QString text) const;

private:
    struct Context
    {
        unsigned int state[4];
        unsigned int count[2]; // message length in bits, low word first
        unsigned char buffer[64];
    };

    static void initContext(Context &context);
    void updateContext(Context &context, const unsigned char *input, unsigned int inputLen) const;
    void finalContext(Context &context, char *output) const;
    void transformBuffer(Context &context) const;

    Context m_context;
};

#endif // PMD5_H
