#include "tools/JsonWriter.h"

#include <charconv>
#include <cstdio>

#include "tools/ReportOutput.h"

namespace {

/// Length of the valid UTF-8 sequence at text[i], or 0 when it is not one.
/// Overlong forms, surrogates and code points past U+10FFFF count as invalid.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    std::uint32_t code = 0;
    std::uint32_t least = 0;
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, code = lead & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

} // namespace

std::string JsonQuote(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        switch (c) {
        case '"': out += "\\\""; ++i; continue;
        case '\\': out += "\\\\"; ++i; continue;
        case '\b': out += "\\b"; ++i; continue;
        case '\f': out += "\\f"; ++i; continue;
        case '\n': out += "\\n"; ++i; continue;
        case '\r': out += "\\r"; ++i; continue;
        case '\t': out += "\\t"; ++i; continue;
        default: break;
        }
        if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
            ++i;
            continue;
        }
        const std::size_t length = Utf8SequenceLength(text, i);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    out += '"';
    return out;
}

namespace {

constexpr std::size_t BlockSize = 64 * 1024;

/// True when the text needs no escaping: printable ASCII without '"' or '\\'.
bool IsPlain(std::string_view text)
{
    for (const char c : text)
        if (c < 0x20 || c > 0x7E || c == '"' || c == '\\') return false;
    return true;
}

/// Appends the text quoted; most keys and values need no escaping pass.
void AppendQuoted(std::string& out, std::string_view text)
{
    if (!IsPlain(text)) {
        out += JsonQuote(text);
        return;
    }
    out += '"';
    out += text;
    out += '"';
}

} // namespace

void TJsonWriter::BeforeValue()
{
    if (sink_ && text_.size() >= BlockSize) Finish();
    if (!fresh_) text_ += ',';
    fresh_ = false;
}

void TJsonWriter::Finish()
{
    if (!sink_) return;
    sink_->Write(text_);
    text_.clear();
}

TJsonWriter& TJsonWriter::BeginObject()
{
    BeforeValue();
    text_ += '{';
    fresh_ = true;
    return *this;
}

TJsonWriter& TJsonWriter::EndObject()
{
    text_ += '}';
    fresh_ = false;
    return *this;
}

TJsonWriter& TJsonWriter::BeginArray()
{
    BeforeValue();
    text_ += '[';
    fresh_ = true;
    return *this;
}

TJsonWriter& TJsonWriter::EndArray()
{
    text_ += ']';
    fresh_ = false;
    return *this;
}

TJsonWriter& TJsonWriter::Key(std::string_view key)
{
    BeforeValue();
    AppendQuoted(text_, key);
    text_ += ':';
    fresh_ = true;
    return *this;
}

TJsonWriter& TJsonWriter::Value(std::string_view text)
{
    BeforeValue();
    AppendQuoted(text_, text);
    return *this;
}

TJsonWriter& TJsonWriter::Value(std::int64_t number)
{
    BeforeValue();
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    text_.append(digits, end);
    return *this;
}

TJsonWriter& TJsonWriter::RawValue(std::string_view json)
{
    BeforeValue();
    text_ += json;
    return *this;
}

TJsonWriter& TJsonWriter::Value(bool flag)
{
    BeforeValue();
    text_ += flag ? "true" : "false";
    return *this;
}

TJsonWriter& TJsonWriter::Null()
{
    BeforeValue();
    text_ += "null";
    return *this;
}
