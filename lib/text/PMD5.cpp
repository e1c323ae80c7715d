#include "PMD5.h"

#include <QtEndian>

#include <algorithm>
#include <iterator>

static_assert(sizeof(unsigned int) == 4, "MD5 works on 32-bit words");

namespace {

// Step constants: the integer part of 2^32 * abs(sin(i + 1)).
const unsigned int stepConstants[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

// Rotation amounts, four per round.
const int rotations[4][4] = {
    {7, 12, 17, 22},
    {5, 9, 14, 20},
    {4, 11, 16, 23},
    {6, 10, 15, 21},
};

const unsigned char padding[64] = {0x80};

inline unsigned int rotateLeft(unsigned int x, int n)
{
    return (x << n) | (x >> (32 - n));
}

// The round function and message word of step i.
inline unsigned int roundFunction(int i, unsigned int b, unsigned int c, unsigned int d,
                                  int &wordIndex)
{
    switch (i / 16) {
    case 0:
        wordIndex = i;
        return (b & c) | (~b & d);
    case 1:
        wordIndex = (5 * i + 1) % 16;
        return (b & d) | (c & ~d);
    case 2:
        wordIndex = (3 * i + 5) % 16;
        return b ^ c ^ d;
    default:
        wordIndex = (7 * i) % 16;
        return c ^ (b | ~d);
    }
}

void encodeLittleEndian(const unsigned int *words, int count, unsigned char *bytes)
{
    for (int i = 0; i < count; ++i)
        qToLittleEndian<quint32>(words[i], bytes + 4 * i);
}

} // namespace

PMD5::PMD5()
{
    MD5Init();
}

void PMD5::MD5Init()
{
    initContext(m_context);
}

void PMD5::MD5Update(unsigned char *input, unsigned int inputLen)
{
    updateContext(m_context, input, inputLen);
}

char *PMD5::MD5Final(char *output)
{
    finalContext(m_context, output);
    return output;
}

char *PMD5::GetMD5(const char *data, unsigned int length, char *output) const
{
    Context context;
    initContext(context);
    updateContext(context, reinterpret_cast<const unsigned char *>(data), length);
    finalContext(context, output);
    return output;
}

QString PMD5::MD5(QString text) const
{
    const QByteArray utf8 = text.toUtf8();
    char digest[digestTextSize];
    GetMD5(utf8.constData(), static_cast<unsigned int>(utf8.size()), digest);
    return QString::fromLatin1(digest);
}

void PMD5::Transform(unsigned int *state, unsigned int *block) const
{
    unsigned int a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; ++i) {
        int wordIndex = 0;
        const unsigned int f = roundFunction(i, b, c, d, wordIndex);
        const unsigned int rotated =
            rotateLeft(a + f + stepConstants[i] + block[wordIndex], rotations[i / 16][i % 4]);
        a = d;
        d = c;
        c = b;
        b += rotated;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

void PMD5::initContext(Context &context)
{
    context.state[0] = 0x67452301;
    context.state[1] = 0xefcdab89;
    context.state[2] = 0x98badcfe;
    context.state[3] = 0x10325476;
    context.count[0] = context.count[1] = 0;
    std::fill(std::begin(context.buffer), std::end(context.buffer), 0);
}

void PMD5::updateContext(Context &context, const unsigned char *input,
                         unsigned int inputLen) const
{
    unsigned int position = (context.count[0] >> 3) & 0x3f;
    const unsigned int addedBits = inputLen << 3;
    context.count[0] += addedBits;
    if (context.count[0] < addedBits)
        ++context.count[1];
    context.count[1] += inputLen >> 29;

    for (unsigned int i = 0; i < inputLen; ++i) {
        context.buffer[position++] = input[i];
        if (position == sizeof(context.buffer)) {
            transformBuffer(context);
            position = 0;
        }
    }
}

void PMD5::transformBuffer(Context &context) const
{
    unsigned int block[16];
    for (int i = 0; i < 16; ++i)
        block[i] = qFromLittleEndian<quint32>(context.buffer + 4 * i);
    Transform(context.state, block);
}

void PMD5::finalContext(Context &context, char *output) const
{
    static const char hexDigits[] = "0123456789abcdef";
    output[0] = '\0';

    unsigned char bits[8];
    encodeLittleEndian(context.count, 2, bits);
    const unsigned int position = (context.count[0] >> 3) & 0x3f;
    const unsigned int padLength = position < 56 ? 56 - position : 120 - position;
    updateContext(context, padding, padLength);
    updateContext(context, bits, sizeof(bits));

    unsigned char digest[16];
    encodeLittleEndian(context.state, 4, digest);
    for (int i = 0; i < 16; ++i) {
        output[2 * i] = hexDigits[digest[i] >> 4];
        output[2 * i + 1] = hexDigits[digest[i] & 0x0f];
    }
    output[32] = '\0';
}
