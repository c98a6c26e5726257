#include "settings/cp932.h"

#include <iconv.h>

#include <cerrno>

namespace {

// iconv descriptors are not shareable between threads; each thread keeps its own pair.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }
    iconv_t get() {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
        return cd_;
    }

private:
    iconv_t cd_;
};

iconv_t ToCp932() {
    thread_local Converter c("CP932", "UTF-8");
    return c.get();
}

iconv_t FromCp932() {
    thread_local Converter c("UTF-8", "CP932");
    return c.get();
}

// Converts the bytes; on an unconvertible sequence calls `bad` with the remaining input and
// stops unless it consumes something.
template <typename OnBad>
void Convert(iconv_t cd, std::string_view in, std::string& out, OnBad bad) {
    char* src = const_cast<char*>(in.data());
    size_t left = in.size();
    char buf[1024];
    while (left > 0) {
        char* dst = buf;
        size_t room = sizeof buf;
        size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(buf, static_cast<size_t>(dst - buf));
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            if (!bad(src, left)) return;
        }
    }
}

}  // namespace

namespace cp932 {

std::optional<std::string> encode(const QString& text) {
    QByteArray utf8 = text.toUtf8();
    std::string out;
    bool ok = true;
    Convert(ToCp932(), std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())), out,
            [&](char*&, size_t&) { return ok = false; });
    if (!ok) return std::nullopt;
    return out;
}

QString decode(std::string_view bytes) {
    std::string out;
    Convert(FromCp932(), bytes, out, [&](char*& src, size_t& left) {
        out += "\xEF\xBF\xBD";
        ++src;
        --left;
        return true;
    });
    return QString::fromUtf8(out.data(), static_cast<qsizetype>(out.size()));
}

bool canEncode(const QString& text) {
    return encode(text).has_value();
}

int byteLength(const QString& text) {
    if (auto bytes = encode(text)) return static_cast<int>(bytes->size());
    // Some character has no form: count the others exactly and each such character as one byte.
    int n = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        qsizetype len = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        auto bytes = encode(text.mid(i, len));
        n += bytes ? static_cast<int>(bytes->size()) : 1;
        i += len - 1;
    }
    return n;
}

}  // namespace cp932
