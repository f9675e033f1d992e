#pragma once
// A one-line JSON writer for the tool's machine-readable reports.
#include <cstdint>
#include <string>
#include <string_view>

class TReportOutput;

/// The text as a quoted JSON string. Valid UTF-8 passes through; quotes,
/// backslashes and control characters are escaped; bytes that are not
/// UTF-8 (file names on Unix are arbitrary bytes) become U+FFFD, so the
/// output stays valid JSON whatever the name holds.
std::string JsonQuote(std::string_view text);

/// Builds one JSON value left to right, inserting the commas itself. Keys
/// and values are written in the order of the calls; nothing is checked
/// beyond the comma bookkeeping, so callers pair Begin and End. Given an
/// output, it hands its text on in blocks as it grows, so that a large value
/// never sits whole in memory; Finish hands on the rest.
class TJsonWriter {
public:
    TJsonWriter() = default;
    explicit TJsonWriter(TReportOutput& sink) : sink_(&sink) {}
    TJsonWriter& BeginObject();
    TJsonWriter& EndObject();
    TJsonWriter& BeginArray();
    TJsonWriter& EndArray();
    /// The key of the next value in the enclosing object.
    TJsonWriter& Key(std::string_view key);
    TJsonWriter& Value(std::string_view text);
    TJsonWriter& Value(const char* text) { return Value(std::string_view(text)); }
    TJsonWriter& Value(std::int64_t number);
    TJsonWriter& Value(std::int32_t number) { return Value(static_cast<std::int64_t>(number)); }
    TJsonWriter& Value(bool flag);
    TJsonWriter& Null();
    /// A value the caller has already written as JSON text, for the values
    /// that come by the hundred million.
    TJsonWriter& RawValue(std::string_view json);

    /// The text not yet handed to the output (all of it without one).
    const std::string& Text() const { return text_; }
    /// Hands the rest of the text to the output.
    void Finish();

private:
    void BeforeValue();

    TReportOutput* sink_ = nullptr;
    std::string text_;
    /// True right after an opening bracket or a key: the next value needs no comma.
    bool fresh_ = true;
};
