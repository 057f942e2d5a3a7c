#include "kxcommon/MD5.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#if !defined(_WIN32)
#include "kxcommon/UTFConvert.h"
#include <vector>
#endif

namespace {

constexpr size_t kDigestBytes = 16;
constexpr size_t kBlockBytes = 64;
constexpr size_t kFileChunkBytes = 1024;

// The working context of RFC 1321: state A B C D, the bit count (low word first) and the block
// buffer.
struct Md5Context {
    uint32_t state[4];
    uint32_t count[2];
    unsigned char buffer[kBlockBytes];
};

inline uint32_t RotateLeft(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

inline uint32_t LoadLittle(const unsigned char* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

inline void StoreLittle(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

// One step of a round: a = b + ((a + f(b, c, d) + x + t) <<< s). b is the word the step before
// produced, so everything that does not need it is added first and the chain of operations
// that waits for b stays short. The round functions are the RFC's, in forms that need fewer
// operations after b: G's two halves never share a bit, so they add instead of or, and H
// combines c and d first.
#define KX_MD5_STEP(f, a, b, c, d, x, t, s) \
    (a) += (x) + (t);                       \
    (a) += f((b), (c), (d));                \
    (a) = RotateLeft((a), (s)) + (b)
#define KX_MD5_STEP_G(a, b, c, d, x, t, s) \
    (a) += (x) + (t) + ((c) & ~(d));       \
    (a) += (b) & (d);                      \
    (a) = RotateLeft((a), (s)) + (b)
#define KX_MD5_F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define KX_MD5_H(x, y, z) ((x) ^ ((y) ^ (z)))
#define KX_MD5_I(x, y, z) ((y) ^ ((x) | ~(z)))

void Transform(uint32_t state[4], const unsigned char block[kBlockBytes]) {
    uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = LoadLittle(block + 4 * i);
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];

    KX_MD5_STEP(KX_MD5_F, a, b, c, d, x[0], 0xd76aa478, 7);
    KX_MD5_STEP(KX_MD5_F, d, a, b, c, x[1], 0xe8c7b756, 12);
    KX_MD5_STEP(KX_MD5_F, c, d, a, b, x[2], 0x242070db, 17);
    KX_MD5_STEP(KX_MD5_F, b, c, d, a, x[3], 0xc1bdceee, 22);
    KX_MD5_STEP(KX_MD5_F, a, b, c, d, x[4], 0xf57c0faf, 7);
    KX_MD5_STEP(KX_MD5_F, d, a, b, c, x[5], 0x4787c62a, 12);
    KX_MD5_STEP(KX_MD5_F, c, d, a, b, x[6], 0xa8304613, 17);
    KX_MD5_STEP(KX_MD5_F, b, c, d, a, x[7], 0xfd469501, 22);
    KX_MD5_STEP(KX_MD5_F, a, b, c, d, x[8], 0x698098d8, 7);
    KX_MD5_STEP(KX_MD5_F, d, a, b, c, x[9], 0x8b44f7af, 12);
    KX_MD5_STEP(KX_MD5_F, c, d, a, b, x[10], 0xffff5bb1, 17);
    KX_MD5_STEP(KX_MD5_F, b, c, d, a, x[11], 0x895cd7be, 22);
    KX_MD5_STEP(KX_MD5_F, a, b, c, d, x[12], 0x6b901122, 7);
    KX_MD5_STEP(KX_MD5_F, d, a, b, c, x[13], 0xfd987193, 12);
    KX_MD5_STEP(KX_MD5_F, c, d, a, b, x[14], 0xa679438e, 17);
    KX_MD5_STEP(KX_MD5_F, b, c, d, a, x[15], 0x49b40821, 22);

    KX_MD5_STEP_G(a, b, c, d, x[1], 0xf61e2562, 5);
    KX_MD5_STEP_G(d, a, b, c, x[6], 0xc040b340, 9);
    KX_MD5_STEP_G(c, d, a, b, x[11], 0x265e5a51, 14);
    KX_MD5_STEP_G(b, c, d, a, x[0], 0xe9b6c7aa, 20);
    KX_MD5_STEP_G(a, b, c, d, x[5], 0xd62f105d, 5);
    KX_MD5_STEP_G(d, a, b, c, x[10], 0x02441453, 9);
    KX_MD5_STEP_G(c, d, a, b, x[15], 0xd8a1e681, 14);
    KX_MD5_STEP_G(b, c, d, a, x[4], 0xe7d3fbc8, 20);
    KX_MD5_STEP_G(a, b, c, d, x[9], 0x21e1cde6, 5);
    KX_MD5_STEP_G(d, a, b, c, x[14], 0xc33707d6, 9);
    KX_MD5_STEP_G(c, d, a, b, x[3], 0xf4d50d87, 14);
    KX_MD5_STEP_G(b, c, d, a, x[8], 0x455a14ed, 20);
    KX_MD5_STEP_G(a, b, c, d, x[13], 0xa9e3e905, 5);
    KX_MD5_STEP_G(d, a, b, c, x[2], 0xfcefa3f8, 9);
    KX_MD5_STEP_G(c, d, a, b, x[7], 0x676f02d9, 14);
    KX_MD5_STEP_G(b, c, d, a, x[12], 0x8d2a4c8a, 20);

    KX_MD5_STEP(KX_MD5_H, a, b, c, d, x[5], 0xfffa3942, 4);
    KX_MD5_STEP(KX_MD5_H, d, a, b, c, x[8], 0x8771f681, 11);
    KX_MD5_STEP(KX_MD5_H, c, d, a, b, x[11], 0x6d9d6122, 16);
    KX_MD5_STEP(KX_MD5_H, b, c, d, a, x[14], 0xfde5380c, 23);
    KX_MD5_STEP(KX_MD5_H, a, b, c, d, x[1], 0xa4beea44, 4);
    KX_MD5_STEP(KX_MD5_H, d, a, b, c, x[4], 0x4bdecfa9, 11);
    KX_MD5_STEP(KX_MD5_H, c, d, a, b, x[7], 0xf6bb4b60, 16);
    KX_MD5_STEP(KX_MD5_H, b, c, d, a, x[10], 0xbebfbc70, 23);
    KX_MD5_STEP(KX_MD5_H, a, b, c, d, x[13], 0x289b7ec6, 4);
    KX_MD5_STEP(KX_MD5_H, d, a, b, c, x[0], 0xeaa127fa, 11);
    KX_MD5_STEP(KX_MD5_H, c, d, a, b, x[3], 0xd4ef3085, 16);
    KX_MD5_STEP(KX_MD5_H, b, c, d, a, x[6], 0x04881d05, 23);
    KX_MD5_STEP(KX_MD5_H, a, b, c, d, x[9], 0xd9d4d039, 4);
    KX_MD5_STEP(KX_MD5_H, d, a, b, c, x[12], 0xe6db99e5, 11);
    KX_MD5_STEP(KX_MD5_H, c, d, a, b, x[15], 0x1fa27cf8, 16);
    KX_MD5_STEP(KX_MD5_H, b, c, d, a, x[2], 0xc4ac5665, 23);

    KX_MD5_STEP(KX_MD5_I, a, b, c, d, x[0], 0xf4292244, 6);
    KX_MD5_STEP(KX_MD5_I, d, a, b, c, x[7], 0x432aff97, 10);
    KX_MD5_STEP(KX_MD5_I, c, d, a, b, x[14], 0xab9423a7, 15);
    KX_MD5_STEP(KX_MD5_I, b, c, d, a, x[5], 0xfc93a039, 21);
    KX_MD5_STEP(KX_MD5_I, a, b, c, d, x[12], 0x655b59c3, 6);
    KX_MD5_STEP(KX_MD5_I, d, a, b, c, x[3], 0x8f0ccc92, 10);
    KX_MD5_STEP(KX_MD5_I, c, d, a, b, x[10], 0xffeff47d, 15);
    KX_MD5_STEP(KX_MD5_I, b, c, d, a, x[1], 0x85845dd1, 21);
    KX_MD5_STEP(KX_MD5_I, a, b, c, d, x[8], 0x6fa87e4f, 6);
    KX_MD5_STEP(KX_MD5_I, d, a, b, c, x[15], 0xfe2ce6e0, 10);
    KX_MD5_STEP(KX_MD5_I, c, d, a, b, x[6], 0xa3014314, 15);
    KX_MD5_STEP(KX_MD5_I, b, c, d, a, x[13], 0x4e0811a1, 21);
    KX_MD5_STEP(KX_MD5_I, a, b, c, d, x[4], 0xf7537e82, 6);
    KX_MD5_STEP(KX_MD5_I, d, a, b, c, x[11], 0xbd3af235, 10);
    KX_MD5_STEP(KX_MD5_I, c, d, a, b, x[2], 0x2ad7d2bb, 15);
    KX_MD5_STEP(KX_MD5_I, b, c, d, a, x[9], 0xeb86d391, 21);

    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

#undef KX_MD5_STEP
#undef KX_MD5_F
#undef KX_MD5_STEP_G
#undef KX_MD5_H
#undef KX_MD5_I

void Init(Md5Context* context) {
    context->state[0] = 0x67452301;
    context->state[1] = 0xefcdab89;
    context->state[2] = 0x98badcfe;
    context->state[3] = 0x10325476;
    context->count[0] = context->count[1] = 0;
}

void Update(Md5Context* context, const unsigned char* data, size_t length) {
    const size_t used = (context->count[0] >> 3) & (kBlockBytes - 1);
    const uint64_t bits = (uint64_t{context->count[1]} << 32 | context->count[0]) +
                          (static_cast<uint64_t>(length) << 3);
    context->count[0] = static_cast<uint32_t>(bits);
    context->count[1] = static_cast<uint32_t>(bits >> 32);
    if (length == 0) return;

    size_t i = 0;
    if (used != 0) {
        const size_t fill = kBlockBytes - used;
        if (length < fill) {
            std::memcpy(context->buffer + used, data, length);
            return;
        }
        std::memcpy(context->buffer + used, data, fill);
        Transform(context->state, context->buffer);
        i = fill;
    }
    // Whole blocks straight from the caller's memory, without a copy.
    for (; i + kBlockBytes <= length; i += kBlockBytes) Transform(context->state, data + i);
    std::memcpy(context->buffer, data + i, length - i);
}

void Final(unsigned char digest[kDigestBytes], Md5Context* context) {
    unsigned char bits[8];
    StoreLittle(bits, context->count[0]);
    StoreLittle(bits + 4, context->count[1]);
    static const unsigned char kPadding[kBlockBytes] = {0x80};
    const size_t used = (context->count[0] >> 3) & (kBlockBytes - 1);
    const size_t padLength = used < 56 ? 56 - used : 120 - used;
    Update(context, kPadding, padLength);
    Update(context, bits, sizeof bits);
    for (int i = 0; i < 4; ++i) StoreLittle(digest + 4 * i, context->state[i]);
    // Nothing of the message stays behind in the context.
    volatile unsigned char* wipe = reinterpret_cast<volatile unsigned char*>(context);
    for (size_t i = 0; i < sizeof *context; ++i) wipe[i] = 0;
}

unsigned char g_fileDigest[kDigestBytes];

FILE* OpenForReading(const unsigned short* path) {
#if defined(_WIN32)
    static_assert(sizeof(wchar_t) == sizeof(unsigned short), "UTF-16 wide characters");
    return _wfopen(reinterpret_cast<const wchar_t*>(path), L"rb");
#else
    // Hosts without a wide open take the path as UTF-8.
    size_t units = 0;
    while (path[units] != 0) ++units;
    std::vector<unsigned char> bytes(units * 2);
    for (size_t i = 0; i < units; ++i) {
        bytes[2 * i] = static_cast<unsigned char>(path[i]);
        bytes[2 * i + 1] = static_cast<unsigned char>(path[i] >> 8);
    }
    std::vector<unsigned char> utf8(units * 3 + 7);
    int written = static_cast<int>(utf8.size() - 1);
    int consumed = static_cast<int>(bytes.size());
    if (UTF16LEToUTF8(utf8.data(), &written, bytes.data(), &consumed) != 0 ||
        static_cast<size_t>(consumed) != bytes.size())
        return nullptr;
    utf8[static_cast<size_t>(written)] = 0;
    return std::fopen(reinterpret_cast<const char*>(utf8.data()), "rb");
#endif
}

}  // namespace

void md5_calc(unsigned char* digest, const char* data, unsigned int length) {
    if (digest == nullptr || (data == nullptr && length != 0)) return;
    Md5Context context;
    Init(&context);
    Update(&context, reinterpret_cast<const unsigned char*>(data), length);
    Final(digest, &context);
}

unsigned char* MD5File(const unsigned short* path) {
    if (path == nullptr) return nullptr;
    FILE* file = OpenForReading(path);
    if (file == nullptr) return nullptr;
    Md5Context context;
    Init(&context);
    unsigned char chunk[kFileChunkBytes];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) Update(&context, chunk, got);
    std::fclose(file);
    Final(g_fileDigest, &context);
    return g_fileDigest;
}
