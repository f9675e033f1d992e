#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>
#include <charconv>
#include <stdexcept>

#include "tools/KestMapTool.h"
#include "tools/RenderMap.h"

namespace {

// The parser works on QString. Latin-1 maps every byte to the character of the
// same value and back, so file names that are not UTF-8 pass through it
// unchanged, and the ASCII option names read as themselves.
QString FromBytes(const std::string& bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string ToBytes(const QString& text)
{
    const QByteArray bytes = text.toLatin1();
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

TKestMapCommand CommandOf(const std::string& word)
{
    if (word == "info") return TKestMapCommand::Info;
    if (word == "check") return TKestMapCommand::Check;
    if (word == "render") return TKestMapCommand::Render;
    if (word == "diff") return TKestMapCommand::Diff;
    throw std::invalid_argument("unknown command '" + word + "'");
}

std::int32_t SizeOf(const std::string& text)
{
    std::int32_t size = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, size);
    if (text.empty() || error != std::errc() || stop != end || size < MinPictureSize || size > MaxPictureSize)
        throw std::invalid_argument("--size wants a whole number from " + std::to_string(MinPictureSize) +
                                    " to " + std::to_string(MaxPictureSize) + ", not '" + text + "'");
    return size;
}

void CheckCombination(const TKestMapArgs& parsed)
{
    if (parsed.Help || parsed.Version) return;
    switch (parsed.Command) {
    case TKestMapCommand::None:
        throw std::invalid_argument("no command given");
    case TKestMapCommand::Info:
    case TKestMapCommand::Check:
        if (parsed.Size != 0) throw std::invalid_argument("--size applies to render only");
        if (parsed.NoRails && (parsed.Command != TKestMapCommand::Check || !parsed.Json))
            throw std::invalid_argument("--no-rails applies to check --json only");
        if (parsed.Diff) throw std::invalid_argument("--diff applies to render only");
        if (parsed.Files.empty()) throw std::invalid_argument("no map file given");
        return;
    case TKestMapCommand::Diff:
        if (parsed.Size != 0) throw std::invalid_argument("--size applies to render only");
        if (parsed.NoRails) throw std::invalid_argument("--no-rails applies to check --json only");
        if (parsed.Diff) throw std::invalid_argument("--diff applies to render only");
        if (parsed.Files.size() != 2) throw std::invalid_argument("diff wants two map files");
        return;
    case TKestMapCommand::Render:
        if (parsed.Json) throw std::invalid_argument("--json applies to info, check and diff only");
        if (parsed.NoRails) throw std::invalid_argument("--no-rails applies to check --json only");
        if (parsed.Files.size() != (parsed.Diff ? 3u : 2u))
            throw std::invalid_argument(parsed.Diff ? "render --diff wants two map files and one picture file"
                                                    : "render wants one map file and one picture file");
        if (!PictureFormatOf(parsed.Files.back()))
            throw std::invalid_argument("the picture file must end in .bmp or .png: '" + parsed.Files.back() + "'");
        return;
    }
}

} // namespace

TKestMapArgs ParseKestMapArgs(const std::vector<std::string>& args)
{
    QCommandLineParser parser;
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption noRails(QStringLiteral("no-rails"));
    const QCommandLineOption diff(QStringLiteral("diff"));
    const QCommandLineOption size(QStringLiteral("size"), QString(), QStringLiteral("N"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOptions({json, noRails, diff, size, help, version});

    QStringList arguments{QStringLiteral("kestmap")};
    for (const std::string& arg : args) arguments << FromBytes(arg);
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            const QString& name = unknown.front();
            throw std::invalid_argument("unknown option '" + std::string(name.size() == 1 ? "-" : "--") +
                                        ToBytes(name) + "'");
        }
        // Only --size takes a value, so a missing one is always its own.
        if (parser.errorText().startsWith(QStringLiteral("Missing value")))
            throw std::invalid_argument("--size wants a value");
        throw std::invalid_argument(ToBytes(parser.errorText()));
    }

    TKestMapArgs parsed;
    parsed.Json = parser.isSet(json);
    parsed.NoRails = parser.isSet(noRails);
    parsed.Diff = parser.isSet(diff);
    parsed.Help = parser.isSet(help);
    parsed.Version = parser.isSet(version);
    for (const QString& value : parser.values(size)) parsed.Size = SizeOf(ToBytes(value));
    const QStringList positional = parser.positionalArguments();
    for (qsizetype i = 0; i < positional.size(); ++i) {
        if (i == 0)
            parsed.Command = CommandOf(ToBytes(positional[i]));
        else
            parsed.Files.push_back(ToBytes(positional[i]));
    }
    CheckCombination(parsed);
    return parsed;
}
